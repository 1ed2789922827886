#pragma once

#include "tlsidentity.h"

#include <QObject>
#include <QString>

class QProcess;

// What the window shows and offers about the API's certificate: whether this installation's
// certificate authority could be made, whether the user's browsers trust it, and a way to make
// them trust it. Trusting runs this program again with "--trust", so the window never blocks
// on certutil and the command line and the button take the same path.
class LocalTrust : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool trusted READ trusted NOTIFY changed)
    Q_PROPERTY(bool busy READ busy NOTIFY changed)
    Q_PROPERTY(QString identityError READ identityError NOTIFY changed)
    Q_PROPERTY(QString trustError READ trustError NOTIFY changed)

public:
    explicit LocalTrust(QObject *parent = nullptr);

    // Makes or renews the certificate files the listener reads, then reads the trust state.
    // False when the files could not be made (identityError() says why).
    bool prepare();

    const TlsIdentity &identity() const { return m_identity; }
    bool trusted() const { return m_trusted; }
    bool busy() const { return m_process != nullptr; }
    QString identityError() const { return m_identity.errorString(); }
    QString trustError() const { return m_trustError; }

public slots:
    Q_INVOKABLE void trust();

signals:
    void changed();

private:
    void readTrusted();

    TlsIdentity m_identity;
    bool m_trusted = false;
    QString m_trustError;
    QProcess *m_process = nullptr;
};
