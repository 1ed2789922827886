#include "terminalslog.h"

Q_LOGGING_CATEGORY(lcTerminals, "varnel.terminals", QtInfoMsg)
