#include "tpaworkeringenico.h"

#include <QStringList>

namespace {
// Replies that end the running command: open, close, purchase, refund and menu.
const QStringList terminatingCodes = {
    QStringLiteral("P001"),
    QStringLiteral("P101"),
    QStringLiteral("P102"),
    QStringLiteral("P042"),
    QStringLiteral("P142"),
    QStringLiteral("P051"),
    QStringLiteral("P151"),
    QStringLiteral("P251"),
    QStringLiteral("P155"),
    QStringLiteral("P061"),
    QStringLiteral("P161"),
    QStringLiteral("P261"),
    QStringLiteral("M005"),
};
} // namespace

TpaWorkerIngenico::TpaWorkerIngenico(const QString &portPath, QObject *parent)
    : TpaWorker(portPath,
        { QByteArray(1, STX), QByteArray(1, ETX),
            QByteArrayLiteral("M000") + "05" + "LB" + "0200" + "0" + "0", QByteArrayLiteral("M000"), true },
        parent)
{
}

void TpaWorkerIngenico::reactToMessage(const QString &text)
{
    const QString code = text.left(4);
    if (code == QLatin1String("M000")) {
        markStatusReceived();
        if (hasPendingCommand())
            loopStatusCheck();
    } else if (terminatingCodes.contains(code)) {
        stopTransaction();
    } else if (code == QLatin1String("M025")) {
        sendMessagePrivate(QByteArrayLiteral("M025000"));
    } else if (code == QLatin1String("M00E")) {
        if (isInTransaction() && text.mid(4, 3) == QLatin1String("001"))
            stopTransaction();
    } else if (text == QLatin1String("M01101") && isInTransaction()) {
        transactionTimeout();
    }
}
