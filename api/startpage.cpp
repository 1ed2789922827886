#include "startpage.h"

#include <QFile>
#include <QStringList>

// The pages are resources of this static library: registered once, before the first is read.
// Outside any namespace, as Qt's macro requires.
static void registerPages()
{
    Q_INIT_RESOURCE(startpage);
}

QByteArray StartPage::forLanguages(const QString &acceptLanguage)
{
    QString chosen = QStringLiteral("pt");
    double chosenWeight = 0;
    for (const QString &range : acceptLanguage.split(QLatin1Char(','))) {
        const QStringList parts = range.split(QLatin1Char(';'));
        const QString tag = parts.first().trimmed().toLower();
        double weight = 1;
        for (const QString &parameter : parts.mid(1)) {
            const QString name = parameter.section(QLatin1Char('='), 0, 0).trimmed();
            if (name == QLatin1String("q"))
                weight = parameter.section(QLatin1Char('='), 1).trimmed().toDouble();
        }
        const QString primary = tag.section(QLatin1Char('-'), 0, 0);
        QString page;
        if (tag == QLatin1String("pt-br"))
            page = QStringLiteral("pt-BR");
        else if (primary == QLatin1String("pt") || primary == QLatin1String("es")
            || primary == QLatin1String("en"))
            page = primary;
        if (!page.isEmpty() && weight > chosenWeight) {
            chosen = page;
            chosenWeight = weight;
        }
    }
    static const bool registered = (registerPages(), true);
    Q_UNUSED(registered);
    QFile page(QStringLiteral(":/startpage/%1.html").arg(chosen));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}
