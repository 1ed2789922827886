#pragma once

#include "tpamessages.h"

// Ingenico terminals have every command, the menu and the reprint too.
class TpaMessagesIngenico final : public TpaMessages
{
public:
    QByteArray open() const override;
    QByteArray close() const override;
    QByteArray purchase(const QString &amount) const override;
    QByteArray refund(
        const QString &amount, const QString &reference, const QString &dateTime) const override;
    QByteArray openMenu() const override;
    QByteArray reprintLastReceipt() const override;
};
