// Times the receipt pipeline in-process: text wrapping plus code-page translation of a
// 60-line Portuguese receipt, and rasterising a 576×1000 photo-like image and a 576×200 logo
// (decoding not timed), and the photo with a translucent band that must be flattened. Reports the median of
// many runs after a warm-up, and the peak memory of one rasterisation (measured in a fresh child process)
// against the RGBA working buffer.
//   bench_printjob               all numbers
//   bench_printjob --memory N    child mode: peak growth in KiB while rasterising image N
#include "benchtiming.h"
#include "escimagemanager.h"
#include "esctools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QStringList receiptLines()
{
    const QStringList items = { QStringLiteral("Pão de forma integral"), QStringLiteral("Café expresso"),
        QStringLiteral("Água mineral 1,5 L"), QStringLiteral("Açúcar amarelo"),
        QStringLiteral("Feijão-frade em conserva"), QStringLiteral("Maçã de Alcobaça"),
        QStringLiteral("Queijo da Serra da Estrela"), QStringLiteral("Leite meio-gordo"),
        QStringLiteral("Salsichas à moda antiga"), QStringLiteral("Limões") };
    QStringList lines;
    for (int i = 0; i < 60; ++i) {
        if (i % 6 == 5)
            lines << QStringLiteral("Observação: produto com promoção válida até ao fim do mês corrente, "
                                    "exceto nas lojas aderentes.\n");
        else
            lines << QStringLiteral("%1 x %2  %3,%4 €\n")
                         .arg(i % 4 + 1)
                         .arg(items.at(i % items.size()), -30)
                         .arg(i * 3 % 40)
                         .arg(i * 7 % 100, 2, 10, QLatin1Char('0'));
    }
    return lines;
}

QImage photo()
{
    QImage image(576, 1000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 576, 1000);
    gradient.setColorAt(0, QColor(20, 60, 160));
    gradient.setColorAt(0.5, QColor(230, 200, 120));
    gradient.setColorAt(1, QColor(40, 120, 40));
    painter.fillRect(image.rect(), gradient);
    QRandomGenerator random(3);
    for (int i = 0; i < 300; ++i) {
        painter.setBrush(QColor::fromRgb(random.generate()));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(
            random.bounded(576), random.bounded(1000), random.bounded(80), random.bounded(80));
    }
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(41)) - 20;
            line[x] = qRgb(qBound(0, qRed(line[x]) + n, 255), qBound(0, qGreen(line[x]) + n, 255),
                qBound(0, qBlue(line[x]) + n, 255));
        }
    }
    return image;
}

QImage logo()
{
    QImage image(576, 200, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(100, 100), 80, 80);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(100, 100), 50, 50);
    painter.setBrush(QColor(0, 0, 0, 160));
    for (int i = 0; i < 8; ++i)
        painter.drawRect(220 + i * 40, 40 + (i % 3) * 20, 28, 120 - (i % 3) * 20);
    return image;
}

// The photo with a translucent band, so that it has to be flattened onto white.
QImage translucentPhoto()
{
    QImage image = photo().convertToFormat(QImage::Format_ARGB32);
    for (int y = 400; y < 600; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = (line[x] & 0x00FFFFFF) | 0x80000000;
    }
    return image;
}

QImage benchImage(int which)
{
    return which == 0 ? photo() : which == 1 ? logo() : translucentPhoto();
}

QByteArray rasterise(const QImage &image)
{
    ESCImageManager manager;
    manager.setImage(image, image.width(), image.height(), true, 0, false);
    return manager.bytes();
}

long statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Growth of the resident set's high-water mark over the current resident set during work.
long peakGrowthKiB(const std::function<void()> &work)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const long before = statusKiB("VmRSS:");
    work();
    return statusKiB("VmHWM:") - before;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    if (argc == 3 && qstrcmp(argv[1], "--memory") == 0) {
        const QImage image = benchImage(atoi(argv[2]));
        std::printf("%ld\n", peakGrowthKiB([&] { rasterise(image); }));
        return 0;
    }

    const QStringList lines = receiptLines();
    qint64 sink = 0;
    const Timing text = median(200, 2000, [&] {
        for (const QString &line : lines)
            sink += ESCTools::characterSetParser(ESCTools::wrapText(line, 48, false), false).size();
    });
    const Timing folded = median(200, 2000, [&] {
        for (const QString &line : lines)
            sink += ESCTools::characterSetParser(ESCTools::wrapText(line, 48, true), false).size();
    });
    std::printf(
        "receipt text, 60 lines, wrap + code pages:        %8.1f us wall, %8.1f us CPU (target < 100 us)\n",
        text.wall, text.cpu);
    std::printf("receipt text, 60 lines, fold + wrap + code pages: %8.1f us wall, %8.1f us CPU\n",
        folded.wall, folded.cpu);

    const char *names[]
        = { "576x1000 photo-like image", "576x200 logo             ", "576x1000 photo with alpha" };
    const double targets[] = { 1000, 1500, 6000 };
    for (int which = 0; which < 3; ++which) {
        const QImage image = benchImage(which);
        const Timing t = median(5, which == 1 ? 200 : 60, [&] { sink += rasterise(image).size(); });
        QProcess child;
        child.start(
            QCoreApplication::applicationFilePath(), { QStringLiteral("--memory"), QString::number(which) });
        child.waitForFinished(60000);
        const double peakKiB = child.readAllStandardOutput().trimmed().toDouble();
        const double rgbaKiB = image.width() * image.height() * 4 / 1024.0;
        std::printf("rasterise %s: %8.1f us wall, %8.1f us CPU (target < %.0f us); peak memory %.0f KiB = "
                    "%.2fx the RGBA buffer\n",
            names[which], t.wall, t.cpu, targets[which], peakKiB, peakKiB / rgbaKiB);
    }
    // Using the sizes keeps the timed work from being optimised away.
    return sink < 0 ? 1 : 0;
}
