#pragma once

#include <QElapsedTimer>

#include <functional>

// How long a piece of work may run, and whether its caller still waits for it. The work asks
// spent() often: reading the clock is cheap, and the caller is asked at most every
// callerIntervalMs. Used by one thread.
class WorkBudget
{
public:
    enum class End { None, Time, CallerGone };

    static constexpr qint64 callerIntervalMs = 20;

    // timeMs < 0: no limit of time. callerGone, when given, says whether the caller has left.
    explicit WorkBudget(qint64 timeMs = -1, std::function<bool()> callerGone = {});

    // Whether the work must stop now; once true it stays so.
    bool spent();
    End end() const { return m_end; }
    qint64 timeMs() const { return m_timeMs; }

private:
    const qint64 m_timeMs;
    const std::function<bool()> m_callerGone;
    QElapsedTimer m_clock;
    qint64 m_nextAsk = 0;
    End m_end = End::None;
};
