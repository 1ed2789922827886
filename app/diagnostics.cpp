#include "diagnostics.h"

#include "logfile.h"
#include "printclient.h"
#include "printer.h"
#include "tpa.h"

#include <QSslSocket>
#include <QSysInfo>
#include <QTextStream>

Diagnostics::Diagnostics(PrintClient *client, const LogFile *log, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_log(log)
{
}

QString Diagnostics::text() const
{
    QString text;
    QTextStream out(&text);
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    out << "Varnel " << m_client->version() << "\n"
        << "System: " << QSysInfo::prettyProductName() << ", " << QSysInfo::kernelType() << ' '
        << QSysInfo::kernelVersion() << ", " << QSysInfo::currentCpuArchitecture() << "\n"
        << "Qt: " << qVersion() << " (built with " << QT_VERSION_STR << ")\n"
        << "OpenSSL: " << QSslSocket::sslLibraryVersionString() << "\n"
        << "Service: " << onOff(m_client->serverActive()) << "\n";

    out << "Printers:\n";
    for (const Printer *printer : m_client->printerPointers())
        out << "  " << printer->name() << ": " << (printer->state() ? "ready" : "not ready") << ", offered "
            << onOff(printer->available()) << "\n";
    out << "Terminals:\n";
    for (const Tpa *tpa : m_client->tpaPointers())
        out << "  " << tpa->name() << ": " << (tpa->state() ? "present" : "absent") << ", offered "
            << onOff(tpa->available()) << "\n";

    out << "Log (" << m_log->path() << "), last lines:\n";
    for (const QString &line : m_log->lastLines(logLines))
        out << line << "\n";
    return text;
}
