#pragma once

#include <QString>

// Registration of the program as a login item. Each writer creates its file only when it is
// missing and never touches an existing one, so a user's own edits survive.
namespace LoginItem {

// macOS launch agent: <homeDir>/Library/LaunchAgents/vrlAutoLaunch.plist. Returns the path.
QString writeLaunchAgent(const QString &homeDir);

// XDG autostart entry: <configDir>/autostart/varnel.desktop, starting `executable`. Returns the path.
QString writeAutostartEntry(const QString &configDir, const QString &executable);

// The launch agent's property list, one line.
QByteArray launchAgentPlist();

// The platform's writer for the current user; `executable` is the program to start.
void install(const QString &executable);

} // namespace LoginItem
