#include "virtualescposprinter.h"

#include "escposcommand.h"

#include <QDir>
#include <QHostAddress>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>

struct VirtualEscPosPrinter::Line
{
    QPointer<QIODevice> device;
    bool serial = false;
    bool closed = false;
    // Bytes not yet split into commands, and whole commands waiting to print.
    QByteArray incoming;
    QByteArray pending;
    bool automatic = false;
    // The job's paper and what it printed, from its first printed byte.
    std::unique_ptr<ESCInterpreter> paper;
    QByteArray printed;
    QTimer quiet;
};

VirtualEscPosPrinter::VirtualEscPosPrinter(const QString &outputDir, QObject *parent)
    : QObject(parent)
    , m_outputDir(outputDir)
{
}

VirtualEscPosPrinter::~VirtualEscPosPrinter()
{
    qDeleteAll(m_lines);
}

bool VirtualEscPosPrinter::listen(quint16 port, bool anyAddress)
{
    m_anyAddress = anyAddress;
    m_server = std::make_unique<QTcpServer>();
    connect(m_server.get(), &QTcpServer::newConnection, this, &VirtualEscPosPrinter::accept);
    if (!m_server->listen(anyAddress ? QHostAddress::Any : QHostAddress::LocalHost, port))
        return false;
    m_port = m_server->serverPort();
    return true;
}

