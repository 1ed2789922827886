#include "testreceipt.h"

#include <QDateTime>
#include <QFile>
#include <QJsonObject>
#include <QLocale>

namespace {

QJsonObject command(const char *op, const QJsonValue &data)
{
    return { { QStringLiteral("op"), QLatin1String(op) }, { QStringLiteral("data"), data } };
}

QJsonObject flags(const char *first, bool a, const char *second, bool b)
{
    return { { QLatin1String(first), a }, { QLatin1String(second), b } };
}

} // namespace

QJsonArray TestReceipt::job(const QString &printerName)
{
    QFile logo(QStringLiteral(":/imgs/logo_tesmar_cabecalho@2x.png"));
    const QByteArray png = logo.open(QIODevice::ReadOnly) ? logo.readAll() : QByteArray();
    const QString when = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    return {
        command("alignment", 1),
        command("image", QString::fromLatin1(png.toBase64())),
        command("alignment", 1),
        command("double", flags("height", true, "width", true)),
        command("text", QStringLiteral("\n%1\n").arg(tr("Teste de impressão"))),
        command("double", QJsonObject()),
        command("text", QStringLiteral("%1\n%2\n\n").arg(printerName, when)),
        command("alignment", 0),
        command("text", tr("Carateres: %1").arg(QStringLiteral("€ ç ã õ é ñ º ª ü\n"))),
        command("text", tr("Alinhado à esquerda") + QLatin1Char('\n')),
        command("alignment", 1),
        command("text", tr("Ao centro") + QLatin1Char('\n')),
        command("alignment", 2),
        command("text", tr("Alinhado à direita") + QLatin1Char('\n')),
        command("alignment", 0),
        command("style", flags("emphasized", true, "underlined", false)),
        command("text", tr("Negrito") + QLatin1Char('\n')),
        command("style", flags("emphasized", false, "underlined", true)),
        command("text", tr("Sublinhado") + QLatin1Char('\n')),
        command("style", QJsonObject()),
        command("double", flags("height", true, "width", true)),
        command("text", tr("Tamanho duplo") + QLatin1Char('\n')),
        command("double", QJsonObject()),
        command("condensed", true),
        command("text", tr("Letra condensada: 64 carateres por linha") + QStringLiteral("\n\n")),
        command("condensed", false),
        command("alignment", 1),
        command(
            "qrcode", QJsonObject { { QStringLiteral("text"), QStringLiteral("https://www.tesmar.pt") } }),
        command("barcode",
            QJsonObject { { QStringLiteral("type"), QStringLiteral("code128") },
                { QStringLiteral("text"), QStringLiteral("VARNEL-1234") } }),
        command("text", QStringLiteral("\n\n")),
        command("cut", QStringLiteral("feed")),
    };
}
