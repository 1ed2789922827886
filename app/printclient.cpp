#include "printclient.h"

#include "startup.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslSocket>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

namespace {

// 8 characters of the standard Base64 alphabet drawn from the system's random source
// (48 bits), then the key format's version suffix.
QString generateSecurityKey()
{
    QByteArray bytes(6, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(bytes.toBase64()) + QStringLiteral("v4.0");
}

} // namespace

PrintClient::PrintClient(QObject *parent)
    : QObject(parent)
{ }

template<typename F> void PrintClient::notify(F emitter)
{
    if (QThread::currentThread() == thread())
        emitter();
    else
        QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
}

void PrintClient::startup()
{
    m_version = QStringLiteral("v4.1.0");
    {
        QMutexLocker locker(&m_stateLock);
        m_curVersion = QStringLiteral("410");
        m_device = QStringLiteral("desktop");
    }

    m_printerTimer = new QTimer(this);
    m_printerTimer->setSingleShot(true);
    connect(m_printerTimer, &QTimer::timeout, this, &PrintClient::requestPrinters);
    m_tpaTimer = new QTimer(this);
    m_tpaTimer->setSingleShot(true);
    connect(m_tpaTimer, &QTimer::timeout, this, &PrintClient::requestTpas);
    m_updateTimer = new QTimer(this);
    m_updateTimer->setSingleShot(true);
    m_updateTimer->setInterval(m_updateRecheckMs);
    connect(m_updateTimer, &QTimer::timeout, this, &PrintClient::checkNewVersion);

    readSettings();

    auto heartbeat = new QTimer(this);
    connect(heartbeat, &QTimer::timeout, this, &PrintClient::setKicked);
    heartbeat->start(4000);
    auto windowRequestPoll = new QTimer(this);
    connect(windowRequestPoll, &QTimer::timeout, this, &PrintClient::checkOpeness);
    windowRequestPoll->start(200);

    setKicked();
    checkNewVersion();
}

void PrintClient::readSettings()
{
    setServerActive(m_settings.value(QStringLiteral("serverActive"), true).toBool());

    QString key = m_settings.value(QStringLiteral("securityKey")).toString();
    if (!key.isEmpty()) {
        m_firstStartup = false;
        static const QRegularExpression versionSuffix(QStringLiteral("v\\d\\.\\d$"));
        if (!versionSuffix.match(key).hasMatch())
            key += QStringLiteral("v4.0");
    } else {
        key = generateSecurityKey();
    }
    setSecurityKey(key);

    setCompatibilityMode(m_settings.value(QStringLiteral("compatibilityMode"), false).toBool());
}

void PrintClient::setStarted(bool started)
{
    if (m_started == started)
        return;
    m_started = started;
    emit startedChanged(m_started);
}

void PrintClient::setHasUpdate(bool hasUpdate)
{
    if (m_hasUpdate == hasUpdate)
        return;
    m_hasUpdate = hasUpdate;
    emit hasUpdateChanged(m_hasUpdate);
}

void PrintClient::setServerActive(bool on)
{
    m_serverActive = on;
    m_settings.setValue(QStringLiteral("serverActive"), on);
    m_settings.sync();
    qDebug() << QStringLiteral("SSL Version: %1").arg(QSslSocket::sslLibraryVersionString());
    emit serverActiveChanged(on);
}

QString PrintClient::securityKey() const
{
    QMutexLocker locker(&m_stateLock);
    return m_securityKey;
}

void PrintClient::setSecurityKey(const QString &key)
{
    {
        QMutexLocker locker(&m_stateLock);
        m_securityKey = key;
    }
    m_settings.setValue(QStringLiteral("securityKey"), key);
    m_settings.sync();
    emit securityKeyChanged(key);
}

void PrintClient::setMessage(const QString &message)
{
    m_message = message;
    emit messageChanged(m_message);
}

void PrintClient::setIsDebugMode(bool on)
{
    m_isDebugMode = on;
    emit isDebugModeChanged(m_isDebugMode);
}

QStringList PrintClient::debugMessages() const
{
    QMutexLocker locker(&m_stateLock);
    return m_debugMessages;
}

void PrintClient::setDebugMessages(const QStringList &messages)
{
    {
        QMutexLocker locker(&m_stateLock);
        m_debugMessages = messages;
    }
    notify([this] { emit debugMessagesChanged(debugMessages()); });
}

QString PrintClient::curVersion() const
{
    QMutexLocker locker(&m_stateLock);
    return m_curVersion;
}

QString PrintClient::device() const
{
    QMutexLocker locker(&m_stateLock);
    return m_device;
}

QString PrintClient::language() const
{
    return QLocale::system().name().split(QLatin1Char('_')).first();
}

bool PrintClient::compatibilityMode() const
{
    QMutexLocker locker(&m_stateLock);
    return m_compatibilityMode;
}

void PrintClient::setCompatibilityMode(bool on)
{
    {
        QMutexLocker locker(&m_stateLock);
        m_compatibilityMode = on;
    }
    m_settings.setValue(QStringLiteral("compatibilityMode"), on);
    emit compatibilityModeChanged(on);
}

void PrintClient::setFetching(bool fetching)
{
    if (m_fetching == fetching)
        return;
    m_fetching = fetching;
    emit fetchingChanged();
}

QUrl PrintClient::updateServiceUrl()
{
    const QString custom = qEnvironmentVariable("VARNEL_UPDATE_URL");
    return QUrl(custom.isEmpty() ? QStringLiteral("https://update.tesmar.pt") : custom);
}

void PrintClient::setUpdateCheckIntervals(int abortMs, int recheckMs)
{
    m_updateAbortMs = abortMs;
    m_updateRecheckMs = recheckMs;
    if (m_updateTimer)
        m_updateTimer->setInterval(recheckMs);
}

void PrintClient::clipboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void PrintClient::onGetIPAddresses(const QList<QHostAddress> &addresses)
{
    m_ipAddresses.clear();
    for (const QHostAddress &address : addresses)
        m_ipAddresses << address.toString();
    emit ipAddressesChanged(m_ipAddresses);
    m_addressesArrived = true;
    applyStartRule();
}

void PrintClient::applyStartRule()
{
    m_started = m_addressesArrived && m_printersArrived && m_tpasArrived && m_serverArrived;
    emit startedChanged(m_started);
}

void PrintClient::setKicked()
{
    m_settings.setValue(QStringLiteral("kicked"), QString::number(Startup::localEpochSecond()));
    m_settings.sync();
}

void PrintClient::checkOpeness()
{
    // Picks up what a second instance wrote to the store since the last read.
    m_settings.sync();
    if (!m_settings.value(QStringLiteral("showWindow"), false).toBool())
        return;
    m_settings.setValue(QStringLiteral("showWindow"), false);
    m_settings.sync();
    emit showWindow();
}

void PrintClient::checkNewVersion()
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("cur"), curVersion());

    m_updateRequestFailed = false;

    QString base = updateServiceUrl().toString();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    QNetworkRequest request(QUrl(base + QStringLiteral("/hasNewVersion")));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    m_updateReply = m_network.post(request, query.toString(QUrl::FullyEncoded).toUtf8());

    // The abort timer belongs to the reply, so it goes when the reply goes.
    auto abortTimer = new QTimer(m_updateReply);
    abortTimer->setSingleShot(true);

    disconnect(m_updateReply, nullptr, nullptr, nullptr);
    connect(m_updateReply, &QNetworkReply::finished, this, &PrintClient::checkNewVersionCompleted);
    connect(m_updateReply, &QNetworkReply::errorOccurred, this, &PrintClient::checkNewVersionError);
    connect(abortTimer, &QTimer::timeout, m_updateReply, &QNetworkReply::abort);
    abortTimer->start(m_updateAbortMs);
}

void PrintClient::checkNewVersionError(QNetworkReply::NetworkError)
{
    m_updateRequestFailed = true;
}

void PrintClient::checkNewVersionCompleted()
{
    QNetworkReply *reply = m_updateReply;
    m_updateReply = nullptr;
    if (reply && !m_updateRequestFailed) {
        const QJsonDocument document = QJsonDocument::fromJson(reply->readAll());
        if (document.isObject() && document.object().value(QStringLiteral("hasNewVersion")).toBool()) {
            m_message = QStringLiteral("Existe uma nova versão do Varnel. Clique aqui para actualizar.");
            emit messageChanged(m_message);
            m_hasUpdate = true;
        } else {
            m_hasUpdate = false;
        }
        emit hasUpdateChanged(m_hasUpdate);
    }
    if (reply)
        reply->deleteLater();
    m_updateTimer->start(m_updateRecheckMs);
}
