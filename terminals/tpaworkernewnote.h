#pragma once

#include "tpaworker.h"

// Newnote terminals: DLE STX, message, DLE ETX and check byte; the status poll M00110PQ does not
// hold commands back, and received messages are cleaned of control and EMV tag bytes.
class TpaWorkerNewnote : public TpaWorker
{
    Q_OBJECT

public:
    explicit TpaWorkerNewnote(const QString &portPath, QObject *parent = nullptr);

protected:
    QByteArray cleanMessage(const QByteArray &received) const override;
    void reactToMessage(const QString &text) override;
};
