#include "tlsidentity.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSysInfo>

#include <memory>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <utility>
#include <vector>

namespace {

struct OpenSslFree
{
    void operator()(X509 *p) const { X509_free(p); }
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
    void operator()(BIO *p) const { BIO_free(p); }
    void operator()(BIGNUM *p) const { BN_free(p); }
};
template<typename T> using Owned = std::unique_ptr<T, OpenSslFree>;

using Extensions = std::vector<std::pair<int, const char *>>;

const Extensions authorityExtensions {
    { NID_basic_constraints, "critical,CA:TRUE,pathlen:0" },
    { NID_key_usage, "critical,keyCertSign,cRLSign" },
    // Even a copied key can then vouch for nothing but this machine's loopback names.
    { NID_name_constraints,
        "critical,permitted;DNS:localhost,permitted;IP:127.0.0.0/255.0.0.0,"
        "permitted;IP:0:0:0:0:0:0:0:1/FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF:FFFF" },
    { NID_subject_key_identifier, "hash" },
};

const Extensions serverExtensions {
    { NID_basic_constraints, "critical,CA:FALSE" },
    { NID_key_usage, "critical,digitalSignature" },
    { NID_ext_key_usage, "serverAuth" },
    { NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1" },
    { NID_subject_key_identifier, "hash" },
    { NID_authority_key_identifier, "keyid:always" },
};

QString openSslError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return QString::fromLatin1(text);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Never asks for a pass phrase: an encrypted key is simply not ours.
int noPassphrase(char *, int, int, void *)
{
    return 0;
}

Owned<X509> readCertificate(const QString &path)
{
    const QByteArray pem = readFile(path);
    Owned<BIO> bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return Owned<X509>(bio ? PEM_read_bio_X509(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
}

Owned<EVP_PKEY> readKey(const QString &path)
{
    const QByteArray pem = readFile(path);
    Owned<BIO> bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return Owned<EVP_PKEY>(
        bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
}

// Valid now and still for the renewal margin.
bool inDate(X509 *certificate, time_t now)
{
    time_t margin = now + time_t(TlsIdentity::renewalMarginDays) * 24 * 3600;
    return X509_cmp_time(X509_get0_notBefore(certificate), &now) < 0
        && X509_cmp_time(X509_get0_notAfter(certificate), &margin) > 0;
}

Owned<X509> makeCertificate(EVP_PKEY *key, const QString &commonName, X509 *issuer, EVP_PKEY *issuerKey,
    int days, const Extensions &extensions, time_t now)
{
    Owned<X509> certificate(X509_new());
    Owned<BIGNUM> serial(BN_new());
    if (!certificate || !serial || !BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY)
        || !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get()))
        || !X509_set_version(certificate.get(), X509_VERSION_3)
        // An hour back, so a clock set a little late does not make it "not yet valid".
        || !X509_time_adj_ex(X509_getm_notBefore(certificate.get()), 0, -3600, &now)
        || !X509_time_adj_ex(X509_getm_notAfter(certificate.get()), days, 0, &now)
        || !X509_set_pubkey(certificate.get(), key))
        return nullptr;
    X509_NAME *subject = X509_get_subject_name(certificate.get());
    const QByteArray name = commonName.toUtf8();
    if (!X509_NAME_add_entry_by_txt(
            subject, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>("Varnel"), -1, -1, 0)
        || !X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
            reinterpret_cast<const unsigned char *>(name.constData()), -1, -1, 0)
        || !X509_set_issuer_name(certificate.get(), issuer ? X509_get_subject_name(issuer) : subject))
        return nullptr;

    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer ? issuer : certificate.get(), certificate.get(), nullptr, nullptr, 0);
    for (const auto &[nid, value] : extensions) {
        X509_EXTENSION *extension = X509V3_EXT_nconf_nid(nullptr, &context, nid, value);
        const bool added = extension && X509_add_ext(certificate.get(), extension, -1);
        X509_EXTENSION_free(extension);
        if (!added)
            return nullptr;
    }
    if (!X509_sign(certificate.get(), issuerKey ? issuerKey : key, EVP_sha256()))
        return nullptr;
    return certificate;
}

