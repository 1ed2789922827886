#include "httpbudget.h"

bool HttpBudget::reserve(qint64 bytes)
{
    qint64 current = used.loadAcquire();
    while (current == 0 || current + bytes <= limit) {
        if (used.testAndSetOrdered(current, current + bytes, current))
            return true;
    }
    return false;
}
