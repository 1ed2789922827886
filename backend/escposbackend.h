#pragma once

#include "escposlink.h"
#include "escposstatus.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdio>

// The CUPS backend for ESC/POS printers: sends one job to the printer named by an escpos device
// URI and tells the scheduler what the printer says, on the status lines CUPS reads from the
// backend's standard error.
//
// Before the data it reads the real-time status (DLE EOT 1, 2, 4) and waits, reporting why, while
// the printer is unreachable, out of paper, open or off line. During the data it asks for
// automatic status reports (GS a) and polls (DLE EOT) between commands, never inside one, and
// holds the rest of the job while the printer has stopped. After the data it asks for in-sequence
// status (GS r 1), which the printer answers once everything before it has printed: only then is
// the job a success. A printer that does not answer status requests within the reply time is
// printed on without them, with a reason saying its status is unknown. Once a byte of the job
// has gone out the job is never sent again: a line lost midway cancels it.
//
// The times come from the URI's query, in milliseconds: reply (how long a status request is
// waited for, 1000), poll (how often the printer is asked while waiting or printing, 1000) and
// confirm (how long a printer that reports itself ready may take to confirm, 60000).
class EscPosBackend
{
public:
    // Exit codes of a CUPS backend (man 7 backend).
    enum Exit { Ok = 0, Failed = 1, Cancel = 5 };

    EscPosBackend(const QString &uri, FILE *messages);
    // Sends the job's bytes and returns the exit code.
    int run(const QByteArray &job);
    // The device lines of a backend run without arguments: every USB printer-class device, and
    // the network entry for typing an address.
    static QStringList deviceList(const QString &usbFolder = QStringLiteral("/dev/usb"));

private:
    bool connectLink();
    bool readStatus();
    bool waitUntilReady();
    bool sendJob(const QByteArray &job);
    bool confirm();
    void takeReplies(int timeoutMs);
    void askStatus();
    void publish(const QStringList &reasons);
    void message(const char *kind, const QString &text);
    void pause(int ms);

    EscPosLink m_link;
    EscPosStatus m_status;
    FILE *m_messages;
    int m_replyMs = 1000;
    int m_pollMs = 1000;
    int m_confirmMs = 60000;
    // Reasons this backend published and has not taken back.
    QSet<QString> m_published;
    bool m_sentAny = false;
    QString m_lastMessage;
};
