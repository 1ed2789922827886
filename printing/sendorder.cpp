#include "sendorder.h"

SendOrder::Turn::Turn(SendOrder *order, quint64 number)
    : m_order(order)
    , m_number(number)
{
}

SendOrder::Turn::Turn(Turn &&other) noexcept
    : m_order(other.m_order)
    , m_number(other.m_number)
{
    other.m_order = nullptr;
}

SendOrder::Turn::~Turn()
{
    if (m_order)
        m_order->finish(m_number);
}

void SendOrder::Turn::wait() const
{
    QMutexLocker locker(&m_order->m_mutex);
    while (m_order->m_current != m_number)
        m_order->m_turnOver.wait(&m_order->m_mutex);
}

SendOrder::Turn SendOrder::take()
{
    QMutexLocker locker(&m_mutex);
    return Turn(this, m_next++);
}

void SendOrder::finish(quint64 number)
{
    QMutexLocker locker(&m_mutex);
    if (number != m_current) {
        m_overEarly.insert(number);
        return;
    }
    ++m_current;
    while (m_overEarly.remove(m_current))
        ++m_current;
    m_turnOver.wakeAll();
}
