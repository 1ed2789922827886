#pragma once

#include <QLoggingCategory>

// The application's messages: start-up, login item, trust and listener set-up. Debug lines are off unless
// switched on (QT_LOGGING_RULES or the debug switch).
Q_DECLARE_LOGGING_CATEGORY(lcApp)
