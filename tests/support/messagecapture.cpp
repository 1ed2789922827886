#include "messagecapture.h"

MessageCapture *MessageCapture::current = nullptr;

MessageCapture::MessageCapture()
{
    current = this;
    previous = qInstallMessageHandler(&MessageCapture::handler);
}

MessageCapture::~MessageCapture()
{
    qInstallMessageHandler(previous);
    current = nullptr;
}

QStringList MessageCapture::messages() const
{
    QMutexLocker locker(&mutex);
    return recorded;
}

QStringList MessageCapture::matching(const QString &text) const
{
    QMutexLocker locker(&mutex);
    QStringList found;
    for (const QString &message : recorded) {
        if (message.contains(text))
            found.append(message);
    }
    return found;
}

void MessageCapture::clear()
{
    QMutexLocker locker(&mutex);
    recorded.clear();
}

void MessageCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    MessageCapture *capture = current;
    if (!capture)
        return;
    {
        QMutexLocker locker(&capture->mutex);
        capture->recorded.append(message);
    }
    if (capture->previous)
        capture->previous(type, context, message);
}
