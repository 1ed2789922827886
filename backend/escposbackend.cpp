#include "escposbackend.h"

#include "escposcommand.h"

#include <QDir>
#include <QElapsedTimer>
#include <QUrl>
#include <QUrlQuery>

#include <fcntl.h>
#include <linux/ioctl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// The usblp driver's request for the printer's IEEE 1284 device id.
#define LPIOC_GET_DEVICE_ID(len) _IOC(_IOC_READ, 'P', 1, len)

// Commands are sent in pieces of about this size, so the printer is heard between them.
constexpr int pieceBytes = 4096;

int queryMs(const QUrlQuery &query, const char *name, int fallback)
{
    bool ok = false;
    const int value = query.queryItemValue(QLatin1String(name)).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

// A field (MFG, MDL, ...) of an IEEE 1284 device id, under its long or short key.
QString deviceIdField(const QString &id, const QStringList &keys)
{
    for (const QString &pair : id.split(QLatin1Char(';'))) {
        const int colon = pair.indexOf(QLatin1Char(':'));
        if (colon > 0 && keys.contains(pair.left(colon).trimmed(), Qt::CaseInsensitive))
            return pair.mid(colon + 1).trimmed();
    }
    return QString();
}

QString quoted(QString text)
{
    return QLatin1Char('"') + text.remove(QLatin1Char('"')).remove(QLatin1Char('\n')) + QLatin1Char('"');
}

} // namespace

EscPosBackend::EscPosBackend(const QString &uri, FILE *messages)
    : m_link(uri)
    , m_messages(messages)
{
    const QUrlQuery query { QUrl(uri) };
    m_replyMs = queryMs(query, "reply", m_replyMs);
    m_pollMs = queryMs(query, "poll", m_pollMs);
    m_confirmMs = queryMs(query, "confirm", m_confirmMs);
}

int EscPosBackend::run(const QByteArray &job)
{
    if (m_link.address().kind == EscPosLink::Address::Invalid) {
        message("ERROR", QStringLiteral("Not an escpos device URI"));
        return Failed;
    }
    // An earlier run that was stopped may have left its reasons behind.
    const QStringList all = EscPosStatus::allReasons();
    m_published = QSet<QString>(all.cbegin(), all.cend());
    publish({});

    const QString lost = QStringLiteral("The printer went away during the job; it is not sent again");
    for (;;) {
        connectLink();
        const bool answers = readStatus();
        if (!answers && !m_link.lost()) {
            publish({ EscPosStatus::unknownReason() });
            message("INFO", QStringLiteral("The printer does not report its status; printing without it"));
            if (!m_link.writeAll(job, INT_MAX)) {
                message("ERROR", lost);
                return Cancel;
            }
            return Ok;
        }
        if (answers && waitUntilReady() && sendJob(job))
            break;
        if (m_sentAny) {
            message("ERROR", lost);
            return Cancel;
        }
        // Lost before a byte of the job went out: nothing printed, so it is sent afresh.
    }
    if (!confirm()) {
        message("ERROR", lost);
        return Cancel;
    }
    message("INFO", QStringLiteral("Printed"));
    return Ok;
}

bool EscPosBackend::connectLink()
{
    while (!m_link.open(qMax(3 * m_replyMs, 1000))) {
        publish({ EscPosStatus::offlineReason() });
        message("INFO", QStringLiteral("Printer not reachable (%1); trying again").arg(m_link.errorString()));
        ::usleep(useconds_t(m_pollMs) * 1000);
    }
    return true;
}

// One real-time reading; false when the printer did not answer all of it in time.
bool EscPosBackend::readStatus()
{
    if (!m_link.writeAll(m_status.requestAll(), m_replyMs)) {
        m_status.forgetAwaited();
        return false;
    }
    takeReplies(m_replyMs);
    if (m_status.awaitedReplies() == 0)
        return true;
    m_status.forgetAwaited();
    return false;
}

// Waits, asking every poll interval, until the printer can print; false when the line was lost
// or the printer stopped answering.
bool EscPosBackend::waitUntilReady()
{
    publish(m_status.reasons());
    while (!m_status.ready()) {
        message("INFO",
            QStringLiteral("Printer not ready: %1; waiting")
                .arg(EscPosStatus::notReadyCause(m_status.reasons())));
        pause(m_pollMs);
        if (m_link.lost() || !readStatus())
            return false;
        publish(m_status.reasons());
    }
    return true;
}

bool EscPosBackend::sendJob(const QByteArray &job)
{
    if (!m_link.writeAll(EscPosStatus::automaticReports(true), m_replyMs))
        return false;
    QElapsedTimer sinceAsked;
    sinceAsked.start();
    int pos = 0;
    while (pos < job.size()) {
        takeReplies(0);
        if (m_link.lost())
            return false;
        if (!m_status.ready()) {
            // The rest waits here: what the printer holds prints when it goes on.
            while (!waitUntilReady()) {
                if (m_link.lost())
                    return false;
            }
        } else if (sinceAsked.elapsed() >= m_pollMs && !m_status.automatic()) {
            // Between two commands: a request inside an image's bytes could be taken as one.
            if (!m_link.writeAll(m_status.requestAll(), m_replyMs))
                return false;
            sinceAsked.restart();
        }
        int end = pos;
        while (end < job.size()) {
            int length = EscPosCommand::length(job, end);
            if (length == 0)
                length = job.size() - end;
            if (end > pos && end - pos + length > pieceBytes)
                break;
            end += length;
        }
        while (pos < end) {
            const qint64 written = m_link.writeSome(job.constData() + pos, end - pos);
            if (written < 0)
                return false;
            m_sentAny = m_sentAny || written > 0;
            pos += int(written);
            if (pos < end) {
                const int events = m_link.wait(true, m_pollMs);
                if (events & EscPosLink::Readable)
                    takeReplies(0);
            }
        }
    }
    publish(m_status.reasons());
    return true;
}

