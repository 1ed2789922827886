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

// The port the program under test serves its API on: one free when first asked for, the same for
// the whole test process, and set as VARNEL_PORT for the programs it starts, so that suites run at
// once on ports of their own.
quint16 apiPort();

// Path of a script or file in tests/fixtures.
QString fixture(const QString &name);

// Runs a command to completion and returns its standard output; fails the process on time-out.
QByteArray run(
    const QString &program, const QStringList &arguments, int timeoutMs = 30000, int *exitCode = nullptr);

// Sends SIGTERM to pid, waits up to timeoutMs for it to end, then SIGKILL.
void stopPid(qint64 pid, int timeoutMs = 5000);

} // namespace TestSupport
