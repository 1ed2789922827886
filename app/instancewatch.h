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

signals:
    void showWindow();

public slots:
    void setKicked();
    void checkOpeness();

private:
    QSettings m_settings;
};
