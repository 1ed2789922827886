#pragma once

#include <QString>

// The "data" and "error" texts of the API's replies, word for word as callers read them. The
// terminals and printing libraries make some of them, the API the rest; all live here so that no
// copy can drift from another.
namespace ReplyText {

// Request checks.
inline QString invalidJson()
{
    return QStringLiteral("Invalid Json");
}
inline QString originNotAllowed()
{
    return QStringLiteral("Origin not allowed");
}
inline QString invalidKey()
{
    return QStringLiteral("Invalid security key");
}
inline QString notFound()
{
    return QStringLiteral("Not found");
}
inline QString deviceOnline()
{
    return QStringLiteral("Device online");
}

// Printers and jobs.
inline QString printerNotFound()
{
    return QStringLiteral("Printer not found");
}
inline QString printerNotReady()
{
    return QStringLiteral("Printer offline or in error state");
}
inline QString cupsNotAnswering()
{
    return QStringLiteral("CUPS not answering");
}
inline QString jobEmpty()
{
    return QStringLiteral("Job is empty");
}
inline QString jobMalformed()
{
    return QStringLiteral("Job with incorrect format");
}
inline QString jobNotPrinted()
{
    return QStringLiteral("Error printing job");
}
inline QString jobSent()
{
    return QStringLiteral("Job completed successfully");
}
inline QString jobNotFound()
{
    return QStringLiteral("Job not found");
}

// Request ids and the journal.
inline QString requestIdInvalid()
{
    return QStringLiteral("requestId must be 1 to 128 printable ASCII characters");
}
inline QString requestIdReused()
{
    return QStringLiteral("requestId already used for a different request");
}
inline QString journalUnavailable()
{
    return QStringLiteral("Journal unavailable");
}
inline QString printOutcomeUnknown()
{
    return QStringLiteral("Outcome unknown: check the printer");
}
inline QString journalRangeInvalid()
{
    return QStringLiteral("from and to must be yyyy-MM-ddTHH:mm:ss");
}
inline QString journalKindInvalid()
{
    return QStringLiteral("kind must be print or payment");
}

// Notifications.
inline QString notificationReceived()
{
    return QStringLiteral("Notification received");
}
inline QString notificationRefused()
{
    return QStringLiteral("Error receiving notification");
}

// Terminals.
inline QString tpaNotFound()
{
    return QStringLiteral("VRL1001|M21|TPA not found");
}
inline QString tpaOffline()
{
    return QStringLiteral("VRL1001|M22|TPA offline or in error state");
}
inline QString terminalIdTooLong(int maxLength)
{
    return QStringLiteral("VRL1001|M23|terminal_tpa_id longer than %1 characters").arg(maxLength);
}
inline QString tpaStatusNotFound()
{
    return QStringLiteral("VRL1001|M98|TPA status not found");
}
inline QString tpaBusy()
{
    return QStringLiteral("VRL1001|M10|TPA already busy");
}
inline QString commandAdded()
{
    return QStringLiteral("VRL0000|M00|Comando adicionado com sucesso");
}
inline QString commandRefused()
{
    return QString::fromUtf8("VRL1001|M10|Já existe um comando a ser processado");
}
// Every text of a command that timed out starts so; the API reports such a status as a failure.
inline QString operationTimeoutPrefix()
{
    return QStringLiteral("VRL1001|M99");
}
inline QString operationTimeout()
{
    return operationTimeoutPrefix() + QStringLiteral("|Operation Timeout");
}
// A command the terminal had when its port went, or when the program ended: it may or may not
// have been carried out.
inline QString outcomeUnknown()
{
    return QStringLiteral("VRL1001|M97|Outcome unknown: check the terminal");
}
inline QString openSent()
{
    return QStringLiteral("VRL0000|M00|TPA open command sent");
}
inline QString closeSent()
{
    return QStringLiteral("VRL0000|M00|TPA close command sent");
}
inline QString purchaseSent()
{
    return QStringLiteral("VRL0000|M00|TPA purchase command sent");
}
inline QString refundSent()
{
    return QStringLiteral("VRL0000|M00|TPA refund command sent");
}
inline QString menuSent()
{
    return QStringLiteral("VRL0000|M00|TPA menu open command sent");
}
inline QString reprintSent()
{
    return QStringLiteral("VRL0000|M00|TPA reprint last receipt command sent");
}

} // namespace ReplyText
