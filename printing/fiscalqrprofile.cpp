#include "fiscalqrprofile.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace {

enum class Format { Nif, Text, Date, Amount, Hash, Certificate };

struct Field
{
    QString key;
    int maxLength;
    Format format;
    bool mandatory;
};

// The ATCUD code's fields in the order they must come. I, J and K are the fiscal spaces (mainland,
// Azores, Madeira): the space's code, then exempt base and the reduced, intermediate and normal
// rates' bases and taxes.
const std::vector<Field> &atcudFields()
{
    static const std::vector<Field> fields = [] {
        std::vector<Field> list { { QStringLiteral("A"), 9, Format::Nif, true },
            { QStringLiteral("B"), 30, Format::Text, true }, { QStringLiteral("C"), 12, Format::Text, true },
            { QStringLiteral("D"), 2, Format::Text, true }, { QStringLiteral("E"), 1, Format::Text, true },
            { QStringLiteral("F"), 8, Format::Date, true }, { QStringLiteral("G"), 60, Format::Text, true },
            { QStringLiteral("H"), 70, Format::Text, true } };
        for (const QChar space : { QLatin1Char('I'), QLatin1Char('J'), QLatin1Char('K') }) {
            list.push_back({ QString(space) + QLatin1Char('1'), 5, Format::Text, space == QLatin1Char('I') });
            for (int i = 2; i <= 8; ++i)
                list.push_back({ QString(space) + QString::number(i), 16, Format::Amount, false });
        }
        for (const char *key : { "L", "M", "N", "O", "P" })
            list.push_back({ QLatin1String(key), 16, Format::Amount, *key == 'N' || *key == 'O' });
        list.push_back({ QStringLiteral("Q"), 4, Format::Hash, true });
        list.push_back({ QStringLiteral("R"), 4, Format::Certificate, true });
        list.push_back({ QStringLiteral("S"), 65, Format::Text, false });
        return list;
    }();
    return fields;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + (text.size() > 40 ? text.left(37) + QStringLiteral("...") : text)
        + QLatin1Char('"');
}

bool matches(const char *pattern, const QString &text)
{
    return QRegularExpression(QLatin1String(pattern)).match(text).hasMatch();
}

// The AEAT's validation services, production and test, for VERI*FACTU and other invoicing systems.
const QStringList &verifactuServices()
{
    static const QStringList services { QStringLiteral(
                                            "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR"),
        QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQRNoVerifactu"),
        QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR"),
        QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQRNoVerifactu") };
    return services;
}

} // namespace

std::optional<FiscalQrProfile> FiscalQrProfile::fromName(const QString &name)
{
    if (name == QLatin1String("pt-atcud"))
        return FiscalQrProfile(PtAtcud);
    if (name == QLatin1String("es-verifactu"))
        return FiscalQrProfile(EsVerifactu);
    return std::nullopt;
}

QString FiscalQrProfile::name() const
{
    return m_kind == PtAtcud ? QStringLiteral("pt-atcud") : QStringLiteral("es-verifactu");
}

QString FiscalQrProfile::check(const QString &text) const
{
    return m_kind == PtAtcud ? checkAtcud(text) : checkVerifactu(text);
}

QString FiscalQrProfile::captionAbove() const
{
    return m_kind == EsVerifactu ? QStringLiteral("QR tributario:") : QString();
}

QString FiscalQrProfile::captionBelow(const QString &text) const
{
    return m_kind == EsVerifactu && text.section(QLatin1Char('?'), 0, 0).endsWith(QLatin1String("/ValidarQR"))
        ? QStringLiteral("VERI*FACTU")
        : QString();
}

