#include "printclient.h"

#include "httplistener.h"
#include "notification.h"
#include "printclientrequesthandler.h"
#include "printclientthreaded.h"
#include "printer.h"
#include "startup.h"
#include "tpa.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QNetworkRequest>
#include <QQmlEngine>
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

// Objects on the lists are shared with the API's snapshots; the last holder releases them on
// their own thread's event loop.
template<typename T> QSharedPointer<T> adopt(T *object)
{
    QQmlEngine::setObjectOwnership(object, QQmlEngine::CppOwnership);
    return QSharedPointer<T>(object, &QObject::deleteLater);
}

// The merge both device lists share: entries whose device is still reported keep their
// identity and the user's choice; devices not seen before are appended in the order reported
// (when `make` gives an entry for them); entries whose device is gone leave the list.
template<typename T, typename D, typename Same, typename Make>
void merge(QMutex &lock, QList<QSharedPointer<T>> &list, const QList<D> &reported, Same same, Make make)
{
    QVector<bool> isNew(reported.size(), true);
    QList<int> removals;
    for (int i = 0; i < list.size(); ++i) {
        const T &entry = *list.at(i);
        const auto match = std::find_if(
            reported.cbegin(), reported.cend(), [&](const D &device) { return same(entry, device); });
        if (match != reported.cend())
            isNew[int(match - reported.cbegin())] = false;
        else
            removals << i;
    }
    QList<QSharedPointer<T>> added;
    for (int i = 0; i < reported.size(); ++i) {
        if (!isNew.at(i))
            continue;
        if (T *entry = make(reported.at(i)))
            added << adopt(entry);
    }
    QMutexLocker locker(&lock);
    list << added;
    for (auto it = removals.crbegin(); it != removals.crend(); ++it)
        list.removeAt(*it);
}

template<typename T> QList<T *> pointers(const QList<QSharedPointer<T>> &list)
{
    QList<T *> result;
    for (const QSharedPointer<T> &item : list)
        result << item.data();
    return result;
}

} // namespace

PrintClient::PrintClient(QObject *parent)
    : QObject(parent)
{
}

