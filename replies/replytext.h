#pragma once

#include <QString>

// The "data" and "error" texts of the API's replies, word for word as callers read them. The
// terminals and printing libraries make some of them, the API the rest; all live here so that no
// copy can drift from another.
class ReplyText
{
public:
    // Request checks.
    static QString invalidJson() { return QStringLiteral("Invalid Json"); }
    static QString originNotAllowed() { return QStringLiteral("Origin not allowed"); }
    static QString invalidKey() { return QStringLiteral("Invalid security key"); }
    static QString notFound() { return QStringLiteral("Not found"); }
    static QString deviceOnline() { return QStringLiteral("Device online"); }

    // Printers and jobs.
    static QString printerNotFound() { return QStringLiteral("Printer not found"); }
    static QString printerNotReady() { return QStringLiteral("Printer offline or in error state"); }
    // What an ESC/POS printer said stops it: "out of paper", "cover open", "offline".
    static QString printerNotReady(const QString &cause)
    {
        return QStringLiteral("Printer not ready: ") + cause;
    }
    static QString cupsNotAnswering() { return QStringLiteral("CUPS not answering"); }
    static QString jobEmpty() { return QStringLiteral("Job is empty"); }
    static QString jobMalformed() { return QStringLiteral("Job with incorrect format"); }
    static QString jobNotPrinted() { return QStringLiteral("Error printing job"); }
    static QString jobSent() { return QStringLiteral("Job completed successfully"); }
    static QString jobNotFound() { return QStringLiteral("Job not found"); }
    static QString previewBusy() { return QStringLiteral("Too many previews at once: try again shortly"); }
    static QString previewTooLong(int maxHeight)
    {
        return QStringLiteral("Paper longer than %1 dots cannot be previewed").arg(maxHeight);
    }
    static QString previewTooSlow(qint64 ms)
    {
        return QStringLiteral("Preview not drawn within %1 ms").arg(ms);
    }
    static QString previewAbandoned() { return QStringLiteral("Preview stopped: the caller left"); }

    // Request ids and the journal.
    static QString requestIdInvalid()
    {
        return QStringLiteral("requestId must be 1 to 128 printable ASCII characters");
    }
    static QString requestIdReused()
    {
        return QStringLiteral("requestId already used for a different request");
    }
    static QString journalUnavailable() { return QStringLiteral("Journal unavailable"); }
    static QString printOutcomeUnknown() { return QStringLiteral("Outcome unknown: check the printer"); }
    static QString journalRangeInvalid() { return QStringLiteral("from and to must be yyyy-MM-ddTHH:mm:ss"); }
    static QString journalKindInvalid() { return QStringLiteral("kind must be print or payment"); }

    // Notifications.
    static QString notificationReceived() { return QStringLiteral("Notification received"); }
    static QString notificationRefused() { return QStringLiteral("Error receiving notification"); }

    // Terminals.
    static QString tpaNotFound() { return QStringLiteral("VRL1001|M21|TPA not found"); }
    static QString tpaOffline() { return QStringLiteral("VRL1001|M22|TPA offline or in error state"); }
    static QString terminalIdTooLong(int maxLength)
    {
        return QStringLiteral("VRL1001|M23|terminal_tpa_id longer than %1 characters").arg(maxLength);
    }
    static QString tpaStatusNotFound() { return QStringLiteral("VRL1001|M98|TPA status not found"); }
    static QString tpaBusy() { return QStringLiteral("VRL1001|M10|TPA already busy"); }
    static QString commandAdded() { return QStringLiteral("VRL0000|M00|Comando adicionado com sucesso"); }
    static QString commandRefused()
    {
        return QString::fromUtf8("VRL1001|M10|Já existe um comando a ser processado");
    }
    // Every text of a command that timed out starts so; the API reports such a status as a failure.
    static QString operationTimeoutPrefix() { return QStringLiteral("VRL1001|M99"); }
    static QString operationTimeout()
    {
        return operationTimeoutPrefix() + QStringLiteral("|Operation Timeout");
    }
    // A command the terminal had when its port went, or when the program ended: it may or may not
    // have been carried out.
    static QString outcomeUnknown()
    {
        return QStringLiteral("VRL1001|M97|Outcome unknown: check the terminal");
    }
    static QString openSent() { return QStringLiteral("VRL0000|M00|TPA open command sent"); }
    static QString closeSent() { return QStringLiteral("VRL0000|M00|TPA close command sent"); }
    static QString purchaseSent() { return QStringLiteral("VRL0000|M00|TPA purchase command sent"); }
    static QString refundSent() { return QStringLiteral("VRL0000|M00|TPA refund command sent"); }
    static QString menuSent() { return QStringLiteral("VRL0000|M00|TPA menu open command sent"); }
    static QString reprintSent()
    {
        return QStringLiteral("VRL0000|M00|TPA reprint last receipt command sent");
    }
};
