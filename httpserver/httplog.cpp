#include "httplog.h"

Q_LOGGING_CATEGORY(lcHttp, "varnel.http", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRefused, "varnel.refused", QtInfoMsg)
