// tpasim: plays a payment terminal on one end of a pseudo-terminal pair.
//
//   tpasim [--family ingenico|newnote] [--port PATH] [--dir DIR] [--delay MS] [--decline]
//          [--status TEXT] [--quiet]
//
// Without --port it starts socat itself, makes the pair DIR/terminal (its own end) and
// DIR/varnel (the program's end), prints both paths and runs until interrupted.

#include "ptypair.h"
#include "terminalsimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tpasim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated Ingenico or Newnote payment terminal."));
    parser.addHelpOption();
    const QCommandLineOption familyOption(QStringLiteral("family"),
        QStringLiteral("Terminal family: ingenico (default) or newnote."), QStringLiteral("family"),
        QStringLiteral("ingenico"));
    const QCommandLineOption portOption(QStringLiteral("port"),
        QStringLiteral("Use this existing serial device or pty end instead of "
                       "starting socat."),
        QStringLiteral("path"));
    const QCommandLineOption dirOption(QStringLiteral("dir"),
        QStringLiteral("Folder for the pty links (default: a new temporary one)."), QStringLiteral("dir"));
    const QCommandLineOption delayOption(QStringLiteral("delay"),
        QStringLiteral("Milliseconds before a command is answered (default 2000)."), QStringLiteral("ms"),
        QStringLiteral("2000"));
    const QCommandLineOption declineOption(
        QStringLiteral("decline"), QStringLiteral("Decline purchases and refunds."));
    const QCommandLineOption statusOption(QStringLiteral("status"),
        QStringLiteral("Reply to status polls with this text."), QStringLiteral("text"));
    const QCommandLineOption quietOption(
        QStringLiteral("quiet"), QStringLiteral("Do not print the exchanged messages."));
    parser.addOptions(
        { familyOption, portOption, dirOption, delayOption, declineOption, statusOption, quietOption });
    parser.process(app);

    const QString familyName = parser.value(familyOption).toLower();
    if (familyName != QLatin1String("ingenico") && familyName != QLatin1String("newnote")) {
        std::fprintf(stderr, "tpasim: unknown family %s\n", qPrintable(familyName));
        return 2;
    }
    const auto family
        = familyName == QLatin1String("ingenico") ? TerminalSimulator::Ingenico : TerminalSimulator::Newnote;

    QString terminalEnd = parser.value(portOption);
    std::unique_ptr<PtyPair> line;
    if (terminalEnd.isEmpty()) {
        line = std::make_unique<PtyPair>(parser.value(dirOption));
        if (!line->start()) {
            std::fprintf(stderr, "tpasim: could not start socat\n");
            return 1;
        }
        terminalEnd = line->terminalEnd();
        std::printf("Varnel's end of the line: %s\n", qPrintable(line->programEnd()));
    }

    TerminalSimulator simulator(family);
    simulator.setAnswerCommands(true, parser.value(delayOption).toInt());
    simulator.setDecline(parser.isSet(declineOption));
    simulator.setVerbose(!parser.isSet(quietOption));
    if (parser.isSet(statusOption))
        simulator.setStatusReply(parser.value(statusOption).toLatin1());
    if (!simulator.open(terminalEnd)) {
        std::fprintf(stderr, "tpasim: cannot open %s\n", qPrintable(terminalEnd));
        return 1;
    }
    std::printf("Simulated %s terminal on %s\n", qPrintable(familyName), qPrintable(terminalEnd));
    std::fflush(stdout);

    if (::pipe(signalPipe) != 0)
        return 1;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QObject::connect(&simulator, &TerminalSimulator::disconnected, &app, [] {
        std::printf("The other end of the line is gone.\n");
        QCoreApplication::exit(1);
    });

    const int status = app.exec();
    simulator.close();
    return status;
}
