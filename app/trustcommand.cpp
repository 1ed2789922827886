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

QString trustRecord(const TlsIdentity &identity)
{
    return identity.directory() + QStringLiteral("/trusted");
}

// The user's own stores; the certificate files are made first when missing.
int runForUser(bool trust, QTextStream &out, QTextStream &err)
{
    TlsIdentity identity;
    if (trust && !identity.ensure()) {
        err << "varnel: cannot make the certificate: " << identity.errorString() << Qt::endl;
        return 1;
    }
    TrustStores stores(QDir::homePath(), trustRecord(identity));
    const QStringList databases = stores.databases();
    if (!(trust ? stores.trust(identity.authorityCertificateFile()) : stores.untrust())) {
        err << "varnel: " << stores.errorString() << Qt::endl;
        return 1;
    }
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
    if (system && ::geteuid() != 0) {
        err << "varnel: --system needs root, e.g. sudo varnel " << (trust ? "--trust" : "--untrust")
            << " --system" << Qt::endl;
        return 1;
    }
    if (!system)
        return runForUser(trust, out, err);

    // Under sudo the certificate is the calling user's: that user's part runs as that user, so
    // nothing in their home ends up owned by root.
    QString user = qEnvironmentVariable("SUDO_USER");
    const passwd *account = user.isEmpty() ? nullptr : ::getpwnam(user.toLocal8Bit().constData());
    int status;
    QString authority;
    if (account && account->pw_uid != 0) {
        status = QProcess::execute(QStringLiteral("runuser"),
            { QStringLiteral("-u"), user, QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                trust ? QStringLiteral("--trust") : QStringLiteral("--untrust") });
        authority = TlsIdentity(
            QString::fromLocal8Bit(account->pw_dir) + QStringLiteral("/.local/share/varnel/tls"))
                        .authorityCertificateFile();
    } else {
        const passwd *self = ::getpwuid(::geteuid());
        user = self ? QString::fromLocal8Bit(self->pw_name) : QStringLiteral("root");
        status = runForUser(trust, out, err);
        authority = TlsIdentity().authorityCertificateFile();
    }
    if (status != 0)
        return status;

    TrustStores stores(QDir::homePath(), QString());
    const QString name = QStringLiteral("varnel-") + user;
    if (!(trust ? stores.trustSystem(authority, name) : stores.untrustSystem(name))) {
        err << "varnel: " << stores.errorString() << Qt::endl;
        return 1;
    }
    out << (trust ? "Trusted in the system store as " : "Removed from the system store: ") << name << ".crt"
        << Qt::endl;
    return 0;
}

} // namespace TrustCommand
