#pragma once

#include "ptypair.h"
#include "terminalsimulator.h"
#include "tpaworkerharness.h"

// One worker and one simulated terminal on the two ends of a socat pseudo-terminal pair.
class TerminalLine
{
public:
    explicit TerminalLine(TerminalSimulator::Family family,
        const TpaWorker::Intervals &intervals = TpaWorkerHarness::fastIntervals());

    // Starts socat, opens the terminal's end and starts the worker; waits for the worker's first
    // poll and, when the simulator answers polls, for the status it reports. Then forgets both.
    bool open();

    PtyPair pty;
    TerminalSimulator simulator;
    TpaWorkerHarness harness;
};
