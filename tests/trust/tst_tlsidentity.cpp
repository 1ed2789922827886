#include "testsupport.h"
#include "tlsidentity.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// The local authority and server certificate as OpenSSL judges them, and when they are made again.
class tst_TlsIdentity : public QObject
{
    Q_OBJECT

private slots:
    void authorityVouchesForLoopbackOnly_data();
    void authorityVouchesForLoopbackOnly();
    void remadeWhenNoLongerUsable_data();
    void remadeWhenNoLongerUsable();
    void linksRefusedLooseModesClosed();
    void systemStoreTakesOnlyItsOwnKind_data();
    void systemStoreTakesOnlyItsOwnKind();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int openssl(const QStringList &arguments)
{
    int exitCode = -1;
    TestSupport::run(QStringLiteral("openssl"), arguments, 30000, &exitCode);
    return exitCode;
}

} // namespace

void tst_TlsIdentity::authorityVouchesForLoopbackOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("localhost") << "DNS:localhost" << true;
    QTest::newRow("loopback range") << "IP:127.0.0.2" << true;
    QTest::newRow("IPv6 loopback") << "IP:::1" << true;
    QTest::newRow("web site") << "DNS:example.com" << false;
    QTest::newRow("LAN address") << "IP:10.0.0.1" << false;
    QTest::newRow("other IPv6") << "IP:::2" << false;
}

// Even someone holding the authority's key cannot make a certificate for another site.
void tst_TlsIdentity::authorityVouchesForLoopbackOnly()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    TlsIdentity identity(dir.filePath(QStringLiteral("tls")));
    QVERIFY(identity.ensure());
    const QString leaf = dir.filePath(QStringLiteral("leaf.crt"));
    QCOMPARE(openssl({ "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                 "-keyout", dir.filePath(QStringLiteral("leaf.key")), "-subj", "/O=Test", "-addext",
                 "subjectAltName=" + name, "-CA", identity.authorityCertificateFile(), "-CAkey",
                 identity.authorityKeyFile(), "-out", leaf }),
        0);
    QCOMPARE(openssl({ "verify", "-CAfile", identity.authorityCertificateFile(), leaf }) == 0, accepted);
    // Critical, so that a verifier that does not know name constraints refuses rather than ignores them.
    QVERIFY(TestSupport::run(QStringLiteral("openssl"),
        { "x509", "-noout", "-ext", "nameConstraints", "-in", identity.authorityCertificateFile() })
                .contains("X509v3 Name Constraints: critical"));

    // The server certificate serves TLS, and cannot sign for anything else itself.
    QCOMPARE(openssl({ "verify", "-purpose", "sslserver", "-CAfile", identity.authorityCertificateFile(),
                 identity.certificateFile() }),
        0);
    QVERIFY(openssl({ "verify", "-CAfile", identity.certificateFile(), identity.certificateFile() }) != 0);
}

void tst_TlsIdentity::remadeWhenNoLongerUsable_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("daysLater");
    QTest::addColumn<bool>("newAuthority");
    QTest::addColumn<bool>("newServer");
    QTest::newRow("valid") << "" << 0 << false << false;
    QTest::newRow("server certificate in its last month") << "" << 701 << false << true;
    QTest::newRow("authority in its last month") << "" << 3621 << true << true;
    QTest::newRow("server key damaged") << "server.key" << 0 << false << true;
    QTest::newRow("authority key missing") << "ca.key" << 0 << true << true;
    QTest::newRow("server certificate of another authority") << "foreign" << 0 << false << true;
}

void tst_TlsIdentity::remadeWhenNoLongerUsable()
{
    QFETCH(QString, damage);
    QFETCH(int, daysLater);
    QFETCH(bool, newAuthority);
    QFETCH(bool, newServer);
    QTemporaryDir dir;
    TlsIdentity identity(dir.filePath(QStringLiteral("tls"))), other(dir.filePath(QStringLiteral("other")));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QVERIFY(identity.ensure(now) && other.ensure(now));
    // Two installations share nothing, and nobody else may read their keys.
    QVERIFY(contents(identity.authorityKeyFile()) != contents(other.authorityKeyFile()));
    QVERIFY(contents(identity.keyFile()) != contents(other.keyFile()));
    for (const QString &key : { identity.authorityKeyFile(), identity.keyFile() })
        QCOMPARE(QFile::permissions(key) & 0x0077, QFileDevice::Permissions());
    const QByteArray authority = contents(identity.authorityCertificateFile());
    const QByteArray server = contents(identity.certificateFile());

    if (damage == QLatin1String("foreign")) {
        QFile::remove(identity.certificateFile());
        QFile::remove(identity.keyFile());
        QVERIFY(QFile::copy(other.certificateFile(), identity.certificateFile()));
        QVERIFY(QFile::copy(other.keyFile(), identity.keyFile()));
    } else if (!damage.isEmpty()) {
        QFile file(identity.directory() + QLatin1Char('/') + damage);
        QVERIFY(damage == QLatin1String("ca.key") ? file.remove() : file.resize(40));
    }
    QVERIFY(identity.ensure(now.addDays(daysLater)));
    QCOMPARE(contents(identity.authorityCertificateFile()) != authority, newAuthority);
    QCOMPARE(contents(identity.certificateFile()) != server, newServer);
    QCOMPARE(openssl({ "verify", "-attime", QString::number(now.addDays(daysLater).toSecsSinceEpoch()),
                 "-CAfile", identity.authorityCertificateFile(), identity.certificateFile() }),
        0);
}

