#pragma once

#include <QDateTime>
#include <QString>

#include <sys/types.h>

// This installation's own TLS identity: a local certificate authority that can vouch for nothing
// but localhost, 127.0.0.0/8 and ::1, and the API's server certificate signed by it. Both are made
// here, per user and machine, so no private key is shared between installations.
class TlsIdentity
{
public:
    // Files live in `directory`, which is made (mode 0700) when missing.
    explicit TlsIdentity(const QString &directory = defaultDirectory());

    // $XDG_DATA_HOME/varnel/tls, with ~/.local/share for an unset XDG_DATA_HOME.
    static QString defaultDirectory();

    // Closes the folder (0700) and the keys (0600) to others, refuses a link or anything but a
    // file in place of one of its files, then makes whatever is missing, unreadable or not matching: a new
    // authority (and with it a new server certificate) when the authority's files are not usable or it
    // expires within the renewal margin, a new server certificate when only that one is. False when the files
    // could not be made; errorString() then says why.
    bool ensure(const QDateTime &now = QDateTime::currentDateTimeUtc());

    QString directory() const { return m_directory; }
    QString authorityCertificateFile() const { return m_directory + QStringLiteral("/ca.crt"); }
    QString authorityKeyFile() const { return m_directory + QStringLiteral("/ca.key"); }
    QString certificateFile() const { return m_directory + QStringLiteral("/server.crt"); }
    QString keyFile() const { return m_directory + QStringLiteral("/server.key"); }
    // What the browser stores were given, so that it can be taken back.
    QString trustRecordFile() const { return m_directory + QStringLiteral("/trusted"); }

    // The authority certificate as PEM, encoded afresh from the file once judged one this program
    // makes: regular files (no links) owned by `owner`, a CA of path length 0 whose critical name
    // constraints permit nothing beyond localhost, 127.0.0.0/8 and ::1, whose key is the one
    // beside it. Empty otherwise, with `error` saying why.
    QByteArray verifiedAuthority(uid_t owner, QString *error) const;
    QString errorString() const { return m_error; }

    static constexpr int renewalMarginDays = 30;
    static constexpr int certificateDays = 730;
    static constexpr int authorityDays = 3650;

private:
    bool secureFolder();

    QString m_directory;
    QString m_error;
};
