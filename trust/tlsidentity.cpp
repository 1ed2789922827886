#include "tlsidentity.h"

#include "privatefile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSysInfo>

#include <cstring>
#include <memory>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

struct OpenSslFree
{
    void operator()(X509 *p) const { X509_free(p); }
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
    void operator()(BIO *p) const { BIO_free(p); }
    void operator()(BIGNUM *p) const { BN_free(p); }
    void operator()(BASIC_CONSTRAINTS *p) const { BASIC_CONSTRAINTS_free(p); }
    void operator()(NAME_CONSTRAINTS *p) const { NAME_CONSTRAINTS_free(p); }
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

// Far more than a PEM key or certificate of ours takes.
constexpr qint64 pemLimit = 64 * 1024;

QByteArray readFile(const QString &path)
{
    QString ignored;
    return PrivateFile::read(path, pemLimit, &ignored);
}

// Never asks for a pass phrase: an encrypted key is simply not ours.
int noPassphrase(char *, int, int, void *)
{
    return 0;
}

Owned<X509> parseCertificate(const QByteArray &pem)
{
    Owned<BIO> bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return Owned<X509>(bio ? PEM_read_bio_X509(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
}

Owned<EVP_PKEY> parseKey(const QByteArray &pem)
{
    Owned<BIO> bio(BIO_new_mem_buf(pem.constData(), pem.size()));
    return Owned<EVP_PKEY>(
        bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassphrase, nullptr) : nullptr);
}

// A subtree of the authority's permitted names that lies within localhost, 127.0.0.0/8 or ::1.
// Counts the DNS and IP ones: without a subtree of a type, names of that type are unbounded.
bool loopbackOnly(const GENERAL_SUBTREE *subtree, int *dns, int *ip)
{
    const GENERAL_NAME *base = subtree->base;
    if (subtree->minimum || subtree->maximum)
        return false;
    if (base->type == GEN_DNS) {
        const ASN1_IA5STRING *name = base->d.dNSName;
        ++*dns;
        return QByteArray(
                   reinterpret_cast<const char *>(ASN1_STRING_get0_data(name)), ASN1_STRING_length(name))
                   .toLower()
            == "localhost";
    }
    if (base->type != GEN_IPADD)
        return false;
    ++*ip;
    const unsigned char *bytes = ASN1_STRING_get0_data(base->d.iPAddress);
    const int length = ASN1_STRING_length(base->d.iPAddress);
    if (length == 8) // address and mask: the first octet fixed at 127
        return bytes[0] == 127 && bytes[4] == 0xff;
    static const unsigned char loopback6[32] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0xff, 0xff,
        0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff };
    return length == 32 && std::memcmp(bytes, loopback6, 32) == 0;
}

// Why `authority` is not an authority this program makes: a CA of path length 0 whose critical
// name constraints permit DNS and IP names within the loopback names only, self-signed, in date
// and holding the key `key`. Empty when it is one.
QString notOurKind(X509 *authority, EVP_PKEY *key)
{
    int critical = -1;
    Owned<BASIC_CONSTRAINTS> basic(static_cast<BASIC_CONSTRAINTS *>(
        X509_get_ext_d2i(authority, NID_basic_constraints, &critical, nullptr)));
    if (!basic || !basic->ca || critical != 1 || !basic->pathlen || ASN1_INTEGER_get(basic->pathlen) != 0)
        return QStringLiteral("it is not a certificate authority limited to path length 0");
    Owned<NAME_CONSTRAINTS> names(static_cast<NAME_CONSTRAINTS *>(
        X509_get_ext_d2i(authority, NID_name_constraints, &critical, nullptr)));
    int dns = 0;
    int ip = 0;
    bool within = names && critical == 1 && names->permittedSubtrees;
    for (int i = 0; within && i < sk_GENERAL_SUBTREE_num(names->permittedSubtrees); ++i)
        within = loopbackOnly(sk_GENERAL_SUBTREE_value(names->permittedSubtrees, i), &dns, &ip);
    if (!within || dns == 0 || ip == 0)
        return QStringLiteral(
            "its critical name constraints do not limit it to localhost, 127.0.0.0/8 and ::1");
    if (X509_check_private_key(authority, key) != 1)
        return QStringLiteral("its key is not the one beside it");
    if (X509_verify(authority, key) != 1)
        return QStringLiteral("it is not self-signed");
    if (X509_cmp_current_time(X509_get0_notBefore(authority)) >= 0
        || X509_cmp_current_time(X509_get0_notAfter(authority)) <= 0)
        return QStringLiteral("it is not valid now");
    return QString();
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

QByteArray keyToPem(EVP_PKEY *key)
{
    return toPem([key](BIO *bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    });
}

QByteArray certificateToPem(X509 *certificate)
{
    return toPem([certificate](BIO *bio) { return PEM_write_bio_X509(bio, certificate); });
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

bool TlsIdentity::secureFolder()
{
    struct stat status;
    const QByteArray folder = QFile::encodeName(m_directory);
    if (::lstat(folder.constData(), &status) == 0
        && (!S_ISDIR(status.st_mode) || ::chmod(folder.constData(), S_IRWXU) != 0)) {
        m_error = QStringLiteral("%1 is not a folder of this user's (a link?): refused").arg(m_directory);
        return false;
    }
    for (const QString &file :
        { authorityCertificateFile(), authorityKeyFile(), certificateFile(), keyFile(), trustRecordFile() }) {
        if (!PrivateFile::absentOrRegular(file)) {
            m_error = QStringLiteral("%1 is a link or not a file: refused, remove it").arg(file);
            return false;
        }
    }
    // A key loosened by hand is closed again; a missing one is made below.
    for (const QString &key : { authorityKeyFile(), keyFile() })
        ::chmod(QFile::encodeName(key).constData(), S_IRUSR | S_IWUSR);
    return true;
}

QByteArray TlsIdentity::verifiedAuthority(uid_t owner, QString *error) const
{
    const QByteArray pem = PrivateFile::read(authorityCertificateFile(), pemLimit, error, owner);
    if (pem.isEmpty())
        return QByteArray();
    const QByteArray keyPem = PrivateFile::read(authorityKeyFile(), pemLimit, error, owner);
    if (keyPem.isEmpty())
        return QByteArray();
    Owned<X509> authority = pem.count("-----BEGIN ") == 1 ? parseCertificate(pem) : nullptr;
    Owned<EVP_PKEY> key = parseKey(keyPem);
    const QString why = !authority ? QStringLiteral("it does not hold exactly one certificate")
        : !key                     ? QStringLiteral("its key cannot be read")
                                   : notOurKind(authority.get(), key.get());
    ERR_clear_error();
    if (!why.isEmpty()) {
        *error = QStringLiteral("%1 is not this installation's certificate authority: %2")
                     .arg(authorityCertificateFile(), why);
        return QByteArray();
    }
    // Encoded afresh from what was checked: nothing but that certificate goes on.
    return certificateToPem(authority.get());
}

bool TlsIdentity::ensure(const QDateTime &now)
{
    m_error.clear();
    if (!secureFolder())
        return false;
    const time_t seconds = time_t(now.toSecsSinceEpoch());

    Owned<X509> authority = parseCertificate(readFile(authorityCertificateFile()));
    Owned<EVP_PKEY> authorityKey = parseKey(readFile(authorityKeyFile()));
    bool newAuthority = !authority || !authorityKey || X509_check_ca(authority.get()) <= 0
        || X509_check_private_key(authority.get(), authorityKey.get()) != 1
        || !inDate(authority.get(), seconds);

    Owned<X509> server = parseCertificate(readFile(certificateFile()));
    Owned<EVP_PKEY> serverKey = parseKey(readFile(keyFile()));
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
        if (pem.isEmpty()) {
            m_error = QStringLiteral("cannot encode %1: %2").arg(path, openSslError());
            return false;
        }
        QString error;
        const bool written = PrivateFile::write(path, pem, secret ? 0600 : 0644, &error);
        if (!written)
            m_error = QStringLiteral("cannot write %1").arg(error);
        return written;
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
        if (!write(authorityKeyFile(), keyToPem(authorityKey.get()), true)
            || !write(authorityCertificateFile(), certificateToPem(authority.get()), false))
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
    return write(keyFile(), keyToPem(serverKey.get()), true)
        && write(certificateFile(), certificateToPem(server.get()), false);
}
