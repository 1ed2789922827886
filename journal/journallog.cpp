#include "journallog.h"

Q_LOGGING_CATEGORY(lcJournal, "varnel.journal", QtInfoMsg)
