#include "localtrust.h"

#include "applog.h"
#include "truststores.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

LocalTrust::LocalTrust(QObject *parent)
    : QObject(parent)
{
}

bool LocalTrust::prepare()
{
    const bool made = m_identity.ensure();
    if (!made)
        qCCritical(lcApp, "cannot make the TLS certificate: %s", qPrintable(m_identity.errorString()));
    readTrusted();
    return made;
}

void LocalTrust::readTrusted()
{
    const TrustStores stores(QDir::homePath(), QString());
    m_trusted = stores.isTrusted(m_identity.authorityCertificateFile());
    emit changed();
}

void LocalTrust::trust()
{
    if (m_process)
        return;
    m_process = new QProcess(this);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
        [this](int exitCode, QProcess::ExitStatus status) {
            const QString errors = QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed();
            m_trustError = status == QProcess::NormalExit && exitCode == 0 ? QString() : errors;
            // The window says it in plain words; the details are for support.
            if (!m_trustError.isEmpty())
                qCWarning(lcApp, "trusting the certificate failed: %s", qPrintable(m_trustError));
            m_process->deleteLater();
            m_process = nullptr;
            readTrusted();
        });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_trustError = m_process->errorString();
        m_process->deleteLater();
        m_process = nullptr;
        emit changed();
    });
    m_process->start(QCoreApplication::applicationFilePath(), { QStringLiteral("--trust") });
    emit changed();
}
