#include "printerstatus.h"

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
    return state == Printing ? Busy : Ready;
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
