#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QUrl>

class QTimer;

// Asks the update service whether a newer version exists: once when started, then one pause
// after each check has ended, whether it succeeded, failed or timed out.
class UpdateChecker : public QObject
{
    Q_OBJECT

public:
    explicit UpdateChecker(QObject *parent = nullptr);

    // The update service's base URL; VARNEL_UPDATE_URL replaces the maker's own.
    static QUrl serviceUrl();

    // The abort time of one request and the pause between two checks: 10 s and one hour by
    // default.
    void setIntervals(int abortMs, int recheckMs);
    void setCurrentVersion(const QString &version) { m_currentVersion = version; }

signals:
    // A check that got an answer: whether the service offers a newer version.
    void checked(bool hasNewVersion);

public slots:
    void checkNewVersion();
    void checkNewVersionCompleted();
    void checkNewVersionError(QNetworkReply::NetworkError code);

private:
    // Its replies are its children, and so the checker's.
    QNetworkAccessManager *m_network;
    QTimer *m_recheckTimer;
    QNetworkReply *m_reply = nullptr;
    bool m_requestFailed = false;
    int m_abortMs = 10000;
    QString m_currentVersion;
};
