// Arbitrary bytes as a printer's answers to status requests (a printer, or whatever listens on
// its address, may send anything), fed in pieces whose sizes the input picks, with requests noted
// between them. Invariants: every awaited reply is taken at most once, confirmations never exceed
// the requests, and the reasons never say a printer is both out of paper and low on it.

#include "escposcommand.h"
#include "escposstatus.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    EscPosStatus status;
    int requested = 0;
    int confirmationsRequested = 0;
    size_t pos = 0;
    while (pos < size) {
        const uint8_t control = data[pos++];
        if (control & 0x80) {
            status.requestAll();
            requested += 3;
        }
        if (control & 0x40) {
            status.expectConfirmation();
            ++confirmationsRequested;
        }
        const size_t piece = control & 0x0F;
        const size_t taken = piece < size - pos ? piece : size - pos;
        const int awaited = status.awaitedReplies();
        status.feed(QByteArray(reinterpret_cast<const char *>(data + pos), int(taken)));
        pos += taken;
        check(status.awaitedReplies() <= awaited && status.awaitedReplies() <= requested);
        check(status.confirmations() <= confirmationsRequested);
        const QStringList reasons = status.reasons();
        check(!(reasons.contains(EscPosStatus::paperOutReason())
            && reasons.contains(EscPosStatus::paperLowReason())));
        check(status.known() || reasons == QStringList { EscPosStatus::unknownReason() });
        EscPosStatus::notReadyCause(reasons);
    }
    // The same bytes as a job: the command lengths cover them exactly, each within what is left.
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    for (int at = 0; at < bytes.size();) {
        const int length = EscPosCommand::length(bytes, at);
        check(length >= 0 && length <= bytes.size() - at);
        if (length == 0)
            break;
        at += length;
    }
    return 0;
}
