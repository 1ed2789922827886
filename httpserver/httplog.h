#pragma once

#include <QLoggingCategory>

// The HTTP server's messages: listener, connection pool and connections. Debug lines are off
// unless switched on (QT_LOGGING_RULES or the debug switch).
Q_DECLARE_LOGGING_CATEGORY(lcHttp)
// Requests refused for what they are: the program's log counts these rather than writing each.
Q_DECLARE_LOGGING_CATEGORY(lcRefused)
