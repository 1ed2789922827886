#include "truststores.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString systemDirectory = QStringLiteral("/usr/local/share/ca-certificates");

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
    QFile record(m_recordFile);
    if (!record.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringList();
    return QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
    QSaveFile record(m_recordFile);
    if (!record.open(QIODevice::WriteOnly | QIODevice::Text)
        || record.write(added.join(QLatin1Char('\n')).toUtf8()) < 0 || !record.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_recordFile, record.errorString());
        return false;
    }
    m_error = failure;
    return failure.isEmpty();
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

bool TrustStores::trustSystem(const QString &certificateFile, const QString &name)
{
    const QString target = systemDirectory + QLatin1Char('/') + name + QStringLiteral(".crt");
    QFile::remove(target);
    if (!QDir().mkpath(systemDirectory) || !QFile::copy(certificateFile, target)
        || !QFile::setPermissions(target,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                | QFileDevice::ReadOther)) {
        m_error = QStringLiteral("cannot write %1").arg(target);
        return false;
    }
    return run(updateCaCertificates(), QStringList(), &m_error);
}

bool TrustStores::untrustSystem(const QString &name)
{
    const QString target = systemDirectory + QLatin1Char('/') + name + QStringLiteral(".crt");
    if (!QFile::exists(target))
        return true;
    if (!QFile::remove(target)) {
        m_error = QStringLiteral("cannot remove %1").arg(target);
        return false;
    }
    return run(updateCaCertificates(), QStringList(), &m_error);
}
