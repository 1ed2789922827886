#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class QTemporaryDir;

// Shared helpers for tests that need real components: settings in a throw-away place, fixture
// files, and child processes stopped by their process id.
namespace TestSupport {

// Points the default QSettings (native and INI, user scope) and the XDG configuration, data and
// state folders at dir, and sets the application identity the program uses.
void useTemporarySettings(const QTemporaryDir &dir);

// Path of a script or file in tests/fixtures.
QString fixture(const QString &name);

// Runs a command to completion and returns its standard output; fails the process on time-out.
QByteArray run(
    const QString &program, const QStringList &arguments, int timeoutMs = 30000, int *exitCode = nullptr);

// Sends SIGTERM to pid, waits up to timeoutMs for it to end, then SIGKILL.
void stopPid(qint64 pid, int timeoutMs = 5000);

} // namespace TestSupport
