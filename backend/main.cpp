// escpos: the CUPS backend for ESC/POS receipt printers (see EscPosBackend).
//   escpos                                   lists the devices found, for lpinfo -v
//   escpos JOB USER TITLE COPIES OPTIONS [FILE]   prints FILE (or standard input) on DEVICE_URI

#include "escposbackend.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Writes to a printer that went away must fail, not end the backend.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    if (argc == 1) {
        for (const QString &line : EscPosBackend::deviceList())
            std::printf("%s\n", qPrintable(line));
        return 0;
    }
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: escpos job-id user title copies options [file]\n");
        return EscPosBackend::Failed;
    }
    QFile input;
    const bool opened = argc == 7
        ? (input.setFileName(QFile::decodeName(argv[6])), input.open(QIODevice::ReadOnly))
        : input.open(stdin, QIODevice::ReadOnly);
    if (!opened) {
        std::fprintf(stderr, "ERROR: cannot read the job\n");
        return EscPosBackend::Failed;
    }
    // Given a file, the backend makes the copies; from standard input the filters made them.
    const int copies = argc == 7 ? qBound(1, QByteArray(argv[4]).toInt(), 100) : 1;
    const QByteArray job = input.readAll().repeated(copies);
    EscPosBackend backend(QString::fromUtf8(qgetenv("DEVICE_URI")), stderr);
    return backend.run(job);
}
