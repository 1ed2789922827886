#include "escposstatus.h"

#include <algorithm>

QStringList EscPosStatus::allReasons()
{
    return { paperOutReason(), paperLowReason(), coverOpenReason(), offlineReason(), errorReason(),
        unknownReason() };
}

QByteArray EscPosStatus::realTimeRequest(int n)
{
    return QByteArray("\x10\x04", 2) + char(n);
}

QByteArray EscPosStatus::automaticReports(bool on)
{
    return QByteArray("\x1D\x61", 2) + char(on ? 0x0F : 0x00);
}

QByteArray EscPosStatus::confirmationRequest()
{
    return QByteArray("\x1D\x72\x01", 3);
}

QByteArray EscPosStatus::requestAll()
{
    QByteArray bytes;
    for (int n : { 1, 2, 4 }) {
        bytes += realTimeRequest(n);
        expectRealTime(n);
    }
    return bytes;
}

void EscPosStatus::expectRealTime(int n)
{
    m_expected += char(n);
}

void EscPosStatus::feed(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const uchar b = uchar(c);
        if (!m_report.isEmpty()) {
            m_report += c;
            if (m_report.size() == 4) {
                automaticReport(m_report);
                m_report.clear();
            }
        } else if ((b & 0x93) == 0x12) {
            if (!m_expected.isEmpty()) {
                const int n = m_expected.at(0);
                m_expected.remove(0, 1);
                realTimeReply(n, b);
            }
        } else if ((b & 0x93) == 0x10) {
            m_report = QByteArray(1, c);
        } else if ((b & 0x90) == 0 && m_confirmationsExpected > 0) {
            --m_confirmationsExpected;
            ++m_confirmations;
            m_known = true;
            m_paperLow = b & 0x03;
            m_sensorPaperOut = b & 0x0C;
            m_paperOut = m_sensorPaperOut || m_stoppedByPaper;
        }
    }
}

void EscPosStatus::realTimeReply(int n, uchar b)
{
    m_known = true;
    switch (n) {
    case 1:
        m_offline = b & 0x08;
        break;
    case 2:
        m_coverOpen = b & 0x04;
        m_stoppedByPaper = b & 0x20;
        m_error = b & 0x40;
        break;
    case 3:
        m_error = b & 0x6C;
        break;
    case 4:
        m_paperLow = b & 0x0C;
        m_sensorPaperOut = b & 0x60;
        break;
    }
    m_paperOut = m_sensorPaperOut || m_stoppedByPaper;
}

void EscPosStatus::automaticReport(const QByteArray &report)
{
    const uchar first = uchar(report.at(0));
    const uchar second = uchar(report.at(1));
    const uchar third = uchar(report.at(2));
    m_known = true;
    m_automatic = true;
    m_offline = first & 0x08;
    m_coverOpen = first & 0x20;
    m_error = second & 0x6C;
    m_paperLow = third & 0x03;
    m_sensorPaperOut = third & 0x0C;
    // A report reads the state as a whole: a stop for paper it does not show is over.
    m_stoppedByPaper = false;
    m_paperOut = m_sensorPaperOut;
}

QStringList EscPosStatus::reasons() const
{
    QStringList reasons;
    if (!m_known)
        return { unknownReason() };
    if (m_paperOut)
        reasons << paperOutReason();
    else if (m_paperLow)
        reasons << paperLowReason();
    if (m_coverOpen)
        reasons << coverOpenReason();
    if (m_error && !m_paperOut && !m_coverOpen)
        reasons << errorReason();
    if (m_offline && !m_paperOut && !m_coverOpen && !m_error)
        reasons << offlineReason();
    return reasons;
}

QString EscPosStatus::notReadyCause(const QStringList &reasons)
{
    const auto has = [&reasons](const char *prefix) {
        return std::any_of(reasons.begin(), reasons.end(),
            [prefix](const QString &reason) { return reason.startsWith(QLatin1String(prefix)); });
    };
    if (has("media-empty"))
        return QStringLiteral("out of paper");
    if (has("cover-open"))
        return QStringLiteral("cover open");
    if (has("offline"))
        return QStringLiteral("offline");
    return QString();
}
