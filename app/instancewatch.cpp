#include "instancewatch.h"

#include "startup.h"

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
