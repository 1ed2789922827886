#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// An X server of the test's own (Xvfb on a display number it picks itself), optionally with a
// system tray in it (wmdocker), for tests that need real windows. Both processes are stopped by
// their process id when the object goes.
class XvfbDisplay
{
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay &) = delete;
    XvfbDisplay &operator=(const XvfbDisplay &) = delete;

    // Starts the server and waits until it accepts clients; geometry as Xvfb's -screen takes it.
    bool start(const QString &geometry = QStringLiteral("1280x800x24"));
    // Starts a system tray in the display; it takes a moment to claim the tray selection.
    bool startTray();
    void stopTray() { stopProcess(m_tray); }
    // The display name, such as ":3", for DISPLAY.
    QString name() const { return m_name; }
    void stop();

private:
    static void stopProcess(QProcess &process);

    QProcess m_server;
    QProcess m_tray;
    QString m_name;
};
