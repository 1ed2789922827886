#include "terminalline.h"

#include <QTest>

TerminalLine::TerminalLine(TerminalSimulator::Family family, const TpaWorker::Intervals &intervals)
    : simulator(family)
    , harness(family, pty.programEnd(), intervals)
{ }

bool TerminalLine::open()
{
    if (!pty.start() || !simulator.open(pty.terminalEnd()) || !harness.connected())
        return false;
    harness.start();
    const QByteArray poll = simulator.pollMessage();
    if (!QTest::qWaitFor([&] { return simulator.count(poll) == 1; }, 5000))
        return false;
    if (simulator.answersPolls()
        && !QTest::qWaitFor(
            [&] { return harness.statuses.size() == 1 && simulator.acknowledgements().size() == 1; }, 5000))
        return false;
    harness.clear();
    simulator.clearReceived();
    return true;
}
