#pragma once

#include <QStringList>

// The command line's "--trust" and "--untrust" (each optionally with "--system"): adds this
// installation's certificate authority to the user's browser stores, or takes away exactly what
// was added, and with "--system", run as root, does the same in the system store. Runs without
// a window or a listener; the result is the process's exit status.
namespace TrustCommand {

// Whether the arguments ask for one of these commands.
bool requested(const QStringList &arguments);

int run(const QStringList &arguments);

} // namespace TrustCommand
