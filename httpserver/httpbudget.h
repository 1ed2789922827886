#pragma once

#include <QAtomicInteger>

// Bytes that all connections together may hold of one kind (bodies being received or served,
// replies their peers have not taken). Any thread; lock-free.
class HttpBudget
{
public:
    explicit HttpBudget(qint64 limit)
        : limit(limit)
    {
    }

    // Takes `bytes` when they fit under the limit, or when nothing else is held (one request alone
    // always fits, whatever its size); false (and nothing taken) otherwise.
    bool reserve(qint64 bytes);
    // Takes `bytes` whatever the limit, for what is already held.
    void add(qint64 bytes) { used.fetchAndAddOrdered(bytes); }
    void release(qint64 bytes) { used.fetchAndAddOrdered(-bytes); }
    bool exceeded() const { return used.loadAcquire() > limit; }

private:
    const qint64 limit;
    // Atomic, no lock.
    QAtomicInteger<qint64> used { 0 };
};
