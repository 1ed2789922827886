#include "startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStringList>

namespace Startup {

qint64 localEpochSecond(const QDateTime &now)
{
    return now.toMSecsSinceEpoch() / 1000 + now.offsetFromUtc();
}

bool anotherInstanceAlive(qint64 kicked, qint64 now)
{
    const qint32 difference = qint32(quint32(now) - quint32(kicked));
    return difference >= 0 && difference <= 5;
}

QString catalogLanguage(const QString &localeName)
{
    if (localeName == QLatin1String("pt_BR"))
        return localeName;
    const QString language = localeName.split(QLatin1Char('_')).first();
    const bool known = language == QLatin1String("en") || language == QLatin1String("es")
        || language == QLatin1String("pt");
    return known ? language : QStringLiteral("en");
}

QString translationFile(const QString &localeName, const QString &applicationDir)
{
    return applicationDir + QLatin1String("/printclient_") + catalogLanguage(localeName);
}

QLocale windowLocale(const QLocale &system)
{
    const QLocale catalog(catalogLanguage(system.name()));
    return catalog.language() == system.language() ? system : catalog;
}

QString releaseDate(const QDateTime &built, const QLocale &locale)
{
    static const QRegularExpression weekday(QStringLiteral("^[^dMy']*dddd[^dMy']*"));
    const QString date = locale.dateFormat(QLocale::LongFormat).remove(weekday);
    return locale.toString(built, date + QStringLiteral(", ") + locale.timeFormat(QLocale::ShortFormat));
}

QString translationDirectory(const QString &applicationDir)
{
    if (QFileInfo::exists(applicationDir + QStringLiteral("/printclient_en.qm")))
        return applicationDir;
    return QDir::cleanPath(applicationDir + QStringLiteral("/../share/varnel/translations"));
}

QSize windowSize(const QSize &available)
{
    // The title bar and the frame the window manager adds.
    const QSize frame(16, 48);
    return QSize(950, 700).boundedTo(available - frame);
}

void prepareHighDpi()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

} // namespace Startup
