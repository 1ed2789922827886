#pragma once

#include "tpaworker.h"

// Ingenico terminals: STX, message, ETX and check byte; the status poll M00005LB020000 holds new
// commands back until its "M000" reply.
class TpaWorkerIngenico : public TpaWorker
{
    Q_OBJECT

public:
    explicit TpaWorkerIngenico(const QString &portPath, QObject *parent = nullptr);

protected:
    void reactToMessage(const QString &text) override;
};
