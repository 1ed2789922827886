#include "fiscalqrprofile.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace {

// What a value must look like: a pattern (null: any text) it matches, a date format (null: none)
// it reads as, a length (0: any), and what it is, for the message.
struct Rule
{
    const char *pattern;
    const char *date;
    int length;
    const char *what;
};

const Rule anyText { nullptr, nullptr, 0, "" };
const Rule taxNumber { "^[0-9]{9}$", nullptr, 0, "a tax number of 9 digits" };
const Rule date { "^[0-9]{8}$", "yyyyMMdd", 0, "a date as YYYYMMDD" };
const Rule amount { "^-?[0-9]+\\.[0-9]{2}$", nullptr, 0, "an amount with \".\" and two decimals" };
const Rule documentHash { nullptr, nullptr, 4, "the 4 characters of the document's hash" };
const Rule certificate { "^[0-9]+$", nullptr, 0, "the program's certificate number" };

struct Field
{
    QString key;
    int maxLength;
    const Rule *format;
    bool mandatory;
};

// The ATCUD code's fields in the order they must come. I, J and K are the fiscal spaces (mainland,
// Azores, Madeira): the space's code, then exempt base and the reduced, intermediate and normal
// rates' bases and taxes.
const std::vector<Field> &atcudFields()
{
    static const std::vector<Field> fields = [] {
        std::vector<Field> list { { QStringLiteral("A"), 9, &taxNumber, true },
            { QStringLiteral("B"), 30, &anyText, true }, { QStringLiteral("C"), 12, &anyText, true },
            { QStringLiteral("D"), 2, &anyText, true }, { QStringLiteral("E"), 1, &anyText, true },
            { QStringLiteral("F"), 8, &date, true }, { QStringLiteral("G"), 60, &anyText, true },
            { QStringLiteral("H"), 70, &anyText, true } };
        for (const QChar space : { QLatin1Char('I'), QLatin1Char('J'), QLatin1Char('K') }) {
            list.push_back({ QString(space) + QLatin1Char('1'), 5, &anyText, space == QLatin1Char('I') });
            for (int i = 2; i <= 8; ++i)
                list.push_back({ QString(space) + QString::number(i), 16, &amount, false });
        }
        for (const char *key : { "L", "M", "N", "O", "P" })
            list.push_back({ QLatin1String(key), 16, &amount, *key == 'N' || *key == 'O' });
        list.push_back({ QStringLiteral("Q"), 4, &documentHash, true });
        list.push_back({ QStringLiteral("R"), 4, &certificate, true });
        list.push_back({ QStringLiteral("S"), 65, &anyText, false });
        return list;
    }();
    return fields;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + (text.size() > 40 ? text.left(37) + QStringLiteral("...") : text)
        + QLatin1Char('"');
}

// Empty when the value keeps to the rule, otherwise " must be …, not …".
QString broken(const Rule &rule, const QString &value)
{
    if ((!rule.pattern || QRegularExpression(QLatin1String(rule.pattern)).match(value).hasMatch())
        && (!rule.date || QDate::fromString(value, QLatin1String(rule.date)).isValid())
        && (!rule.length || value.size() == rule.length))
        return QString();
    return QStringLiteral(" must be %1, not %2").arg(QLatin1String(rule.what), quoted(value));
}

// The parameters of the validation URL, in the order they must come.
const struct
{
    const char *name;
    Rule rule;
} verifactuParameters[] = {
    { "nif", { "^[0-9A-Z]{9}$", nullptr, 0, "a tax number of 9 characters" } },
    { "numserie", { "^[ -~]{1,60}$", nullptr, 0, "the series and number, 1 to 60 characters" } },
    { "fecha", { "^[0-9]{2}-[0-9]{2}-[0-9]{4}$", "dd-MM-yyyy", 0, "a date as DD-MM-AAAA" } },
    { "importe",
        { "^-?[0-9]{1,12}(\\.[0-9]{1,2})?$", nullptr, 0, "an amount with \".\" and at most two decimals" } }
};

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
        const QString problem = broken(*f.format, value);
        if (!problem.isEmpty())
            return field(key) + problem;
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
    for (int i = 0; i < 4; ++i) {
        const QString parameter = QStringLiteral("parameter \"%1\" of \"es-verifactu\"")
                                      .arg(QLatin1String(verifactuParameters[i].name));
        if (i >= parameters.size())
            return parameter + QStringLiteral(" is missing");
        const QString &pair = parameters.at(i);
        const QString prefix = QLatin1String(verifactuParameters[i].name) + QLatin1Char('=');
        if (!pair.startsWith(prefix))
            return parameter + QStringLiteral(" must come next, not %1").arg(quoted(pair));
        const QString problem = broken(
            verifactuParameters[i].rule, QUrl::fromPercentEncoding(pair.mid(prefix.size()).toUtf8()));
        if (!problem.isEmpty())
            return parameter + problem;
    }
    if (parameters.size() > 4)
        return QStringLiteral("\"es-verifactu\" has more than nif, numserie, fecha and importe: %1")
            .arg(quoted(parameters.at(4)));
    return QString();
}
