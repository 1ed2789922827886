#include "workbudget.h"

WorkBudget::WorkBudget(qint64 timeMs, std::function<bool()> callerGone)
    : m_timeMs(timeMs)
    , m_callerGone(std::move(callerGone))
{
    m_clock.start();
}

bool WorkBudget::spent()
{
    if (m_end != End::None)
        return true;
    const qint64 elapsed = m_clock.elapsed();
    if (m_timeMs >= 0 && elapsed >= m_timeMs) {
        m_end = End::Time;
    } else if (m_callerGone && elapsed >= m_nextAsk) {
        m_nextAsk = elapsed + callerIntervalMs;
        if (m_callerGone())
            m_end = End::CallerGone;
    }
    return m_end != End::None;
}