void VirtualEscPosPrinter::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *line = new Line;
        line->device = socket;
        m_lines << line;
        connect(socket, &QTcpSocket::readyRead, this, [this, line] { receive(line); });
        connect(socket, &QTcpSocket::disconnected, this, [this, line] { dropLine(line); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void VirtualEscPosPrinter::addSerialLine(QIODevice *device, int quietMs)
{
    auto *line = new Line;
    line->device = device;
    line->serial = true;
    line->quiet.setSingleShot(true);
    line->quiet.setInterval(quietMs);
    m_lines << line;
    connect(device, &QIODevice::readyRead, this, [this, line] { receive(line); });
    connect(&line->quiet, &QTimer::timeout, this, [this, line] {
        if (line->pending.isEmpty())
            finishJob(line);
    });
}

void VirtualEscPosPrinter::receive(Line *line)
{
    if (!line->device)
        return;
    const QByteArray bytes = line->device->readAll();
    if (!m_powered)
        return;
    line->incoming += bytes;
    int pos = 0;
    while (pos < line->incoming.size()) {
        EscPosCommand::Kind kind;
        const int length = EscPosCommand::length(line->incoming, pos, &kind);
        if (length == 0)
            break;
        if (kind == EscPosCommand::RealTime) {
            if (line->incoming.at(pos + 1) == 0x04 && m_answers)
                answer(line, QByteArray(1, realTimeReply(uchar(line->incoming.at(pos + 2)))));
        } else {
            line->pending += line->incoming.mid(pos, length);
        }
        pos += length;
    }
    line->incoming.remove(0, pos);
    if (line->serial && !line->pending.isEmpty())
        line->quiet.start();
    print();
}

void VirtualEscPosPrinter::dropLine(Line *line)
{
    line->closed = true;
    line->incoming.clear();
    if (m_printing != line && line->pending.isEmpty())
        finishJob(line);
    else
        print();
}

bool VirtualEscPosPrinter::stopped() const
{
    return !m_powered || m_paperOut || m_coverOpen || m_offline;
}

void VirtualEscPosPrinter::print()
{
    if (!m_printing) {
        for (Line *line : qAsConst(m_lines)) {
            if (!line->pending.isEmpty()) {
                m_printing = line;
                break;
            }
        }
    }
    while (m_printing && !stopped() && !m_printing->pending.isEmpty()) {
        Line *line = m_printing;
        EscPosCommand::Kind kind;
        const int length = qMax(1, EscPosCommand::length(line->pending, 0, &kind));
        const QByteArray command = line->pending.left(length);
        line->pending.remove(0, length);
        if (kind == EscPosCommand::Status) {
            const uchar n = command.size() > 2 ? uchar(command.at(2)) : 0;
            if (command.at(1) == 'a') {
                line->automatic = n != 0;
                if (line->automatic && m_answers)
                    answer(line, automaticReport());
            } else if (m_answers) {
                answer(line, QByteArray(1, char((m_paperLow ? 0x03 : 0) | (m_paperOut ? 0x0C : 0))));
            }
            continue;
        }
        if (!line->paper)
            line->paper = std::make_unique<ESCInterpreter>();
        line->paper->feed(command);
        line->printed += command;
        if (command == "\n" && m_roll > 0 && --m_roll == 0) {
            m_roll = -1;
            m_paperOut = true;
            stateChanged();
        }
    }
    if (m_printing && m_printing->pending.isEmpty()
        && (m_printing->closed || (m_printing->serial && !m_printing->quiet.isActive())))
        finishJob(m_printing);
}

void VirtualEscPosPrinter::finishJob(Line *line)
{
    if (m_printing == line)
        m_printing = nullptr;
    if (line->paper) {
        const int number = ++m_jobs;
        const QString base
            = QDir(m_outputDir).filePath(QStringLiteral("job-%1").arg(number, 4, 10, QLatin1Char('0')));
        QSaveFile bin(base + QStringLiteral(".bin"));
        if (bin.open(QIODevice::WriteOnly) && bin.write(line->printed) >= 0)
            bin.commit();
        QSaveFile png(base + QStringLiteral(".png"));
        if (png.open(QIODevice::WriteOnly) && png.write(ESCInterpreter::toPng(line->paper->paper())) >= 0)
            png.commit();
        line->paper.reset();
        line->printed.clear();
        emit jobWritten(number, base + QStringLiteral(".png"));
    }
    if (line->closed && line->pending.isEmpty()) {
        m_lines.removeOne(line);
        delete line;
    }
    if (!m_printing)
        print();
}

char VirtualEscPosPrinter::realTimeReply(int n) const
{
    // A stop for paper or an open cover takes the printer off line.
    const bool offline = m_offline || m_paperOut || m_coverOpen;
    switch (n) {
    case 1:
        return char(0x12 | (m_drawerHigh ? 0x04 : 0) | (offline ? 0x08 : 0));
    case 2:
        return char(0x12 | (m_coverOpen ? 0x04 : 0) | (m_paperOut ? 0x20 : 0));
    case 4:
        return char(0x12 | (m_paperLow ? 0x0C : 0) | (m_paperOut ? 0x60 : 0));
    default:
        return char(0x12);
    }
}

QByteArray VirtualEscPosPrinter::automaticReport() const
{
    const bool offline = m_offline || m_paperOut || m_coverOpen;
    QByteArray report(4, '\0');
    report[0] = char(0x10 | (m_drawerHigh ? 0x04 : 0) | (offline ? 0x08 : 0) | (m_coverOpen ? 0x20 : 0));
    report[2] = char((m_paperLow ? 0x03 : 0) | (m_paperOut ? 0x0C : 0));
    return report;
}

void VirtualEscPosPrinter::answer(Line *line, const QByteArray &bytes)
{
    if (line->device && line->device->isOpen())
        line->device->write(bytes);
}

void VirtualEscPosPrinter::stateChanged()
{
    if (m_powered && m_answers) {
        for (Line *line : qAsConst(m_lines)) {
            if (line->automatic)
                answer(line, automaticReport());
        }
    }
    print();
}

bool VirtualEscPosPrinter::control(const QString &text)
{
    const QStringList words = text.simplified().toLower().split(QLatin1Char(' '));
    const QString what = words.value(0);
    const QString how = words.value(1);
    if (what == QLatin1String("paper")
        && (how == QLatin1String("out") || how == QLatin1String("low") || how == QLatin1String("ok"))) {
        m_paperOut = how == QLatin1String("out");
        m_paperLow = how == QLatin1String("low");
    } else if (what == QLatin1String("roll")) {
        bool number = false;
        const int lines = how.toInt(&number);
        if (how != QLatin1String("off") && (!number || lines <= 0))
            return false;
        m_roll = number ? lines : -1;
    } else if (what == QLatin1String("cover")
        && (how == QLatin1String("open") || how == QLatin1String("closed"))) {
        m_coverOpen = how == QLatin1String("open");
    } else if (what == QLatin1String("offline") || what == QLatin1String("online")) {
        m_offline = what == QLatin1String("offline");
    } else if (what == QLatin1String("drawer")
        && (how == QLatin1String("open") || how == QLatin1String("closed"))) {
        m_drawerHigh = how == QLatin1String("open");
    } else if (what == QLatin1String("status")
        && (how == QLatin1String("on") || how == QLatin1String("off"))) {
        m_answers = how == QLatin1String("on");
    } else if (what == QLatin1String("power") && how == QLatin1String("off")) {
        // Off, the printer loses what it held and takes no connection.
        m_powered = false;
        if (m_server)
            m_server->close();
        const QList<Line *> lines = m_lines;
        for (Line *line : lines) {
            line->pending.clear();
            line->incoming.clear();
            line->automatic = false;
            QPointer<QIODevice> device;
            if (!line->serial)
                device = line->device;
            finishJob(line);
            if (device)
                device->close();
        }
    } else if (what == QLatin1String("power") && how == QLatin1String("on")) {
        m_powered = true;
        if (m_server && !m_server->isListening())
            m_server->listen(m_anyAddress ? QHostAddress::Any : QHostAddress::LocalHost, m_port);
    } else {
        return false;
    }
    stateChanged();
    return true;
}
