#pragma once

#include <QString>

// Registration of the program as a login item. Each writer creates its file only when it is
// missing and leaves an existing one alone, so a user's own edits survive.
namespace LoginItem {

// macOS launch agent: <homeDir>/Library/LaunchAgents/vrlAutoLaunch.plist. Returns the path.
QString writeLaunchAgent(const QString &homeDir);

// XDG autostart entry: <configDir>/autostart/varnel.desktop, starting `executable`. Returns the path.
// The one exception to "never touch an existing file": an entry exactly as this program wrote it
// that starts a program no longer there (Varnel moved or reinstalled elsewhere) is rewritten.
QString writeAutostartEntry(const QString &configDir, const QString &executable);

// The autostart entry this program writes for `executable`.
QByteArray autostartEntry(const QString &executable);

// The executable of an entry that is byte for byte what autostartEntry() makes for it; empty for
// any other entry (edited by a person, or written by someone else).
QString autostartExecutable(const QByteArray &entry);

// The launch agent's property list, one line.
QByteArray launchAgentPlist();

// The platform's writer for the current user; `executable` is the program to start.
void install(const QString &executable);

} // namespace LoginItem