bool EscPosBackend::confirm()
{
    if (!m_link.writeAll(EscPosStatus::confirmationRequest(), m_replyMs))
        return false;
    m_status.expectConfirmation();
    QElapsedTimer readyFor;
    readyFor.start();
    while (m_status.confirmations() == 0) {
        pause(m_pollMs);
        if (m_status.confirmations() > 0)
            break;
        if (m_link.lost())
            return false;
        if (!readStatus()) {
            if (m_link.lost())
                return false;
        } else if (!m_status.ready()) {
            readyFor.restart();
            publish(m_status.reasons());
            message("INFO",
                QStringLiteral("Printer not ready: %1; the rest of the receipt waits")
                    .arg(EscPosStatus::notReadyCause(m_status.reasons())));
        }
        publish(m_status.reasons());
        if (m_status.confirmations() == 0 && readyFor.elapsed() >= m_confirmMs) {
            // Ready all along and still silent: a printer without in-sequence status.
            publish(m_status.reasons() << EscPosStatus::unknownReason());
            message("INFO", QStringLiteral("Sent; the printer did not confirm that it printed"));
            return true;
        }
    }
    publish(m_status.reasons());
    m_link.writeAll(EscPosStatus::automaticReports(false), m_replyMs);
    return true;
}

// Reads what the printer sends for up to timeoutMs, returning early once no reply is awaited.
void EscPosBackend::takeReplies(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const int confirmations = m_status.confirmations();
    do {
        const QByteArray bytes = m_link.read(int(qMax<qint64>(0, timeoutMs - clock.elapsed())));
        if (bytes.isEmpty()) {
            if (timeoutMs == 0 || m_link.lost())
                return;
            continue;
        }
        m_status.feed(bytes);
        if (timeoutMs > 0 && m_status.awaitedReplies() == 0 && m_status.confirmations() == confirmations)
            return;
    } while (clock.elapsed() < timeoutMs || timeoutMs == 0);
}

// Waits ms, hearing the printer meanwhile; ends early when a confirmation arrives.
void EscPosBackend::pause(int ms)
{
    QElapsedTimer clock;
    clock.start();
    const int confirmations = m_status.confirmations();
    while (clock.elapsed() < ms && !m_link.lost() && m_status.confirmations() == confirmations) {
        const QByteArray bytes = m_link.read(int(ms - clock.elapsed()));
        m_status.feed(bytes);
    }
}

void EscPosBackend::publish(const QStringList &reasons)
{
    QStringList added;
    QStringList removed;
    for (const QString &reason : reasons) {
        if (!m_published.contains(reason))
            added << reason;
    }
    for (const QString &reason : qAsConst(m_published)) {
        if (!reasons.contains(reason))
            removed << reason;
    }
    if (!removed.isEmpty())
        std::fprintf(m_messages, "STATE: -%s\n", qPrintable(removed.join(QLatin1Char(','))));
    if (!added.isEmpty())
        std::fprintf(m_messages, "STATE: +%s\n", qPrintable(added.join(QLatin1Char(','))));
    std::fflush(m_messages);
    m_published = QSet<QString>(reasons.cbegin(), reasons.cend());
}

void EscPosBackend::message(const char *kind, const QString &text)
{
    // Said once, not at every poll.
    if (text == m_lastMessage)
        return;
    m_lastMessage = text;
    std::fprintf(m_messages, "%s: %s\n", kind, qPrintable(text));
    std::fflush(m_messages);
}

QStringList EscPosBackend::deviceList(const QString &usbFolder)
{
    QStringList lines;
    const QDir folder(usbFolder);
    for (const QString &name : folder.entryList({ QStringLiteral("lp*") }, QDir::System, QDir::Name)) {
        const QString path = folder.filePath(name);
        QString id;
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            char buffer[1024] = {};
            // The first two bytes are the id's length, big-endian, counting themselves.
            if (::ioctl(fd, LPIOC_GET_DEVICE_ID(sizeof buffer), buffer) >= 0) {
                const int length = qBound(2, (uchar(buffer[0]) << 8 | uchar(buffer[1])), int(sizeof buffer));
                id = QString::fromLatin1(buffer + 2, length - 2);
            }
            ::close(fd);
        }
        const QString make = deviceIdField(id, { QStringLiteral("MANUFACTURER"), QStringLiteral("MFG") });
        const QString model = deviceIdField(id, { QStringLiteral("MODEL"), QStringLiteral("MDL") });
        const QString makeModel = make.isEmpty() && model.isEmpty()
            ? QStringLiteral("Unknown")
            : (make + QLatin1Char(' ') + model).trimmed();
        lines << QStringLiteral("direct escpos:%1 %2 %3 %4 \"\"")
                     .arg(path, quoted(makeModel), quoted(makeModel + QStringLiteral(" (USB, ESC/POS)")),
                         quoted(id));
    }
    lines << QStringLiteral("network escpos \"Unknown\" \"ESC/POS printer (TCP, port 9100)\"");
    return lines;
}
