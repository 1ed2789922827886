#pragma once

#include "tpamessages.h"

// Newnote terminals open, close, buy and refund; they have no menu and no reprint.
class TpaMessagesNewnote final : public TpaMessages
{
public:
    QByteArray open() const override;
    QByteArray close() const override;
    QByteArray purchase(const QString &amount) const override;
    QByteArray refund(
        const QString &amount, const QString &reference, const QString &dateTime) const override;
};
