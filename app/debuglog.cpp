#include "debuglog.h"

#include "logfile.h"
#include "printclient.h"

#include <cstdio>

PrintClient *printClient = nullptr;
QSemaphore messageLogger(1);

namespace {

// Set by configure() before the handler is installed, then only read.
LogFile *logFile = nullptr;
bool detailed = false;
QtMessageHandler fallback = nullptr;

} // namespace

namespace DebugLog {

QString formatLine(const QMessageLogContext &context, const QString &message, const QDateTime &time)
{
    const QString stamp = time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (context.line >= 1) {
        const QString file = QString::fromUtf8(context.file ? context.file : "");
        return QStringLiteral("[%1]: %2\n\t%3:%4 %5")
            .arg(stamp, message, file.mid(file.lastIndexOf(QLatin1Char('/')) + 1))
            .arg(context.line)
            .arg(QString::fromUtf8(context.function ? context.function : ""));
    }
    return QStringLiteral("[%1]: %2").arg(stamp, message);
}

void append(PrintClient *client, const QString &line)
{
    if (!client)
        return;
    messageLogger.acquire();
    QStringList lines = client->debugMessages();
    lines.prepend(line);
    while (lines.size() > maxLines)
        lines.removeLast();
    client->setDebugMessages(lines);
    messageLogger.release();
}

void configure(LogFile *file, bool detailedLines, QtMessageHandler qtOutput)
{
    logFile = file;
    detailed = detailedLines;
    fallback = qtOutput;
}

} // namespace DebugLog

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!detailed) {
        if (fallback)
            fallback(type, context, message);
        if (type == QtDebugMsg)
            return;
    }
    // The source position is for developers: only the debug switch adds it.
    static const QMessageLogContext noPosition;
    const QString line = DebugLog::formatLine(detailed ? context : noPosition, message);
    if (logFile)
        logFile->append(line);
    if (detailed && context.line >= 1) {
        const QByteArray local = line.toLocal8Bit();
        std::fprintf(stderr, "%s\n", local.constData());
        std::fflush(stderr);
    }
    DebugLog::append(printClient, line);
}
