#include "printerstatus.h"

#include "escposstatus.h"

#include <cstring>

namespace {

// A reason names its condition, then its severity: "media-empty-error", "cover-open-warning".
bool names(const QString &reason, const char *condition)
{
    const QLatin1String name(condition);
    return reason == name || (reason.startsWith(name) && reason.at(name.size()) == QLatin1Char('-'));
}

} // namespace

PrinterStatus::Situation PrinterStatus::situation() const
{
    const auto any = [this](std::initializer_list<const char *> conditions) {
        for (const QString &reason : reasons) {
            for (const char *condition : conditions) {
                if (names(reason, condition))
                    return true;
            }
        }
        return false;
    };
    if (!reachable || any({ "offline", "shutdown", "connecting-to-device", "timed-out" }))
        return Offline;
    if (any({ "media-empty", "media-needed" }))
        return OutOfPaper;
    if (any({ "cover-open", "door-open", "interlock-open" }))
        return CoverOpen;
    for (const QString &reason : reasons) {
        if (reason.endsWith(QLatin1String("-error")))
            return Error;
    }
    if (any({ "paused", "moving-to-paused" }) || !accepting)
        return Paused;
    if (state == Stopped)
        return Error;
    if (state == Printing)
        return Busy;
    return any({ "media-low" }) ? PaperLow : Ready;
}

QString PrinterStatus::notReadyCause() const
{
    return escpos() ? EscPosStatus::notReadyCause(reasons) : QString();
}

QString PrinterStatus::stateName() const
{
    switch (state) {
    case Printing:
        return QStringLiteral("printing");
    case Stopped:
        return QStringLiteral("stopped");
    case Idle:
        break;
    }
    return QStringLiteral("idle");
}

QList<PrinterStatus> PrinterStatus::fromIpp(ipp_t *response)
{
    QList<PrinterStatus> queues;
    ipp_attribute_t *attribute = response ? ippFirstAttribute(response) : nullptr;
    while (attribute) {
        while (attribute && ippGetGroupTag(attribute) != IPP_TAG_PRINTER)
            attribute = ippNextAttribute(response);
        if (!attribute)
            break;
        PrinterStatus queue;
        for (; attribute && ippGetGroupTag(attribute) == IPP_TAG_PRINTER;
             attribute = ippNextAttribute(response)) {
            const char *name = ippGetName(attribute);
            const ipp_tag_t tag = ippGetValueTag(attribute);
            if (!name)
                continue;
            if (!strcmp(name, "printer-name") && tag == IPP_TAG_NAME)
                queue.name = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
            else if (!strcmp(name, "printer-state") && tag == IPP_TAG_ENUM)
                queue.state = ippGetInteger(attribute, 0) == IPP_PSTATE_PROCESSING ? Printing
                    : ippGetInteger(attribute, 0) == IPP_PSTATE_IDLE               ? Idle
                                                                                   : Stopped;
            else if (!strcmp(name, "printer-state-reasons") && tag == IPP_TAG_KEYWORD)
                queue.reasons = keywords(attribute);
            else if (!strcmp(name, "printer-is-accepting-jobs") && tag == IPP_TAG_BOOLEAN)
                queue.accepting = ippGetBoolean(attribute, 0);
            else if (!strcmp(name, "queued-job-count") && tag == IPP_TAG_INTEGER)
                queue.queuedJobs = qMax(0, ippGetInteger(attribute, 0));
            else if (!strcmp(name, "device-uri") && tag == IPP_TAG_URI)
                queue.deviceUri = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
        }
        if (!queue.name.isEmpty())
            queues << queue;
    }
    return queues;
}

QStringList PrinterStatus::keywords(ipp_attribute_t *attribute)
{
    QStringList values;
    for (int i = 0; i < ippGetCount(attribute); ++i) {
        const QString value = QString::fromUtf8(ippGetString(attribute, i, nullptr));
        if (!value.isEmpty() && value != QLatin1String("none"))
            values << value;
    }
    return values;
}
