#pragma once

#include <QLoggingCategory>

// The request journal's messages. Debug lines are off unless switched on (QT_LOGGING_RULES or the debug
// switch).
Q_DECLARE_LOGGING_CATEGORY(lcJournal)
