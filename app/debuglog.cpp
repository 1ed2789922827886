#include "debuglog.h"

#include "printclient.h"

#include <cstdio>

PrintClient *printClient = nullptr;
QSemaphore messageLogger(1);

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

} // namespace DebugLog

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtCriticalMsg && type != QtFatalMsg)
        return;
    const QString line = DebugLog::formatLine(context, message);
    if (context.line >= 1) {
        const QByteArray local = line.toLocal8Bit();
        std::fprintf(stderr, "%s\n", local.constData());
        std::fflush(stderr);
    }
    DebugLog::append(printClient, line);
}
