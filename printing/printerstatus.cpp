#include "printerstatus.h"

#include "escposstatus.h"

#include <algorithm>

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
        return std::any_of(reasons.begin(), reasons.end(), [conditions](const QString &reason) {
            return std::any_of(conditions.begin(), conditions.end(),
                [&reason](const char *condition) { return names(reason, condition); });
        });
    };
    if (!reachable || any({ "offline", "shutdown", "connecting-to-device", "timed-out" }))
        return Offline;
    if (any({ "media-empty", "media-needed" }))
        return OutOfPaper;
    if (any({ "cover-open", "door-open", "interlock-open" }))
        return CoverOpen;
    if (std::any_of(reasons.begin(), reasons.end(),
            [](const QString &reason) { return reason.endsWith(QLatin1String("-error")); }))
        return Error;
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
    return state == Printing ? QStringLiteral("printing")
        : state == Stopped   ? QStringLiteral("stopped")
                             : QStringLiteral("idle");
}