template<typename Write> QByteArray toPem(Write write)
{
    Owned<BIO> bio(BIO_new(BIO_s_mem()));
    if (!bio || !write(bio.get()))
        return QByteArray();
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(size));
}

} // namespace

TlsIdentity::TlsIdentity(const QString &directory)
    : m_directory(directory)
{
}

QString TlsIdentity::defaultDirectory()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/varnel/tls");
}

QString TlsIdentity::authorityCertificateFile() const
{
    return m_directory + QStringLiteral("/ca.crt");
}

QString TlsIdentity::authorityKeyFile() const
{
    return m_directory + QStringLiteral("/ca.key");
}

QString TlsIdentity::certificateFile() const
{
    return m_directory + QStringLiteral("/server.crt");
}

QString TlsIdentity::keyFile() const
{
    return m_directory + QStringLiteral("/server.key");
}

bool TlsIdentity::ensure(const QDateTime &now)
{
    m_error.clear();
    const time_t seconds = time_t(now.toSecsSinceEpoch());

    Owned<X509> authority = readCertificate(authorityCertificateFile());
    Owned<EVP_PKEY> authorityKey = readKey(authorityKeyFile());
    bool newAuthority = !authority || !authorityKey || X509_check_ca(authority.get()) <= 0
        || X509_check_private_key(authority.get(), authorityKey.get()) != 1
        || !inDate(authority.get(), seconds);

    Owned<X509> server = readCertificate(certificateFile());
    Owned<EVP_PKEY> serverKey = readKey(keyFile());
    const bool newServer = newAuthority || !server || !serverKey
        || X509_check_private_key(server.get(), serverKey.get()) != 1
        || X509_verify(server.get(), X509_get0_pubkey(authority.get())) != 1
        || !inDate(server.get(), seconds);
    ERR_clear_error();
    if (!newServer)
        return true;

    if (!QDir().mkpath(m_directory)
        || !QFile::setPermissions(
            m_directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)) {
        m_error = QStringLiteral("cannot make the folder %1").arg(m_directory);
        return false;
    }

    // Written key first, so a certificate on disk never names a key that is not there yet.
    const auto write = [this](const QString &path, const QByteArray &pem, bool secret) {
        QSaveFile file(path);
        if (pem.isEmpty()) {
            m_error = QStringLiteral("cannot encode %1: %2").arg(path, openSslError());
            return false;
        }
        const bool written = file.open(QIODevice::WriteOnly)
            && (!secret || file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            && file.write(pem) == pem.size() && file.commit();
        if (!written)
            m_error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return written;
    };
    const auto keyPem = [](EVP_PKEY *key) {
        return toPem([key](BIO *bio) {
            return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
        });
    };
    const auto certificatePem = [](X509 *certificate) {
        return toPem([certificate](BIO *bio) { return PEM_write_bio_X509(bio, certificate); });
    };

    if (newAuthority) {
        authorityKey.reset(EVP_EC_gen("P-256"));
        // A name of its own, so stores that still hold an earlier authority never mix the two up.
        const QString name
            = QStringLiteral("Varnel local CA %1@%2 %3")
                  .arg(qEnvironmentVariable("USER", QDir::home().dirName()), QSysInfo::machineHostName(),
                      QString::number(QRandomGenerator::system()->generate(), 16));
        authority = authorityKey ? makeCertificate(authorityKey.get(), name, nullptr, nullptr, authorityDays,
                        authorityExtensions, seconds)
                                 : nullptr;
        if (!authority) {
            m_error = QStringLiteral("cannot make the certificate authority: %1").arg(openSslError());
            return false;
        }
        if (!write(authorityKeyFile(), keyPem(authorityKey.get()), true)
            || !write(authorityCertificateFile(), certificatePem(authority.get()), false))
            return false;
    }

    serverKey.reset(EVP_EC_gen("P-256"));
    server = serverKey ? makeCertificate(serverKey.get(), QStringLiteral("localhost"), authority.get(),
                 authorityKey.get(), certificateDays, serverExtensions, seconds)
                       : nullptr;
    if (!server) {
        m_error = QStringLiteral("cannot make the server certificate: %1").arg(openSslError());
        return false;
    }
    return write(keyFile(), keyPem(serverKey.get()), true)
        && write(certificateFile(), certificatePem(server.get()), false);
}
