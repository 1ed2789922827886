#include "truststores.h"

#include "privatefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

namespace {

// VARNEL_SYSTEM_CA_ROOT stands for "/" of the system store, so tests never touch the real one.
QString systemRoot()
{
    const QString root = qEnvironmentVariable("VARNEL_SYSTEM_CA_ROOT");
    return QDir::isAbsolutePath(root) ? root : QString();
}

QString systemDirectory()
{
    return systemRoot() + QStringLiteral("/usr/local/share/ca-certificates");
}

// update-ca-certificates pointed at the same root as the store's folder.
QStringList systemUpdateArguments()
{
    const QString root = systemRoot();
    if (root.isEmpty())
        return QStringList();
    return { QStringLiteral("--certsconf"), root + QStringLiteral("/etc/ca-certificates.conf"),
        QStringLiteral("--certsdir"), root + QStringLiteral("/usr/share/ca-certificates"),
        QStringLiteral("--localcertsdir"), systemDirectory(), QStringLiteral("--etccertsdir"),
        root + QStringLiteral("/etc/ssl/certs"), QStringLiteral("--hooksdir"),
        root + QStringLiteral("/etc/ca-certificates/update.d") };
}

// Runs a tool to its end, with no terminal to prompt on: certutil left with an open standard
// input loops on its password prompt. Its error output becomes `error` on failure.
bool run(const QString &program, const QStringList &arguments, QString *error, QByteArray *output = nullptr)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        *error = QStringLiteral("cannot run %1: %2").arg(program, process.errorString());
        return false;
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("%1 did not finish").arg(program);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2: %3")
                     .arg(program, arguments.join(QLatin1Char(' ')),
                         QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

QByteArray withoutSpace(QByteArray text)
{
    text.replace(' ', "").replace('\r', "").replace('\n', "");
    return text;
}

QString updateCaCertificates()
{
    for (const QString &path : { QStringLiteral("/usr/sbin/update-ca-certificates"),
             QStringLiteral("/sbin/update-ca-certificates") }) {
        if (QFile::exists(path))
            return path;
    }
    return QStringLiteral("update-ca-certificates");
}

} // namespace

const QString TrustStores::nickname = QStringLiteral("Varnel local CA");

TrustStores::TrustStores(const QString &home, const QString &recordFile)
    : m_home(home)
    , m_recordFile(recordFile)
{
}

QStringList TrustStores::databases() const
{
    QStringList found { QStringLiteral("sql:") + m_home + QStringLiteral("/.pki/nssdb") };
    const QStringList profileFolders { QStringLiteral("/.mozilla/firefox"),
        QStringLiteral("/snap/firefox/common/.mozilla/firefox"),
        QStringLiteral("/.var/app/org.mozilla.firefox/.mozilla/firefox") };
    for (const QString &folder : profileFolders) {
        const QDir profiles(m_home + folder);
        for (const QString &profile : profiles.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            // A profile Firefox has run with has its certificate database already.
            if (QFile::exists(profiles.filePath(profile) + QStringLiteral("/cert9.db")))
                found << QStringLiteral("sql:") + profiles.filePath(profile);
        }
    }
    // Chromium from a snap keeps its own copy of ~/.pki/nssdb.
    const QString snapChromium = m_home + QStringLiteral("/snap/chromium/current/.pki/nssdb");
    if (QFile::exists(snapChromium + QStringLiteral("/cert9.db")))
        found << QStringLiteral("sql:") + snapChromium;
    return found;
}

bool TrustStores::certutilMissing() const
{
    if (!QStandardPaths::findExecutable(QStringLiteral("certutil")).isEmpty())
        return false;
    m_error = QStringLiteral("certutil is not installed (Debian package libnss3-tools)");
    return true;
}

bool TrustStores::certutil(const QStringList &arguments, QByteArray *output) const
{
    return !certutilMissing() && run(QStringLiteral("certutil"), arguments, &m_error, output);
}

void TrustStores::removeFrom(const QString &database)
{
    // An earlier authority may sit under the same nickname more than once; certutil fails once
    // none is left.
    for (int i = 0; i < 16; ++i) {
        if (!certutil(
                { QStringLiteral("-D"), QStringLiteral("-d"), database, QStringLiteral("-n"), nickname }))
            break;
    }
    m_error.clear();
}

QStringList TrustStores::recorded() const
{
    QString ignored;
    const QByteArray record = PrivateFile::read(m_recordFile, 1024 * 1024, &ignored);
    // A JSON list, as a folder's name may hold a line break; one database a line before.
    const QJsonDocument list = QJsonDocument::fromJson(record);
    if (list.isArray())
        return list.toVariant().toStringList();
    return QString::fromUtf8(record).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool TrustStores::trust(const QString &certificateFile)
{
    if (!untrust())
        return false;
    QStringList added;
    QString failure;
    const QString userDatabase = m_home + QStringLiteral("/.pki/nssdb");
    for (const QString &database : databases()) {
        bool ready = true;
        if (database.mid(4) == userDatabase && !QFile::exists(userDatabase + QStringLiteral("/cert9.db"))) {
            ready = QDir().mkpath(userDatabase)
                && certutil({ QStringLiteral("-N"), QStringLiteral("-d"), database,
                    QStringLiteral("--empty-password") });
            if (!QFileInfo(userDatabase).isDir())
                m_error = QStringLiteral("cannot make the folder %1").arg(userDatabase);
        }
        // Also an authority this installation had before its files were made again.
        if (ready)
            removeFrom(database);
        if (ready
            && certutil(
                { QStringLiteral("-A"), QStringLiteral("-d"), database, QStringLiteral("-n"), nickname,
                    QStringLiteral("-t"), QStringLiteral("C,,"), QStringLiteral("-i"), certificateFile }))
            added << database;
        else if (failure.isEmpty())
            failure = m_error;
    }

    // Recorded even when a store refused, so that untrust() still finds what did go in.
    QString error;
    if (!PrivateFile::write(m_recordFile,
            QJsonDocument(QJsonArray::fromStringList(added)).toJson(QJsonDocument::Compact), 0600, &error)) {
        m_error = QStringLiteral("cannot write %1").arg(error);
        return false;
    }
    m_error = failure;
    if (added.isEmpty() && m_error.isEmpty())
        m_error = QStringLiteral("no certificate store took the authority");
    return failure.isEmpty() && !added.isEmpty();
}

bool TrustStores::untrust()
{
    const QStringList databases = recorded();
    if (!databases.isEmpty() && certutilMissing())
        return false;
    for (const QString &database : databases)
        removeFrom(database);
    if (QFile::exists(m_recordFile) && !QFile::remove(m_recordFile)) {
        m_error = QStringLiteral("cannot remove %1").arg(m_recordFile);
        return false;
    }
    return true;
}

bool TrustStores::isTrusted(const QString &certificateFile) const
{
    const QString database = m_home + QStringLiteral("/.pki/nssdb");
    QFile file(certificateFile);
    QByteArray listed;
    if (!QFile::exists(database + QStringLiteral("/cert9.db")) || !file.open(QIODevice::ReadOnly)
        || !certutil({ QStringLiteral("-L"), QStringLiteral("-d"), QStringLiteral("sql:") + database,
                         QStringLiteral("-n"), nickname, QStringLiteral("-a") },
            &listed))
        return false;
    const QByteArray pem = withoutSpace(file.readAll());
    return !pem.isEmpty() && withoutSpace(listed).contains(pem);
}

bool TrustStores::trustSystem(const QByteArray &certificate, const QString &name)
{
    const QString target = systemDirectory() + QLatin1Char('/') + name + QStringLiteral(".crt");
    QString error;
    if (!QDir().mkpath(systemDirectory()) || !PrivateFile::write(target, certificate, 0644, &error)) {
        m_error = QStringLiteral("cannot write %1").arg(error.isEmpty() ? target : error);
        return false;
    }
    return run(updateCaCertificates(), systemUpdateArguments(), &m_error);
}

bool TrustStores::untrustSystem(const QString &name)
{
    const QString target = systemDirectory() + QLatin1Char('/') + name + QStringLiteral(".crt");
    if (!QFileInfo(target).isSymLink() && !QFile::exists(target))
        return true;
    if (!QFile::remove(target)) {
        m_error = QStringLiteral("cannot remove %1").arg(target);
        return false;
    }
    return run(updateCaCertificates(), systemUpdateArguments(), &m_error);
}
