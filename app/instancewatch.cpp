#include "instancewatch.h"

#include "startup.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

InstanceWatch::InstanceWatch(QObject *parent)
    : QObject(parent)
{
}

void InstanceWatch::start()
{
    auto heartbeat = new QTimer(this);
    connect(heartbeat, &QTimer::timeout, this, &InstanceWatch::setKicked);
    heartbeat->start(4000);
    auto windowRequestPoll = new QTimer(this);
    connect(windowRequestPoll, &QTimer::timeout, this, &InstanceWatch::checkOpeness);
    windowRequestPoll->start(200);
    setKicked();
}

void InstanceWatch::setKicked()
{
    m_settings.setValue(QStringLiteral("kicked"), QString::number(Startup::localEpochSecond()));
    m_settings.sync();
}

void InstanceWatch::checkOpeness()
{
    // Picks up what a second instance wrote to the store since the last read.
    m_settings.sync();
    if (!m_settings.value(QStringLiteral("showWindow"), false).toBool())
        return;
    m_settings.setValue(QStringLiteral("showWindow"), false);
    m_settings.sync();
    emit showWindow();
}

bool InstanceWatch::handOver(int waitMs)
{
    QSettings settings;
    const qint64 kicked = settings.value(QStringLiteral("kicked"), 0).toLongLong();
    if (!Startup::anotherInstanceAlive(kicked, Startup::localEpochSecond()))
        return false;
    settings.setValue(QStringLiteral("showWindow"), true);
    settings.sync();
    // A live instance clears the request within its 200 ms poll.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < waitMs) {
        QThread::msleep(50);
        settings.sync();
        if (!settings.value(QStringLiteral("showWindow"), false).toBool())
            return true;
    }
    settings.setValue(QStringLiteral("showWindow"), false);
    settings.sync();
    return false;
}