PrintClient::~PrintClient() = default;

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
    m_notificationTimer = new QTimer(this);
    m_notificationTimer->setSingleShot(true);
    connect(m_notificationTimer, &QTimer::timeout, this, &PrintClient::checkNotificationDelete);
    m_notificationTimer->start(m_notificationSweepMs);
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

    // The request handler gets a thread of its own; the worker stays here, so the four
    // requests below are answered before they return.
    auto thread = new QThread;
    m_worker = new PrintClientThreaded;
    auto handler = new PrintClientRequestHandler;
    handler->setPrintClient(this);
    handler->moveToThread(thread);
    connect(this, &PrintClient::requestIPAddresses, m_worker, &PrintClientThreaded::getIPAddresses);
    connect(m_worker, &PrintClientThreaded::onGetAddresses, this, &PrintClient::onGetIPAddresses);
    connect(this, &PrintClient::requestPrinters, m_worker, &PrintClientThreaded::getPrinters);
    connect(this, &PrintClient::requestTpas, m_worker, &PrintClientThreaded::getTpas);
    connect(m_worker, &PrintClientThreaded::onGetPrinters, this, &PrintClient::onGetPrinters);
    connect(m_worker, &PrintClientThreaded::onGetTpas, this,
        qOverload<const QList<SerialPortDescription> &>(&PrintClient::onGetTpas));
    connect(this, &PrintClient::requestServer, m_worker, &PrintClientThreaded::getServer);
    connect(m_worker, &PrintClientThreaded::onGetServer, this, &PrintClient::onGetServer);
    connect(this, &QObject::destroyed, thread, &QThread::quit);
    connect(thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, handler, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();

    emit requestIPAddresses();
    emit requestPrinters();
    emit requestTpas();
    emit requestServer(m_serverActive, handler);
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
    if (m_listener) {
        if (on && !m_listener->isListening()) {
            m_listener->listen();
            m_message = tr("Serviço de impressão ligado");
            emit messageChanged(m_message);
        } else if (!on && m_listener->isListening()) {
            m_listener->close();
            m_message = tr("Serviço de impressão desligado");
            emit messageChanged(m_message);
        }
    }
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

void PrintClient::setRefreshIntervals(int printersMs, int terminalsMs, int notificationSweepMs)
{
    m_printerRefreshMs = printersMs;
    m_tpaRefreshMs = terminalsMs;
    m_notificationSweepMs = notificationSweepMs;
}

QList<QSharedPointer<Printer>> PrintClient::printerList() const
{
    QMutexLocker locker(&m_stateLock);
    return m_printers;
}

QList<Printer *> PrintClient::printerPointers() const
{
    return pointers(m_printers);
}

QQmlListProperty<Printer> PrintClient::printers()
{
    return QQmlListProperty<Printer>(
        this, nullptr, &PrintClient::printerListCount, &PrintClient::printerListAt);
}

int PrintClient::printerListCount(QQmlListProperty<Printer> *list)
{
    return static_cast<PrintClient *>(list->object)->m_printers.size();
}

Printer *PrintClient::printerListAt(QQmlListProperty<Printer> *list, int index)
{
    return static_cast<PrintClient *>(list->object)->m_printers.value(index).data();
}

void PrintClient::updatePrinters()
{
    m_fetching = true;
    emit fetchingChanged();
}

void PrintClient::onGetPrinters(const QList<QPrinterInfo> &infos)
{
    merge(
        m_stateLock, m_printers, infos,
        [](const Printer &printer, const QPrinterInfo &info) { return printer.name() == info.printerName(); },
        [](const QPrinterInfo &info) { return new Printer(info); });

    emit printersChanged();
    m_printersArrived = true;
    m_fetching = false;
    emit fetchingChanged();
    applyStartRule();
    if (m_printerTimer)
        m_printerTimer->start(m_printerRefreshMs);
}

QList<QSharedPointer<Notification>> PrintClient::notifications() const
{
    QMutexLocker locker(&m_stateLock);
    return m_notifications;
}

QList<Notification *> PrintClient::notificationPointers() const
{
    return pointers(notifications());
}

void PrintClient::setNotifications(const QList<Notification *> &records)
{
    {
        QMutexLocker locker(&m_stateLock);
        QList<QSharedPointer<Notification>> list;
        for (Notification *record : records) {
            const auto kept = std::find_if(m_notifications.cbegin(), m_notifications.cend(),
                [record](const QSharedPointer<Notification> &n) { return n == record; });
            list << (kept != m_notifications.cend() ? *kept : adopt(record));
        }
        m_notifications = list;
    }
    notify([this] { emit notificationsChanged(); });
}

void PrintClient::addNotification(Notification *record)
{
    // Records are made on connection threads; the list and its releases belong here.
    if (record->thread() != thread())
        record->moveToThread(thread());
    {
        QMutexLocker locker(&m_stateLock);
        m_notifications << adopt(record);
        while (m_notifications.size() > 20)
            m_notifications.removeFirst();
    }
    notify([this] { emit notificationsChanged(); });
}

void PrintClient::checkNotificationDelete()
{
    {
        QMutexLocker locker(&m_stateLock);
        const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
        for (int i = m_notifications.size() - 1; i >= 0; --i) {
            const QDateTime date = m_notifications.at(i)->dateTime();
            if (!date.isValid() || now - date.toMSecsSinceEpoch() / 1000 >= 1201)
                m_notifications.removeAt(i);
        }
    }
    m_notificationTimer->start(m_notificationSweepMs);
    emit notificationsChanged();
}

void PrintClient::setTerminalIntervals(const TpaWorker::Intervals &intervals)
{
    m_terminalIntervals = intervals;
}

void PrintClient::onGetServer(HttpListener *server)
{
    m_listener = server;
    m_serverArrived = true;
    applyStartRule();
}

QList<QSharedPointer<Tpa>> PrintClient::tpaList() const
{
    QMutexLocker locker(&m_stateLock);
    return m_tpas;
}

QList<Tpa *> PrintClient::tpaPointers() const
{
    return pointers(m_tpas);
}

QQmlListProperty<Tpa> PrintClient::tpas()
{
    return QQmlListProperty<Tpa>(this, nullptr, &PrintClient::tpaListCount, &PrintClient::tpaListAt);
}

int PrintClient::tpaListCount(QQmlListProperty<Tpa> *list)
{
    return static_cast<PrintClient *>(list->object)->m_tpas.size();
}

Tpa *PrintClient::tpaListAt(QQmlListProperty<Tpa> *list, int index)
{
    return static_cast<PrintClient *>(list->object)->m_tpas.value(index).data();
}

void PrintClient::updateTpas()
{
    m_fetching = true;
    emit fetchingChanged();
    emit requestTpas();
}

void PrintClient::onGetTpas(const QList<QSerialPortInfo> &ports)
{
    onGetTpas(SerialPortDescription::fromQt(ports));
}

void PrintClient::onGetTpas(const QList<SerialPortDescription> &ports)
{
    merge(
        m_stateLock, m_tpas, ports,
        [](const Tpa &tpa, const SerialPortDescription &port) {
            const SerialPortDescription kept = tpa.tpa();
            return port.vendorIdentifier() == kept.vendorIdentifier()
                && port.productIdentifier() == kept.productIdentifier() && port.portName() == kept.portName();
        },
        [this](const SerialPortDescription &port) -> Tpa * {
            if (m_ingenicoVendorIds.contains(port.vendorIdentifier()))
                return new Tpa(port, Tpa::Ingenico, nullptr, m_terminalIntervals);
            if (m_newnoteVendorIds.contains(port.vendorIdentifier()))
                return new Tpa(port, Tpa::Newnote, nullptr, m_terminalIntervals);
            return nullptr;
        });

    emit tpasChanged();
    m_tpasArrived = true;
    applyStartRule();
    if (m_tpaTimer)
        m_tpaTimer->start(m_tpaRefreshMs);
}
