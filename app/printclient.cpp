#include "printclient.h"

#include "apiserverconfig.h"
#include "applog.h"
#include "httplistener.h"
#include "instancewatch.h"
#include "journal.h"
#include "notification.h"
#include "printclientrequesthandler.h"
#include "printer.h"
#include "servicethreads.h"
#include "startup.h"
#include "terminaljournal.h"
#include "testreceipt.h"
#include "tpa.h"
#include "updatechecker.h"
#include "virtualprinter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QNetworkInterface>
#include <QQmlEngine>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslSocket>
#include <QThread>
#include <QTimer>
#include <QtQml>

namespace {

// 8 characters of the standard Base64 alphabet drawn from the system's random source
// (48 bits), then the key format's version suffix.
QString generateSecurityKey()
{
    QByteArray bytes(6, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(bytes.toBase64()) + QStringLiteral("v4.0");
}

// The window reads list entries, but the lists own them.
template<typename T> T *keptByCpp(T *object)
{
    if (object)
        QQmlEngine::setObjectOwnership(object, QQmlEngine::CppOwnership);
    return object;
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
    , m_updateChecker(new UpdateChecker(this))
    , m_instanceWatch(new InstanceWatch(this))
    , m_localTrust(new LocalTrust(this))
{
    connect(m_updateChecker, &UpdateChecker::checked, this, &PrintClient::onUpdateChecked);
    connect(m_instanceWatch, &InstanceWatch::showWindow, this, &PrintClient::showWindow);
    connect(&m_notifications, &NotificationStore::changed, this, &PrintClient::notificationsChanged);
    m_journal = new Journal(Journal::defaultPath(), JournalLimits(), JournalStore::Clock(), this);
    m_terminalJournal = std::make_unique<TerminalJournal>(m_journal);
    m_tpas.setJournal(m_terminalJournal.get());
    // Said on the thread whose write failed; the window hears it on its own.
    connect(
        m_journal, &Journal::becameUnavailable, this, &PrintClient::journalUnavailable, Qt::QueuedConnection);
    if (!m_journal->isAvailable())
        journalUnavailable(m_journal->problem());
    VirtualPrinter::continueAfter(
        m_journal->run([](JournalStore &store) { return store.lastJobId(VirtualPrinter::printerName()); }));
    // Tests of the whole program that unplug terminals shorten the serial-port refresh.
    if (const int ms = qEnvironmentVariableIntValue("VARNEL_SERIAL_REFRESH_MS"); ms > 0)
        m_tpaRefreshMs = ms;
}

PrintClient::~PrintClient() = default;

void PrintClient::journalUnavailable(const QString &problem)
{
    qCWarning(
        lcApp, "the journal cannot be kept (%s): requests with a requestId are refused", qPrintable(problem));
    setMessage(tr("O histórico de talões e pagamentos não pode ser guardado: %1").arg(problem));
}

void PrintClient::registerQmlTypes()
{
    qmlRegisterType<Printer>("Printer", 1, 0, "Printer");
    qmlRegisterUncreatableMetaObject(PrinterStatus::staticMetaObject, "Printer", 1, 0, "PrinterStatus",
        QStringLiteral("enumerations only"));
    qmlRegisterType<Tpa>("Tpa", 1, 0, "Tpa");
}

void PrintClient::startup()
{
    m_updateChecker->setCurrentVersion(curVersion());

    m_printerTimer = new QTimer(this);
    m_printerTimer->setSingleShot(true);
    connect(m_printerTimer, &QTimer::timeout, this, &PrintClient::requestPrinters);
    m_tpaTimer = new QTimer(this);
    m_tpaTimer->setSingleShot(true);
    connect(m_tpaTimer, &QTimer::timeout, this, &PrintClient::refreshTpas);
    m_notificationTimer = new QTimer(this);
    m_notificationTimer->setSingleShot(true);
    connect(m_notificationTimer, &QTimer::timeout, this, &PrintClient::checkNotificationDelete);
    m_notificationTimer->start(m_notificationSweepMs);

    readSettings();

    m_instanceWatch->start();
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

    // The queues' reading answers after start-up, and with it the start rule's last condition.
    m_threads = std::make_unique<ServiceThreads>(this, &m_jobWatch);
    connect(this, &PrintClient::requestPrinters, m_threads.get(), &ServiceThreads::requestPrinters);
    connect(m_threads.get(), &ServiceThreads::queuesPolled, this, &PrintClient::onQueuesPolled);

    // The listener reads the key pair from files; without them it stays closed.
    m_localTrust->prepare();

    onGetIPAddresses(QNetworkInterface::allAddresses());
    emit requestPrinters();
    refreshTpas();
    auto listener = new HttpListener(ApiServerConfig::make(), m_threads->requestHandler(), this);
    if (!m_serverActive)
        listener->close();
    onGetServer(listener);
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
            setMessage(tr("Serviço de impressão ligado"));
        } else if (!on && m_listener->isListening()) {
            m_listener->close();
            setMessage(tr("Serviço de impressão desligado"));
        }
    }
    m_serverActive = on;
    m_settings.setValue(QStringLiteral("serverActive"), on);
    m_settings.sync();
    qCDebug(lcApp) << "TLS library:" << QSslSocket::sslLibraryVersionString();
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

void PrintClient::setDebugMessages(const QStringList &messages)
{
    m_debugMessages = messages;
    emit debugMessagesChanged(m_debugMessages);
}

// From the project's version: "v4.1.0" in the window, "410" for the API and the update check.
QString PrintClient::version() const
{
    return QStringLiteral("v%1.%2.%3")
        .arg(VARNEL_VERSION_MAJOR)
        .arg(VARNEL_VERSION_MINOR)
        .arg(VARNEL_VERSION_PATCH);
}

QString PrintClient::curVersion() const
{
    return version().mid(1).remove(QLatin1Char('.'));
}

QString PrintClient::device() const
{
    return QStringLiteral("desktop");
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

void PrintClient::clipboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void PrintClient::onGetIPAddresses(const QList<QHostAddress> &addresses)
{
    m_ipAddresses.clear();
    // The addresses the window shows: IPv4 ones that are not loopback, in the order given.
    for (const QHostAddress &address : addresses) {
        if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol)
            m_ipAddresses << address.toString();
    }
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
    m_instanceWatch->setKicked();
}

void PrintClient::checkOpeness()
{
    m_instanceWatch->checkOpeness();
}

void PrintClient::checkNewVersion()
{
    m_updateChecker->checkNewVersion();
}

void PrintClient::onUpdateChecked(bool hasNewVersion)
{
    if (hasNewVersion)
        setMessage(tr("Existe uma nova versão do Varnel. Clique aqui para atualizar."));
    setHasUpdate(hasNewVersion);
}

void PrintClient::setRefreshIntervals(int printersMs, int terminalsMs, int notificationSweepMs)
{
    m_printerRefreshMs = printersMs;
    m_tpaRefreshMs = terminalsMs;
    m_notificationSweepMs = notificationSweepMs;
}

QList<QSharedPointer<Printer>> PrintClient::printerList() const
{
    return m_printers.snapshot();
}

QList<Printer *> PrintClient::printerPointers() const
{
    return pointers(m_printers.snapshot());
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
    return keptByCpp(static_cast<PrintClient *>(list->object)->m_printers.at(index));
}

void PrintClient::updatePrinters()
{
    m_fetching = true;
    emit fetchingChanged();
}

void PrintClient::printTest(const QString &printerName)
{
    QSharedPointer<Printer> printer;
    for (const QSharedPointer<Printer> &candidate : m_printers.snapshot()) {
        if (candidate->name() == printerName)
            printer = candidate;
    }
    if (!printer) {
        emit testPrinted(printerName, tr("A impressora já não existe"));
        return;
    }
    const QJsonArray job = TestReceipt::job(printerName);
    const bool compatibility = compatibilityMode();
    // A print job blocks until CUPS has it; the window must not wait for that.
    const auto error = QSharedPointer<QString>::create();
    QThread *thread = QThread::create([this, printer, job, compatibility, error] {
        const int jobId = printer->print(job, compatibility, error.data());
        if (jobId > 0)
            watchJob(printer->name(), jobId);
        else if (error->isEmpty())
            *error = tr("A impressora não aceitou o trabalho");
    });
    connect(thread, &QThread::finished, this,
        [this, printerName, error] { emit testPrinted(printerName, *error); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

QString PrintClient::previewTest(const QString &printerName) const
{
    QString error;
    QSize size;
    const QByteArray png
        = Printer::preview(TestReceipt::job(printerName), compatibilityMode(), &size, &error);
    if (png.isEmpty())
        return QString();
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

void PrintClient::onGetPrinters(const QList<PrinterStatus> &queues)
{
    m_printers.merge(queues);
    printersRead();
}

void PrintClient::printersRead()
{
    emit printersChanged();
    m_printersArrived = true;
    m_fetching = false;
    emit fetchingChanged();
    applyStartRule();
    if (m_printerTimer)
        m_printerTimer->start(m_printerRefreshMs);
}

void PrintClient::onQueuesPolled(const QueuePoller::Result &result)
{
    if (result.answered) {
        onGetPrinters(result.queues);
    } else {
        // The queues are not known to be gone: they stay, as not reachable, until an answer.
        m_printers.markUnreachable();
        printersRead();
    }
    // The tray tells once when a printer with a job waiting runs out of paper, and once when it
    // has paper again.
    for (const PrinterStatus &queue : qAsConst(result.queues)) {
        const bool out = queue.situation() == PrinterStatus::OutOfPaper;
        if (out && queue.queuedJobs > 0 && !m_paperOutTold.contains(queue.name)) {
            m_paperOutTold.insert(queue.name);
            setMessage(tr("Impressora %1: sem papel; o talão espera pelo papel.").arg(queue.name));
        } else if (!out && m_paperOutTold.remove(queue.name)) {
            setMessage(tr("Impressora %1: de novo com papel.").arg(queue.name));
        }
    }
    // How the jobs sent ended, for /getJobStatus once the scheduler has let them go.
    for (const JobStatus &job : qAsConst(result.jobs)) {
        if (job.id > 0 && job.finished())
            m_journal->run(
                [&](JournalStore &store) { store.jobEnded(job.printer, job.id, job.stateName()); });
    }
    const QList<QSharedPointer<Printer>> printers = m_printers.snapshot();
    for (const JobStatus &job : m_jobWatch.update(result.jobs, QDateTime::currentMSecsSinceEpoch())) {
        // A job can fail on a printer that looks fine; that much is an error.
        int situation = PrinterStatus::Error;
        for (const QSharedPointer<Printer> &printer : printers) {
            if (printer->name() == job.printer && printer->situation() < PrinterStatus::Busy)
                situation = printer->situation();
        }
        setMessage((job.state == JobStatus::Aborted ? tr("Impressora %1: o talão não foi impresso (%2).")
                                                    : tr("Impressora %1: o talão está parado (%2)."))
                       .arg(job.printer, situationText(situation)));
    }
}

QString PrintClient::situationText(int situation) const
{
    switch (situation) {
    case PrinterStatus::Ready:
        return tr("Pronta");
    case PrinterStatus::Busy:
        return tr("A imprimir");
    case PrinterStatus::OutOfPaper:
        return tr("Sem papel");
    case PrinterStatus::CoverOpen:
        return tr("Tampa aberta");
    case PrinterStatus::Offline:
        return tr("Desligada");
    case PrinterStatus::Paused:
        return tr("Em pausa");
    case PrinterStatus::PaperLow:
        return tr("Papel a acabar");
    }
    return tr("Erro");
}

void PrintClient::watchJob(const QString &printer, int jobId)
{
    m_jobWatch.add(printer, jobId);
}

QList<QSharedPointer<Notification>> PrintClient::notifications() const
{
    return m_notifications.records();
}

void PrintClient::addNotification(Notification *record)
{
    m_notifications.add(record);
}

void PrintClient::checkNotificationDelete()
{
    m_notifications.sweep(QDateTime::currentMSecsSinceEpoch() / 1000);
    m_notificationTimer->start(m_notificationSweepMs);
}

void PrintClient::onGetServer(HttpListener *server)
{
    m_listener = server;
    m_serverArrived = true;
    applyStartRule();
}

QList<QSharedPointer<Tpa>> PrintClient::tpaList() const
{
    return m_tpas.snapshot();
}

QList<Tpa *> PrintClient::tpaPointers() const
{
    return pointers(m_tpas.snapshot());
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
    return keptByCpp(static_cast<PrintClient *>(list->object)->m_tpas.at(index));
}

void PrintClient::updateTpas()
{
    m_fetching = true;
    emit fetchingChanged();
    refreshTpas();
}

void PrintClient::refreshTpas()
{
    onGetTpas(SerialPortDescription::availablePorts());
}

void PrintClient::onGetTpas(const QList<SerialPortDescription> &ports)
{
    m_tpas.merge(ports);
    emit tpasChanged();
    m_tpasArrived = true;
    applyStartRule();
    if (m_tpaTimer)
        m_tpaTimer->start(m_tpaRefreshMs);
}
