#pragma once

#include <QObject>
#include <QSettings>

// The running instance's side of the single-instance hand-over: a heartbeat in the settings store
// that tells a second start this instance is alive, and a poll for that start's request to bring
// the window forward.
class InstanceWatch : public QObject
{
    Q_OBJECT

public:
    explicit InstanceWatch(QObject *parent = nullptr);

    // Writes the first heartbeat and starts both timers (4 s heartbeat, 200 ms poll).
    void start();

    // For a second start: when the heartbeat says another instance runs, asks it to bring its
    // window forward and waits up to waitMs for it to take the request. True when it did; false
    // when there is none, or when it does not answer (it died without a trace), in which case
    // the request is withdrawn and this start goes on.
    static bool handOver(int waitMs = 1000);

signals:
    void showWindow();

public slots:
    void setKicked();
    void checkOpeness();

private:
    QSettings m_settings;
};
