#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "varnel.app", QtInfoMsg)
