#include "jobstatus.h"

#include "printerstatus.h"

#include <QUrl>

#include <cstring>

QString JobStatus::stateName() const
{
    static const char *const names[]
        = { "pending", "held", "printing", "stopped", "canceled", "aborted", "completed" };
    if (state < IPP_JSTATE_PENDING || state > IPP_JSTATE_COMPLETED)
        return QString();
    return QLatin1String(names[state - IPP_JSTATE_PENDING]);
}

JobStatus JobStatus::fromIpp(ipp_t *response)
{
    JobStatus job;
    ipp_attribute_t *attribute = response ? ippFirstAttribute(response) : nullptr;
    while (attribute && ippGetGroupTag(attribute) != IPP_TAG_JOB)
        attribute = ippNextAttribute(response);
    for (; attribute && ippGetGroupTag(attribute) == IPP_TAG_JOB; attribute = ippNextAttribute(response)) {
        const char *name = ippGetName(attribute);
        const ipp_tag_t tag = ippGetValueTag(attribute);
        if (!name)
            continue;
        if (!strcmp(name, "job-id") && tag == IPP_TAG_INTEGER) {
            job.id = ippGetInteger(attribute, 0);
        } else if (!strcmp(name, "job-state") && tag == IPP_TAG_ENUM) {
            job.state = ippGetInteger(attribute, 0);
        } else if (!strcmp(name, "job-state-reasons") && tag == IPP_TAG_KEYWORD) {
            job.reasons = PrinterStatus::keywords(attribute);
        } else if (!strcmp(name, "job-printer-uri") && tag == IPP_TAG_URI) {
            // ipp://host/printers/NAME or ipp://host/classes/NAME
            const QString path = QUrl(QString::fromUtf8(ippGetString(attribute, 0, nullptr))).path();
            const int slash = path.lastIndexOf(QLatin1Char('/'));
            if (slash > 0)
                job.printer = path.mid(slash + 1);
        }
    }
    return job;
}
