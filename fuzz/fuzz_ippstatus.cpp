// Arbitrary bytes as the scheduler's IPP answer (CUPS_SERVER may name another computer): read
// like libcups reads an answer, then taken apart as the queues' and a job's status. Invariants:
// no "none" among the reasons, a known state name for every queue, a job state name only for a
// state IPP defines.

#include "cupsconnection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cups/ipp.h>

namespace {

struct Input
{
    const uint8_t *data;
    size_t left;
};

ssize_t readInput(void *context, ipp_uchar_t *buffer, size_t bytes)
{
    Input *input = static_cast<Input *>(context);
    const size_t taken = bytes < input->left ? bytes : input->left;
    memcpy(buffer, input->data, taken);
    input->data += taken;
    input->left -= taken;
    return ssize_t(taken);
}

void check(bool condition)
{
    if (!condition)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input input { data, size };
    ipp_t *response = ippNew();
    ippReadIO(&input, readInput, 1, nullptr, response);
    for (const PrinterStatus &queue : CupsConnection::queuesFrom(response)) {
        check(!queue.name.isEmpty() && !queue.reasons.contains(QStringLiteral("none")));
        check(!queue.stateName().isEmpty() && queue.queuedJobs >= 0);
        queue.situation();
    }
    const JobStatus job = CupsConnection::jobFrom(response);
    check(!job.reasons.contains(QStringLiteral("none")));
    check(job.stateName().isEmpty() == (job.state < JobStatus::Pending || job.state > JobStatus::Completed));
    ippDelete(response);
    return 0;
}
