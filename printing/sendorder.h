#pragma once

#include <QMutex>
#include <QSet>
#include <QWaitCondition>

// Keeps the jobs of one printer in the order they came while each prepares on its own thread: a
// job takes a turn when it comes, prepares, then waits until every earlier turn is over.
class SendOrder
{
public:
    // Over when it goes, whether its job was sent or failed on the way.
    class Turn
    {
    public:
        Turn(Turn &&other) noexcept;
        Turn(const Turn &) = delete;
        Turn &operator=(const Turn &) = delete;
        Turn &operator=(Turn &&) = delete;
        ~Turn();
        // Blocks until every turn taken before this one is over.
        void wait() const;

    private:
        friend class SendOrder;
        Turn(SendOrder *order, quint64 number);
        SendOrder *m_order;
        quint64 m_number;
    };

    Turn take();

private:
    void finish(quint64 number);

    QMutex m_mutex;
    QWaitCondition m_turnOver;
    quint64 m_next = 0; // guarded by m_mutex
    quint64 m_current = 0; // guarded by m_mutex
    // Turns over before their time, because their job failed while an earlier one prepared.
    QSet<quint64> m_overEarly; // guarded by m_mutex
};