QString FiscalQrProfile::checkAtcud(const QString &text) const
{
    const std::vector<Field> &fields = atcudFields();
    const auto field
        = [](const QString &key) { return QStringLiteral("field \"%1\" of \"pt-atcud\"").arg(key); };
    size_t next = 0;
    QStringList seen;
    for (const QString &part : text.split(QLatin1Char('*'))) {
        const int colon = part.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return QStringLiteral("\"pt-atcud\" needs fields KEY:VALUE joined by \"*\", not %1")
                .arg(quoted(part));
        const QString key = part.left(colon);
        const QString value = part.mid(colon + 1);
        size_t at = next;
        while (at < fields.size() && fields[at].key != key)
            ++at;
        if (at == fields.size()) {
            const bool known
                = std::any_of(fields.begin(), fields.end(), [&](const Field &f) { return f.key == key; });
            return known ? field(key) + QStringLiteral(" is given twice or out of order")
                         : QStringLiteral("\"pt-atcud\" has no field %1").arg(quoted(key));
        }
        for (size_t skipped = next; skipped < at; ++skipped) {
            if (fields[skipped].mandatory)
                return field(fields[skipped].key) + QStringLiteral(" is missing");
        }
        next = at + 1;
        seen << key;
        const Field &f = fields[at];
        if (key.size() == 2 && key.at(1) != QLatin1Char('1') && key.at(0) != QLatin1Char('I')
            && !seen.contains(key.left(1) + QLatin1Char('1')))
            return field(key) + QStringLiteral(" needs \"%1\" before it").arg(key.left(1) + QLatin1Char('1'));
        if (value.isEmpty())
            return field(key) + QStringLiteral(" is empty");
        if (value.size() > f.maxLength)
            return field(key) + QStringLiteral(" is longer than %1 characters").arg(f.maxLength);
        switch (f.format) {
        case Format::Nif:
            if (!matches("^[0-9]{9}$", value))
                return field(key)
                    + QStringLiteral(" must be a tax number of 9 digits, not %1").arg(quoted(value));
            break;
        case Format::Date:
            if (!matches("^[0-9]{8}$", value)
                || !QDate::fromString(value, QStringLiteral("yyyyMMdd")).isValid())
                return field(key) + QStringLiteral(" must be a date as YYYYMMDD, not %1").arg(quoted(value));
            break;
        case Format::Amount:
            if (!matches("^-?[0-9]+\\.[0-9]{2}$", value))
                return field(key)
                    + QStringLiteral(" must be an amount with \".\" and two decimals, not %1")
                          .arg(quoted(value));
            break;
        case Format::Hash:
            if (value.size() != 4)
                return field(key)
                    + QStringLiteral(" must be the 4 characters of the document's hash, not %1")
                          .arg(quoted(value));
            break;
        case Format::Certificate:
            if (!matches("^[0-9]+$", value))
                return field(key)
                    + QStringLiteral(" must be the program's certificate number, not %1").arg(quoted(value));
            break;
        case Format::Text:
            break;
        }
    }
    for (size_t rest = next; rest < fields.size(); ++rest) {
        if (fields[rest].mandatory)
            return field(fields[rest].key) + QStringLiteral(" is missing");
    }
    return QString();
}

QString FiscalQrProfile::checkVerifactu(const QString &text) const
{
    const int question = text.indexOf(QLatin1Char('?'));
    if (question < 0 || !verifactuServices().contains(text.left(question)))
        return QStringLiteral("\"es-verifactu\" must be the AEAT's validation URL (%1?nif=...), not %2")
            .arg(verifactuServices().first(), quoted(text));
    const QStringList parameters = text.mid(question + 1).split(QLatin1Char('&'));
    const char *names[] = { "nif", "numserie", "fecha", "importe" };
    for (int i = 0; i < 4; ++i) {
        const QString parameter
            = QStringLiteral("parameter \"%1\" of \"es-verifactu\"").arg(QLatin1String(names[i]));
        if (i >= parameters.size())
            return parameter + QStringLiteral(" is missing");
        const QString &pair = parameters.at(i);
        const QString prefix = QLatin1String(names[i]) + QLatin1Char('=');
        if (!pair.startsWith(prefix))
            return parameter + QStringLiteral(" must come next, not %1").arg(quoted(pair));
        const QString value = QUrl::fromPercentEncoding(pair.mid(prefix.size()).toUtf8());
        switch (i) {
        case 0:
            if (!matches("^[0-9A-Z]{9}$", value))
                return parameter
                    + QStringLiteral(" must be a tax number of 9 characters, not %1").arg(quoted(value));
            break;
        case 1:
            if (!matches("^[ -~]{1,60}$", value))
                return parameter
                    + QStringLiteral(" must be the series and number, 1 to 60 characters, not %1")
                          .arg(quoted(value));
            break;
        case 2:
            if (!matches("^[0-9]{2}-[0-9]{2}-[0-9]{4}$", value)
                || !QDate::fromString(value, QStringLiteral("dd-MM-yyyy")).isValid())
                return parameter + QStringLiteral(" must be a date as DD-MM-AAAA, not %1").arg(quoted(value));
            break;
        default:
            if (!matches("^-?[0-9]{1,12}(\\.[0-9]{1,2})?$", value))
                return parameter
                    + QStringLiteral(" must be an amount with \".\" and at most two decimals, not %1")
                          .arg(quoted(value));
        }
    }
    if (parameters.size() > 4)
        return QStringLiteral("\"es-verifactu\" has more than nif, numserie, fecha and importe: %1")
            .arg(quoted(parameters.at(4)));
    return QString();
}
