#pragma once

#include <QString>
#include <QStringList>

// The certificate stores a certificate authority is added to so that browsers accept what it
// signed: the user's NSS databases (Chromium and Chrome read ~/.pki/nssdb, Firefox one per
// profile), through certutil, and the system store, through update-ca-certificates.
class TrustStores
{
public:
    // `home` is the user's home folder; what trust() added is listed in `recordFile`, so that
    // untrust() takes away exactly that.
    TrustStores(const QString &home, const QString &recordFile);

    // Adds the authority in `certificateFile` as trusted for TLS servers to ~/.pki/nssdb (made
    // when missing) and to every Firefox profile found (also the snap and flatpak ones), after
    // taking away whatever an earlier call added.
    // False when a store refused, or when none took it.
    bool trust(const QString &certificateFile);
    bool untrust();
    // Whether ~/.pki/nssdb holds this very authority.
    bool isTrusted(const QString &certificateFile) const;

    // The NSS databases trust() adds to, as certutil names them ("sql:<folder>").
    QStringList databases() const;

    // The system store, for root only: `certificate` (PEM, already judged) as `name`.crt in
    // /usr/local/share/ca-certificates, under VARNEL_SYSTEM_CA_ROOT when that is set.
    bool trustSystem(const QByteArray &certificate, const QString &name);
    bool untrustSystem(const QString &name);

    QString errorString() const { return m_error; }

    static const QString nickname;

private:
    bool certutilMissing() const;
    bool certutil(const QStringList &arguments, QByteArray *output = nullptr) const;
    void removeFrom(const QString &database);
    QStringList recorded() const;

    QString m_home;
    QString m_recordFile;
    mutable QString m_error;
};
