#pragma once

#include <QLoggingCategory>

// The card terminals' messages: ports and their workers. Debug lines are off unless switched on
// (QT_LOGGING_RULES or the debug switch).
Q_DECLARE_LOGGING_CATEGORY(lcTerminals)
