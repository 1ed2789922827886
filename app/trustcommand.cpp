#include "trustcommand.h"

#include "tlsidentity.h"
#include "truststores.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTextStream>

#include <pwd.h>
#include <unistd.h>

namespace TrustCommand {
namespace {

// Says why on standard error; the command's exit status.
int failed(QTextStream &err, const QString &why)
{
    err << "varnel: " << why << Qt::endl;
    return 1;
}

// The user's own stores; the certificate files are made first when missing.
int runForUser(bool trust, QTextStream &out, QTextStream &err)
{
    TlsIdentity identity;
    if (trust && !identity.ensure())
        return failed(err, QStringLiteral("cannot make the certificate: ") + identity.errorString());
    TrustStores stores(QDir::homePath(), identity.trustRecordFile());
    const QStringList databases = stores.databases();
    if (!(trust ? stores.trust(identity.authorityCertificateFile()) : stores.untrust()))
        return failed(err, stores.errorString());
    if (trust)
        out << "Trusted " << identity.authorityCertificateFile() << " in "
            << databases.join(QStringLiteral(", ")) << Qt::endl;
    else
        out << "Removed Varnel's certificate authority from the browser stores" << Qt::endl;
    return 0;
}

} // namespace

bool requested(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--trust")) || arguments.contains(QStringLiteral("--untrust"));
}

int run(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool trust = arguments.contains(QStringLiteral("--trust"));
    const bool system = arguments.contains(QStringLiteral("--system"));
    if (system && ::geteuid() != 0)
        return failed(err,
            QStringLiteral("--system needs root, e.g. sudo varnel %1 --system")
                .arg(trust ? "--trust" : "--untrust"));
    if (!system)
        return runForUser(trust, out, err);

    // Under sudo the certificate is the calling user's: that user's part runs as that user, so
    // nothing in their home ends up owned by root.
    bool validCaller = false;
    const uint callerId = qEnvironmentVariableIntValue("SUDO_UID", &validCaller);
    const uid_t caller = validCaller ? uid_t(callerId) : ::geteuid();
    const passwd *account = ::getpwuid(caller);
    if (!account)
        return failed(err, QStringLiteral("the calling user %1 is unknown").arg(caller));
    const QString user = QString::fromLocal8Bit(account->pw_name);
    int status;
    QString folder;
    if (caller != 0) {
        status = QProcess::execute(QStringLiteral("runuser"),
            { QStringLiteral("-u"), user, QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                trust ? QStringLiteral("--trust") : QStringLiteral("--untrust") });
        folder = QString::fromLocal8Bit(account->pw_dir) + QStringLiteral("/.local/share/varnel/tls");
    } else {
        status = runForUser(trust, out, err);
        folder = TlsIdentity::defaultDirectory();
    }
    if (status != 0)
        return status;

    TrustStores stores(QDir::homePath(), QString());
    const QString name = QStringLiteral("varnel-") + user;
    if (!trust) {
        if (!stores.untrustSystem(name))
            return failed(err, stores.errorString());
        out << "Removed from the system store: " << name << ".crt" << Qt::endl;
        return 0;
    }
    // Root installs only what the calling user's files prove to be this program's own authority,
    // read once, without following links, and written as read.
    QString error;
    const QByteArray authority = TlsIdentity(folder).verifiedAuthority(caller, &error);
    if (authority.isEmpty())
        return failed(err, QStringLiteral("nothing added to the system store: ") + error);
    if (!stores.trustSystem(authority, name))
        return failed(err, stores.errorString());
    out << "Trusted in the system store as " << name << ".crt" << Qt::endl;
    return 0;
}

} // namespace TrustCommand
