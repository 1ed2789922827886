#include "debuglog.h"

#include "debuglist.h"
#include "logfile.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>

#include <cstdio>

namespace {

// Set by configure() before the handler is installed, then only read.
LogFile *logFile = nullptr;
DebugList *debugList = nullptr;
bool detailed = false;
QtMessageHandler fallback = nullptr;

// Refused requests since the last line about them.
QMutex refusalLock;
int refusals = 0; // guarded by refusalLock
QString lastRefusal; // guarded by refusalLock
qint64 refusalWritten = -DebugLog::refusalIntervalMs; // guarded by refusalLock

bool escapedCharacter(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029 || (c >= 0x202a && c <= 0x202e)
        || (c >= 0x2066 && c <= 0x2069);
}

void write(const QMessageLogContext &context, const QString &message)
{
    // The source position is for developers: only the debug switch adds it.
    static const QMessageLogContext noPosition;
    // The category says which part of the program speaks.
    const bool named = context.category && qstrcmp(context.category, "default") != 0;
    const QString text
        = named ? QString::fromUtf8(context.category) + QStringLiteral(": ") + message : message;
    const QString line = DebugLog::formatLine(detailed ? context : noPosition, text);
    if (logFile)
        logFile->append(line);
    if (detailed && context.line >= 1) {
        const QByteArray local = line.toLocal8Bit();
        std::fprintf(stderr, "%s\n", local.constData());
        std::fflush(stderr);
    }
    if (debugList)
        debugList->append(line);
}

QString refusalLine(int count, const QString &last)
{
    return QStringLiteral("%1 request(s) refused in the last minute; the last: %2").arg(count).arg(last);
}

} // namespace

namespace DebugLog {

QString escaped(const QString &message)
{
    QString result;
    result.reserve(message.size());
    for (const QChar c : message) {
        const char16_t code = c.unicode();
        if (!escapedCharacter(code))
            result += c;
        else if (code < 0x100)
            result += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
        else
            result += QStringLiteral("\\u%1").arg(uint(code), 4, 16, QLatin1Char('0'));
    }
    return result;
}

void enableDebugLines()
{
    QLoggingCategory::setFilterRules(QStringLiteral("varnel.*.debug=true"));
}

void flushRefusals()
{
    QMutexLocker locker(&refusalLock);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (refusals == 0 || now - refusalWritten < refusalIntervalMs)
        return;
    const QString line = refusalLine(refusals, lastRefusal);
    refusals = 0;
    refusalWritten = now;
    locker.unlock();
    write(QMessageLogContext(), line);
}

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

void configure(LogFile *file, DebugList *list, bool detailedLines, QtMessageHandler qtOutput)
{
    logFile = file;
    debugList = list;
    detailed = detailedLines;
    fallback = qtOutput;
}

} // namespace DebugLog

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Values from outside reach the log: no line break or control character of theirs may
    // make a line of its own or disguise one.
    const QString safe = DebugLog::escaped(message);
    if (!detailed) {
        if (fallback)
            fallback(type, context, safe);
        if (type == QtDebugMsg)
            return;
    }
    if (context.category && qstrcmp(context.category, DebugLog::refusedCategory) == 0) {
        // Counted, not written one by one: a flood of them must not push the history out.
        QMutexLocker locker(&refusalLock);
        ++refusals;
        lastRefusal = safe;
        locker.unlock();
        DebugLog::flushRefusals();
        return;
    }
    write(context, safe);
}
