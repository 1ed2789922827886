#pragma once

#include <QLoggingCategory>

// The API's messages: one line per print job and terminal command. Debug lines are off unless switched on
// (QT_LOGGING_RULES or the debug switch).
Q_DECLARE_LOGGING_CATEGORY(lcApi)
