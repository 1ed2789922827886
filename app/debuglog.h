#pragma once

#include <QDateTime>
#include <QSemaphore>
#include <QString>
#include <QtGlobal>

class PrintClient;

// The controller the log handler feeds; set once, right after the controller is created.
extern PrintClient *printClient;
// Guards the read-modify-write of the controller's debug-message list.
extern QSemaphore messageLogger;

namespace DebugLog {

// Lines kept in the controller's debug list.
constexpr int maxLines = 100;

// One log line: "[time]: message", plus "\n\tfile:line function" when the position is known.
QString formatLine(const QMessageLogContext &context, const QString &message,
    const QDateTime &time = QDateTime::currentDateTime());

// Prepends `line` to the controller's list, keeping at most maxLines; safe from any thread.
void append(PrintClient *client, const QString &line);

} // namespace DebugLog

// Qt message handler installed in debug mode.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
