#include "tpaworkernewnote.h"

#include <QStringList>

#include <algorithm>

namespace {
// Replies that end the running command: open, close, purchase and refund.
const QStringList terminatingCodes = {
    QStringLiteral("S000"),
    QStringLiteral("S001"),
    QStringLiteral("C000"),
    QStringLiteral("C002"),
};
} // namespace

TpaWorkerNewnote::TpaWorkerNewnote(const QString &portPath, QObject *parent)
    : TpaWorker(portPath,
        { QByteArray(1, DLE) + STX, QByteArray(1, DLE) + ETX, QByteArrayLiteral("M001") + "10" + "PQ",
            QByteArrayLiteral("M001"), false },
        parent)
{
}

QByteArray TpaWorkerNewnote::cleanMessage(const QByteArray &received) const
{
    // NUL, control bytes, and the EMV tag and length bytes of the values the purchase asks for.
    // Removing each value in turn leaves the same as removing them all in one pass.
    static const QByteArray removed = QByteArrayLiteral("\x00\x29\x9F\x1C\x9A\x08\x21\x06\x02\x10");
    QByteArray message = received;
    const auto end
        = std::remove_if(message.begin(), message.end(), [](char c) { return removed.contains(c); });
    message.truncate(int(end - message.begin()));
    return message;
}

void TpaWorkerNewnote::reactToMessage(const QString &text)
{
    const QString code = text.left(4);
    if (code == QLatin1String("M001")) {
        // A poll answered after a command went out must not end that command: its own reply,
        // the payment's outcome, would then arrive for nobody and be lost.
        if (!isInTransaction())
            stopTransaction();
    } else if (terminatingCodes.contains(code)) {
        stopTransaction();
    }
}
