// escposprinter: a virtual ESC/POS receipt printer, to build and test printing without hardware.
//
//   escposprinter [--port N] [--any] [--pty] [--serial PATH] [--dir DIR] [--quiet-ms MS]
//
// It listens on TCP port N (9100 by default, 0 for any free one) of 127.0.0.1 (every address with
// --any), and with --pty on a pseudo-terminal pair whose other end it prints, or on an existing
// serial device with --serial. Every job's paper goes to DIR (default: a new temporary folder) as
// job-NNNN.png, with the bytes it printed as job-NNNN.bin. Lines on standard input change its
// state while it runs (see VirtualEscPosPrinter::control); each is answered "ok" or "error".
// Standard output says "listening PORT", "pty PATH", "dir DIR" at start and "job N PATH" for
// each finished job.

#include "ptypair.h"
#include "virtualescposprinter.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // The paper's characters need fonts, which a GUI application brings; no window is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("escposprinter"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A virtual ESC/POS receipt printer."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("TCP port (default 9100; 0 picks a free one)."), QStringLiteral("n"),
        QStringLiteral("9100"));
    const QCommandLineOption anyOption(QStringLiteral("any"), QStringLiteral("Listen on every address."));
    const QCommandLineOption ptyOption(
        QStringLiteral("pty"), QStringLiteral("Also serve a pseudo-terminal pair (needs socat)."));
    const QCommandLineOption serialOption(
        QStringLiteral("serial"), QStringLiteral("Also serve this serial device."), QStringLiteral("path"));
    const QCommandLineOption dirOption(QStringLiteral("dir"),
        QStringLiteral("Folder for the paper (default: a new temporary one)."), QStringLiteral("dir"));
    const QCommandLineOption quietOption(QStringLiteral("quiet-ms"),
        QStringLiteral("Silence that ends a job on a serial line (default 1000)."), QStringLiteral("ms"),
        QStringLiteral("1000"));
    parser.addOptions({ portOption, anyOption, ptyOption, serialOption, dirOption, quietOption });
    parser.process(app);

    QTemporaryDir temporary;
    const QString dir = parser.isSet(dirOption) ? parser.value(dirOption) : temporary.path();
    VirtualEscPosPrinter printer(dir);
    QObject::connect(&printer, &VirtualEscPosPrinter::jobWritten, [](int number, const QString &path) {
        std::printf("job %d %s\n", number, qPrintable(path));
        std::fflush(stdout);
    });
    if (!printer.listen(quint16(parser.value(portOption).toUInt()), parser.isSet(anyOption))) {
        std::fprintf(
            stderr, "escposprinter: cannot listen on port %s\n", qPrintable(parser.value(portOption)));
        return 1;
    }
    std::printf("listening %u\ndir %s\n", printer.port(), qPrintable(dir));

    std::unique_ptr<PtyPair> pty;
    QString serialPath = parser.value(serialOption);
    if (parser.isSet(ptyOption)) {
        pty = std::make_unique<PtyPair>(parser.isSet(dirOption) ? dir : QString());
        if (!pty->start()) {
            std::fprintf(stderr, "escposprinter: could not start socat\n");
            return 1;
        }
        serialPath = pty->terminalEnd();
        std::printf("pty %s\n", qPrintable(pty->programEnd()));
    }
    QSerialPort serial;
    if (!serialPath.isEmpty()) {
        serial.setPortName(serialPath);
        if (!serial.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "escposprinter: cannot open %s\n", qPrintable(serialPath));
            return 1;
        }
        serial.clear(QSerialPort::AllDirections);
        printer.addSerialLine(&serial, parser.value(quietOption).toInt());
    }
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray typed;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[1024];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            // Standard input closed: keep printing, but stop watching it.
            input.setEnabled(false);
            return;
        }
        typed.append(buffer, int(got));
        for (int end = typed.indexOf('\n'); end >= 0; end = typed.indexOf('\n')) {
            const QString line = QString::fromUtf8(typed.left(end)).trimmed();
            typed.remove(0, end + 1);
            if (!line.isEmpty())
                std::printf(printer.control(line) ? "ok\n" : "error\n");
            std::fflush(stdout);
        }
    });
    return app.exec();
}
