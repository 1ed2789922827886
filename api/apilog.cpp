#include "apilog.h"

Q_LOGGING_CATEGORY(lcApi, "varnel.api", QtInfoMsg)
