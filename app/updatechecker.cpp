#include "updatechecker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>

UpdateChecker::UpdateChecker(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
    , m_recheckTimer(new QTimer(this))
{
    m_recheckTimer->setSingleShot(true);
    m_recheckTimer->setInterval(3600000);
    connect(m_recheckTimer, &QTimer::timeout, this, &UpdateChecker::checkNewVersion);
}

QUrl UpdateChecker::serviceUrl()
{
    const QString custom = qEnvironmentVariable("VARNEL_UPDATE_URL");
    return QUrl(custom.isEmpty() ? QStringLiteral("https://update.tesmar.pt") : custom);
}

void UpdateChecker::setIntervals(int abortMs, int recheckMs)
{
    m_abortMs = abortMs;
    m_recheckTimer->setInterval(recheckMs);
}

void UpdateChecker::checkNewVersion()
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("cur"), m_currentVersion);
    m_requestFailed = false;

    QString base = serviceUrl().toString();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    QNetworkRequest request(QUrl(base + QStringLiteral("/hasNewVersion")));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    m_reply = m_network->post(request, query.toString(QUrl::FullyEncoded).toUtf8());

    // The abort timer belongs to the reply, so it goes when the reply goes.
    auto abortTimer = new QTimer(m_reply);
    abortTimer->setSingleShot(true);

    disconnect(m_reply, nullptr, nullptr, nullptr);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateChecker::checkNewVersionCompleted);
    connect(m_reply, &QNetworkReply::errorOccurred, this, &UpdateChecker::checkNewVersionError);
    connect(abortTimer, &QTimer::timeout, m_reply, &QNetworkReply::abort);
    abortTimer->start(m_abortMs);
}

void UpdateChecker::checkNewVersionError(QNetworkReply::NetworkError)
{
    m_requestFailed = true;
}

void UpdateChecker::checkNewVersionCompleted()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (reply) {
        // Released whether or not the request failed.
        reply->deleteLater();
        if (!m_requestFailed) {
            const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
            emit checked(
                document.isObject() && document.object().value(QStringLiteral("hasNewVersion")).toBool());
        }
    }
    m_recheckTimer->start();
}
