#include "escposlink.h"

#include <QElapsedTimer>
#include <QUrl>
#include <QUrlQuery>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

speed_t speed(int baud)
{
    static const std::pair<int, speed_t> speeds[] = { { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 },
        { 19200, B19200 }, { 38400, B38400 }, { 57600, B57600 }, { 115200, B115200 }, { 230400, B230400 } };
    for (const auto &[rate, value] : speeds) {
        if (rate == baud)
            return value;
    }
    return B9600;
}

// poll() on one descriptor, again when a signal cut it short.
int pollOne(pollfd *p, int timeoutMs)
{
    int ready;
    do
        ready = ::poll(p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready;
}

} // namespace

EscPosLink::Address EscPosLink::parse(const QString &uri)
{
    Address address;
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("escpos"))
        return address;
    if (!url.host().isEmpty()) {
        address.host = url.host();
        address.port = url.port(9100);
        if (address.port > 0 && address.port < 65536)
            address.kind = Address::Tcp;
        return address;
    }
    address.path = url.path();
    if (!address.path.startsWith(QLatin1Char('/')))
        return address;
    const QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("baud")))
        address.baud = query.queryItemValue(QStringLiteral("baud")).toInt();
    address.hardwareFlow = query.queryItemValue(QStringLiteral("flow")) == QLatin1String("rtscts");
    address.kind = address.path.startsWith(QLatin1String("/dev/usb/")) ? Address::Usb : Address::Serial;
    return address;
}

EscPosLink::EscPosLink(const QString &uri)
    : m_address(parse(uri))
{
}

EscPosLink::~EscPosLink()
{
    close();
}

bool EscPosLink::open(int timeoutMs)
{
    close();
    m_lost = false;
    if (m_address.kind == Address::Invalid) {
        m_error = QStringLiteral("not an escpos device URI");
        return false;
    }
    return m_address.kind == Address::Tcp ? openTcp(timeoutMs) : openDevice();
}

bool EscPosLink::openTcp(int timeoutMs)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const QByteArray host = m_address.host.toUtf8();
    const QByteArray port = QByteArray::number(m_address.port);
    if (getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0 || !found) {
        m_error = QStringLiteral("unknown host %1").arg(m_address.host);
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    for (addrinfo *a = found; a && m_fd < 0; a = a->ai_next) {
        m_fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (m_fd < 0)
            continue;
        if (::connect(m_fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            failed(QStringLiteral("connect"));
            continue;
        }
        pollfd p { m_fd, POLLOUT, 0 };
        int error = 0;
        socklen_t length = sizeof error;
        const int left = int(qMax<qint64>(0, timeoutMs - clock.elapsed()));
        if (::poll(&p, 1, left) != 1 || getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0
            || error != 0) {
            errno = error ? error : ETIMEDOUT;
            failed(QStringLiteral("connect"));
        }
    }
    freeaddrinfo(found);
    if (m_fd >= 0) {
        // Status requests are a few bytes each; they should not wait for more.
        const int on = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return m_fd >= 0;
}

bool EscPosLink::openDevice()
{
    const QByteArray path = m_address.path.toLocal8Bit();
    m_fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return failed(QStringLiteral("open %1").arg(m_address.path));
    if (m_address.kind == Address::Serial) {
        termios tio {};
        if (tcgetattr(m_fd, &tio) == 0) {
            cfmakeraw(&tio);
            cfsetspeed(&tio, speed(m_address.baud));
            tio.c_cflag |= CLOCAL | CREAD;
            if (m_address.hardwareFlow)
                tio.c_cflag |= CRTSCTS;
            else
                tio.c_cflag &= ~CRTSCTS;
            tcsetattr(m_fd, TCSANOW, &tio);
        }
        tcflush(m_fd, TCIOFLUSH);
    }
    return true;
}

bool EscPosLink::failed(const QString &what)
{
    m_errorCode = errno;
    m_error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}

void EscPosLink::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int EscPosLink::wait(bool wantWrite, int timeoutMs)
{
    if (m_fd < 0 || m_lost)
        return Lost;
    pollfd p { m_fd, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0 };
    if (pollOne(&p, timeoutMs) <= 0)
        return Nothing;
    int events = Nothing;
    if (p.revents & POLLIN)
        events |= Readable;
    if (p.revents & POLLOUT)
        events |= Writable;
    if (p.revents & (POLLERR | POLLNVAL | (p.revents & POLLIN ? 0 : POLLHUP)))
        events |= Lost;
    if (events & Lost)
        m_lost = true;
    return events;
}

qint64 EscPosLink::writeSome(const char *data, qint64 size)
{
    if (m_fd < 0 || m_lost)
        return -1;
    const ssize_t written = ::write(m_fd, data, size_t(size));
    if (written >= 0)
        return written;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    m_lost = true;
    m_error = QStringLiteral("write: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    return -1;
}

bool EscPosLink::writeAll(const QByteArray &bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = writeSome(bytes.constData() + done, bytes.size() - done);
        if (written < 0)
            return false;
        done += written;
        if (done == bytes.size())
            break;
        const int left = int(timeoutMs - clock.elapsed());
        if (left <= 0)
            return false;
        pollfd p { m_fd, POLLOUT, 0 };
        ::poll(&p, 1, left);
    }
    return true;
}

QByteArray EscPosLink::read(int timeoutMs)
{
    QByteArray bytes;
    if (m_fd < 0 || m_lost)
        return bytes;
    pollfd p { m_fd, POLLIN, 0 };
    if (pollOne(&p, timeoutMs) <= 0)
        return bytes;
    char buffer[4096];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    if (got > 0)
        bytes = QByteArray(buffer, int(got));
    // usblp reads nothing when the printer has nothing to say; elsewhere that is the end.
    else if ((got == 0 && m_address.kind != Address::Usb) || (got < 0 && errno != EAGAIN && errno != EINTR))
        m_lost = true;
    return bytes;
}
