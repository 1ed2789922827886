// Times QR codes and the preview in-process: encoding an invoice QR code (libqrencode alone and
// the whole qrcode command), and the preview of a 60-line Portuguese receipt with a 576×200 logo,
// a QR code, a barcode and a cut: its translation, the interpreter drawing the paper, and the
// PNG the API sends. Reports medians of many runs after a warm-up.
//   bench_symbols [--save FILE]   also writes the receipt's preview to FILE
#include "benchtiming.h"
#include "escinterpreter.h"
#include "printjob.h"
#include "qrsymbol.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A Portuguese invoice's QR code text (ATCUD and tax summary), 160 characters.
const QByteArray invoiceQr
    = "A:123456789*B:999999990*C:PT*D:FT*E:N*F:20240115*G:FT A/2024/123*H:JJ7KQ2RT-123*"
      "I1:PT*I7:100.00*I8:23.00*N:23.00*O:123.00*Q:Ab1c*R:1234*S:NU;0.00";

QJsonObject command(const char *op, const QJsonValue &data)
{
    return { { QStringLiteral("op"), QLatin1String(op) }, { QStringLiteral("data"), data } };
}

QByteArray logoPng()
{
    QImage image(576, 200, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(100, 100), 80, 80);
    painter.setBrush(QColor(0, 0, 0, 160));
    for (int i = 0; i < 8; ++i)
        painter.drawRect(220 + i * 40, 40 + (i % 3) * 20, 28, 120 - (i % 3) * 20);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QJsonArray receipt()
{
    const QStringList items = { QStringLiteral("Pão de forma integral"), QStringLiteral("Café expresso"),
        QStringLiteral("Água mineral 1,5 L"), QStringLiteral("Açúcar amarelo"),
        QStringLiteral("Maçã de Alcobaça") };
    QJsonArray job;
    job << command("alignment", 1) << command("image", QString::fromLatin1(logoPng().toBase64()))
        << command("style", QJsonObject { { QStringLiteral("emphasized"), true } })
        << command("double",
               QJsonObject { { QStringLiteral("height"), true }, { QStringLiteral("width"), true } })
        << command("text", QStringLiteral("Fatura FT A/2024/123\n")) << command("double", QJsonObject())
        << command("style", QJsonObject()) << command("alignment", 0);
    for (int i = 0; i < 60; ++i)
        job << command("text",
            QStringLiteral("%1 x %2  %3,%4 €\n")
                .arg(i % 4 + 1)
                .arg(items.at(i % items.size()), -30)
                .arg(i * 3 % 40)
                .arg(i * 7 % 100, 2, 10, QLatin1Char('0')));
    job << command("alignment", 1)
        << command("qrcode", QJsonObject { { QStringLiteral("text"), QString::fromLatin1(invoiceQr) } })
        << command("barcode",
               QJsonObject { { QStringLiteral("type"), QStringLiteral("code128") },
                   { QStringLiteral("text"), QStringLiteral("FT A/2024/123") } })
        << command("cut", QStringLiteral("feed"));
    return job;
}

void report(const char *what, const Timing &timing, const char *target)
{
    std::printf("%-52s %9.1f us wall, %9.1f us CPU%s\n", what, timing.wall, timing.cpu, target);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    qint64 sink = 0;

    report("QR encode, 160-character invoice text, level M:",
        median(100, 2000, [&] { sink += QrSymbol::encode(invoiceQr, QrSymbol::M).size(); }),
        " (target < 200 us)");
    const QJsonArray qrJob { command(
        "qrcode", QJsonObject { { QStringLiteral("text"), QString::fromLatin1(invoiceQr) } }) };
    report("qrcode command translated (native):",
        median(100, 2000,
            [&] {
                PrintJob job(qrJob, false);
                sink += job.translate();
            }),
        "");

    const QJsonArray fiscalJob { command("qrcode",
        QJsonObject { { QStringLiteral("text"), QString::fromLatin1(invoiceQr) },
            { QStringLiteral("profile"), QStringLiteral("pt-atcud") } }) };
    report("qrcode pt-atcud translated (checked, drawn at version 9):",
        median(100, 2000,
            [&] {
                PrintJob job(fiscalJob, false);
                sink += job.translate();
            }),
        "");

    const QJsonArray job = receipt();
    QByteArray bytes;
    report("receipt translated (60 lines, logo, QR, barcode):",
        median(20, 200,
            [&] {
                PrintJob printJob(job, false);
                printJob.translate();
                bytes = printJob.bytes();
            }),
        "");
    QImage paper;
    report("receipt preview drawn from its bytes:",
        median(20, 200,
            [&] {
                ESCInterpreter interpreter;
                interpreter.feed(bytes);
                paper = interpreter.paper();
            }),
        " (target < 5000 us)");
    QByteArray png;
    report("preview PNG encoded:", median(5, 50, [&] { png = ESCInterpreter::toPng(paper); }), "");
    std::printf("preview: %d x %d dots, %d bytes of ESC/POS, PNG %d bytes\n", paper.width(), paper.height(),
        bytes.size(), png.size());
    if (argc == 3 && qstrcmp(argv[1], "--save") == 0)
        paper.save(QString::fromLocal8Bit(argv[2]));
    return sink == 0;
}
