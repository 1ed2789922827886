#include "jobstatus.h"

QString JobStatus::stateName() const
{
    static const char *const names[]
        = { "pending", "held", "printing", "stopped", "canceled", "aborted", "completed" };
    if (state < Pending || state > Completed)
        return QString();
    return QLatin1String(names[state - Pending]);
}