// A folder and keys opened to others are closed again; a link in the folder is never followed.
void tst_TlsIdentity::linksRefusedLooseModesClosed()
{
    QTemporaryDir dir;
    TlsIdentity identity(dir.filePath(QStringLiteral("tls")));
    QVERIFY(identity.ensure());
    QVERIFY(QFile::setPermissions(identity.directory(), QFileDevice::Permissions(0x7755)));
    QVERIFY(QFile::setPermissions(identity.authorityKeyFile(), QFileDevice::Permissions(0x6644)));
    QVERIFY(identity.ensure());
    QCOMPARE(QFile::permissions(identity.directory()) & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFile::permissions(identity.authorityKeyFile()) & 0x0077, QFileDevice::Permissions());

    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QFile::rename(identity.keyFile(), elsewhere));
    QVERIFY(QFile::link(elsewhere, identity.keyFile()));
    QVERIFY(QFile::resize(elsewhere, 10));
    QVERIFY(!identity.ensure());
    QCOMPARE(QFileInfo(elsewhere).size(), 10);
    QVERIFY(QFileInfo(identity.keyFile()).isSymLink());
}

void tst_TlsIdentity::systemStoreTakesOnlyItsOwnKind_data()
{
    QTest::addColumn<QString>("swap");
    QTest::addColumn<bool>("taken");
    QTest::newRow("its own") << "" << true;
    QTest::newRow("a link") << "link" << false;
    QTest::newRow("another user's file") << "owner" << false;
    QTest::newRow("the key of another authority") << "key" << false;
    QTest::newRow("two certificates") << "two" << false;
    QTest::newRow("constraints permitting a LAN")
        << "nameConstraints=critical,permitted;DNS:localhost,"
           "permitted;IP:127.0.0.0/255.0.0.0,permitted;IP:10.0.0.0/255.0.0.0"
        << false;
    QTest::newRow("constraints not critical")
        << "nameConstraints=permitted;DNS:localhost,permitted;IP:127.0.0.0/255.0.0.0" << false;
    QTest::newRow("no IP constraint") << "nameConstraints=critical,permitted;DNS:localhost" << false;
}

void tst_TlsIdentity::systemStoreTakesOnlyItsOwnKind()
{
    QFETCH(QString, swap);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    TlsIdentity identity(dir.filePath(QStringLiteral("tls"))), other(dir.filePath(QStringLiteral("other")));
    QVERIFY(identity.ensure() && other.ensure());
    const QString certificate = identity.authorityCertificateFile();
    if (swap == QLatin1String("link")) {
        QVERIFY(QFile::rename(certificate, dir.filePath(QStringLiteral("real"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("real")), certificate));
    } else if (swap == QLatin1String("owner")) {
        if (::geteuid() != 0)
            QSKIP("giving a file away needs root");
        QCOMPARE(::chown(QFile::encodeName(certificate).constData(), 65534, 65534), 0);
    } else if (swap == QLatin1String("key")) {
        QVERIFY(QFile::remove(identity.authorityKeyFile()));
        QVERIFY(QFile::copy(other.authorityKeyFile(), identity.authorityKeyFile()));
    } else if (swap == QLatin1String("two")) {
        QFile file(certificate);
        QVERIFY(file.open(QIODevice::Append));
        file.write(contents(other.authorityCertificateFile()));
    } else if (!swap.isEmpty()) {
        QVERIFY(QFile::remove(certificate));
        QCOMPARE(
            openssl({ "req", "-x509", "-key", identity.authorityKeyFile(), "-subj", "/CN=Varnel", "-addext",
                "basicConstraints=critical,CA:TRUE,pathlen:0", "-addext", swap, "-out", certificate }),
            0);
    }
    QString error;
    const QByteArray pem = identity.verifiedAuthority(::geteuid(), &error);
    QCOMPARE(!pem.isEmpty(), taken);
    QCOMPARE(error.isEmpty(), taken);
    if (taken)
        QCOMPARE(pem, contents(certificate));
}

QTEST_GUILESS_MAIN(tst_TlsIdentity)
#include "tst_tlsidentity.moc"
