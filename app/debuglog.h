#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

class DebugList;
class LogFile;

namespace DebugLog {

// One log line: "[time]: message", plus "\n\tfile:line function" when the position is known.
QString formatLine(const QMessageLogContext &context, const QString &message,
    const QDateTime &time = QDateTime::currentDateTime());

// Messages of this logging category are requests the server refused: the log counts them and
// writes at most one line about them a minute.
constexpr char refusedCategory[] = "varnel.refused";
constexpr qint64 refusalIntervalMs = 60000;

// `message` with every control, line-separator and direction-changing character written as
// \xHH or \uHHHH, so that a value from outside stays within its line.
QString escaped(const QString &message);

// The debug switch: the debug lines of every category of the program's are logged. Rules given
// in QT_LOGGING_RULES still take precedence, so that one category can be left out.
void enableDebugLines();

// Writes the count of requests refused since the last such line, if any and if that line is a
// minute old; called on every refusal and every few seconds.
void flushRefusals();

// Where messageHandler sends what it keeps: `file` and `list` (either may be null) get
// warnings and above and the informational lines (one per print job or terminal command), and
// with `detailed` (the debug switch) the debug lines too. Without it the messages also reach
// `fallback`, Qt's own output, as they did before the handler was installed. Called before the
// handler is installed.
void configure(LogFile *file, DebugList *list, bool detailed, QtMessageHandler fallback);

} // namespace DebugLog

// The program's Qt message handler.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
