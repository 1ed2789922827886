#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

// Records every Qt message from any thread while it exists, and passes each on to the
// handler that was installed before it (Qt Test's, so ignoreMessage still works).
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();

    QStringList messages() const;
    // Messages that contain text, in the order they were logged.
    QStringList matching(const QString &text) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static MessageCapture *current;
    QtMessageHandler previous;
    mutable QMutex mutex;
    // Guarded by mutex.
    QStringList recorded;
};
