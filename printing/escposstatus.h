#pragma once

#include <QByteArray>
#include <QStringList>

// What an ESC/POS printer says about itself, the bytes that ask it, and the replies read back.
// Shared by the CUPS backend (during a job) and the program (between jobs).
//
// Replies on one line are told apart by their bit patterns: a real-time (DLE EOT) reply has
// bits 1 and 4 set and bits 0 and 7 clear, the first byte of an automatic report (GS a) bit 4
// set and bits 0, 1 and 7 clear, an in-sequence (GS r 1) reply bits 4 and 7 clear. Anything
// else on the line is skipped.
class EscPosStatus
{
public:
    // Reasons in CUPS printer-state-reasons keywords.
    static QString paperOutReason() { return QStringLiteral("media-empty-error"); }
    static QString paperLowReason() { return QStringLiteral("media-low-report"); }
    static QString coverOpenReason() { return QStringLiteral("cover-open-error"); }
    static QString offlineReason() { return QStringLiteral("offline-report"); }
    static QString errorReason() { return QStringLiteral("other-error"); }
    // The printer does not answer status requests: it prints, but nothing it says is known.
    static QString unknownReason() { return QStringLiteral("escpos-status-unknown-report"); }
    // Every reason this class may give, for taking them all back.
    static QStringList allReasons();

    // DLE EOT n: answered at once, also while the printer is stopped.
    static QByteArray realTimeRequest(int n);
    // GS a n: automatic reports of drawer, online, error and paper changes (n 15), or none (0).
    static QByteArray automaticReports(bool on);
    // GS r 1: answered once everything before it has printed.
    static QByteArray confirmationRequest();

    // The requests of a full real-time reading, and noting that they went out.
    QByteArray requestAll();
    // Notes that a DLE EOT n went out: its reply is the next real-time reply not yet taken.
    void expectRealTime(int n);
    void expectConfirmation() { ++m_confirmationsExpected; }
    // Gives up on the real-time replies still awaited (their request went unanswered).
    void forgetAwaited() { m_expected.clear(); }

    // Reads bytes from the printer, in any pieces.
    void feed(const QByteArray &bytes);

    // Real-time replies still awaited.
    int awaitedReplies() const { return int(m_expected.size()); }
    // In-sequence replies received so far.
    int confirmations() const { return m_confirmations; }
    // Whether the printer ever sent an automatic report.
    bool automatic() const { return m_automatic; }
    // Whether any reply was read.
    bool known() const { return m_known; }

    // Nothing stops printing: online, cover shut, paper in, no error.
    bool ready() const { return !m_offline && !m_coverOpen && !m_paperOut && !m_error; }
    // The reasons for the state read; offline only when the printer names no cause of its own.
    QStringList reasons() const;
    // The reason the program refuses a job with ("out of paper", "cover open", "offline"), or
    // empty when the reasons say nothing stops the printer.
    static QString notReadyCause(const QStringList &reasons);

private:
    void realTimeReply(int n, uchar b);
    void automaticReport(const QByteArray &report);

    QByteArray m_expected;
    QByteArray m_report;
    int m_confirmationsExpected = 0;
    int m_confirmations = 0;
    bool m_automatic = false;
    bool m_known = false;
    bool m_offline = false;
    bool m_coverOpen = false;
    bool m_paperOut = false;
    bool m_paperLow = false;
    bool m_error = false;
    // Paper end as DLE EOT 2 says it stopped printing; DLE EOT 4 reads the sensor.
    bool m_stoppedByPaper = false;
    bool m_sensorPaperOut = false;
};
