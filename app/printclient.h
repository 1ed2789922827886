#pragma once

#include "apibackend.h"
#include "historymodel.h"
#include "jobwatch.h"
#include "localtrust.h"
#include "notificationstore.h"
#include "printerlist.h"
#include "queuepoller.h"
#include "serialportdescription.h"
#include "tpalist.h"

#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QQmlListProperty>
#include <QSet>
#include <QSettings>
#include <QSharedPointer>
#include <QStringList>

#include <memory>

class HttpListener;
class Journal;
class TerminalJournal;
class InstanceWatch;
class Notification;
class Printer;
class ServiceThreads;
class Tpa;
class UpdateChecker;
class QTimer;

// The program's one controller: the state the window shows and the API serves, its
// persistent settings, and the timers that keep it fresh. The device lists, the notification
// store, the update check and the instance watch are objects of their own; the controller
// publishes them to the window and to the API. Lives on the user-interface thread; the API's
// connection threads only read it through the locked getters and the lists' snapshots.
class PrintClient : public QObject, public ApiBackend
{
    Q_OBJECT
    Q_PROPERTY(bool started READ started NOTIFY startedChanged)
    Q_PROPERTY(bool hasUpdate READ hasUpdate WRITE setHasUpdate NOTIFY hasUpdateChanged)
    Q_PROPERTY(bool serverActive READ serverActive WRITE setServerActive NOTIFY serverActiveChanged)
    Q_PROPERTY(QString securityKey READ securityKey WRITE setSecurityKey NOTIFY securityKeyChanged)
    Q_PROPERTY(QStringList ipAddresses READ ipAddresses NOTIFY ipAddressesChanged)
    Q_PROPERTY(QQmlListProperty<Printer> printers READ printers NOTIFY printersChanged)
    Q_PROPERTY(QQmlListProperty<Tpa> tpas READ tpas NOTIFY tpasChanged)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(bool firstStartup READ firstStartup NOTIFY firstStartupChanged)
    Q_PROPERTY(bool isDebugMode READ isDebugMode WRITE setIsDebugMode NOTIFY isDebugModeChanged)
    Q_PROPERTY(
        QStringList debugMessages READ debugMessages WRITE setDebugMessages NOTIFY debugMessagesChanged)
    Q_PROPERTY(QString language READ language CONSTANT)
    Q_PROPERTY(bool compatibilityMode READ compatibilityMode WRITE setCompatibilityMode NOTIFY
            compatibilityModeChanged)
    Q_PROPERTY(bool fetching READ fetching NOTIFY fetchingChanged)
    Q_PROPERTY(LocalTrust *localTrust READ localTrust CONSTANT)
    Q_PROPERTY(HistoryModel *history READ history CONSTANT)

public:
    explicit PrintClient(QObject *parent = nullptr);
    ~PrintClient() override;

    // The types the screens use: Printer, PrinterStatus's enumerations and Tpa.
    static void registerQmlTypes();

    void startup();
    void readSettings();

    bool started() const { return m_started; }
    bool hasUpdate() const { return m_hasUpdate; }
    void setHasUpdate(bool hasUpdate);
    bool serverActive() const { return m_serverActive; }
    void setServerActive(bool on);
    QString securityKey() const override;
    void setSecurityKey(const QString &key);
    QStringList ipAddresses() const { return m_ipAddresses; }
    QString message() const { return m_message; }
    void setMessage(const QString &message);
    bool firstStartup() const { return m_firstStartup; }
    bool isDebugMode() const { return m_isDebugMode; }
    void setIsDebugMode(bool on);
    // On the controller's thread; DebugList brings the log's lines there.
    QStringList debugMessages() const { return m_debugMessages; }
    void setDebugMessages(const QStringList &messages);
    QString version() const;
    QString curVersion() const override;
    QString device() const override;
    QString language() const;
    bool compatibilityMode() const override;
    void setCompatibilityMode(bool on);
    // Follows a job sent to a printer: the user hears once if it ends aborted or stays stopped.
    void watchJob(const QString &printer, int jobId) override;
    Journal *journal() const override { return m_journal; }
    bool fetching() const { return m_fetching; }
    LocalTrust *localTrust() const { return m_localTrust; }
    // The day's receipts and payments, for the history screen.
    HistoryModel *history() { return &m_history; }

    // Snapshots for any thread: an object stays alive while a snapshot holds it, even when
    // a refresh or a sweep has taken it out of the list meanwhile.
    QList<QSharedPointer<Printer>> printerList() const override;
    QList<QSharedPointer<Notification>> notifications() const override;
    QList<QSharedPointer<Tpa>> tpaList() const override;

    // For the window, on the controller's thread.
    QQmlListProperty<Printer> printers();
    QList<Printer *> printerPointers() const;
    QQmlListProperty<Tpa> tpas();
    QList<Tpa *> tpaPointers() const;
    // Appends a record (ownership passes to the list); the oldest go beyond 20. Any thread.
    void addNotification(Notification *record) override;

    // Refresh and sweep intervals (3 s, 30 s, 60 s by default); tests shorten them.
    void setRefreshIntervals(int printersMs, int terminalsMs, int notificationSweepMs);

signals:
    void startedChanged(const bool &started);
    void serverActiveChanged(const bool &serverActive);
    void securityKeyChanged(const QString &securityKey);
    void ipAddressesChanged(const QStringList &ipAddresses);
    void printersChanged();
    void tpasChanged();
    void messageChanged(const QString &message);
    void firstStartupChanged(const bool &firstStartup);
    void isDebugModeChanged(const bool &isDebugMode);
    void debugMessagesChanged(const QStringList &debugMessages);
    void notificationsChanged();
    void showWindow();
    void hasUpdateChanged(const bool &hasUpdate);
    void compatibilityModeChanged(const bool &compatibilityMode);
    void requestPrinters();
    void fetchingChanged();
    // error is empty when the test receipt was sent.
    void testPrinted(const QString &printerName, const QString &error);

public slots:
    Q_INVOKABLE void clipboard(const QString &text);
    Q_INVOKABLE void updatePrinters();
    Q_INVOKABLE void updateTpas();
    // The test receipt on the named printer through the normal path, off the window's thread; the
    // outcome comes with testPrinted.
    Q_INVOKABLE void printTest(const QString &printerName);
    // The test receipt as the paper would look, as a data URL for an Image; empty if it cannot be drawn.
    Q_INVOKABLE QString previewTest(const QString &printerName) const;
    // A printer's situation (PrinterStatus::Situation) in words.
    Q_INVOKABLE QString situationText(int situation) const;
    void onGetIPAddresses(const QList<QHostAddress> &addresses);
    void onGetPrinters(const QList<PrinterStatus> &queues);
    void onQueuesPolled(const QueuePoller::Result &result);
    void onGetTpas(const QList<SerialPortDescription> &ports);
    void onGetServer(HttpListener *server);
    void setKicked();
    void checkOpeness();
    void checkNewVersion();
    void checkNotificationDelete();

private:
    void applyStartRule();
    // Reads the serial ports afresh (a quick, local enumeration).
    void refreshTpas();
    // Said in the window and the log when the journal cannot be opened or written.
    void journalUnavailable(const QString &problem);
    // After every reading of the queues, answered or not.
    void printersRead();
    void onUpdateChecked(bool hasNewVersion);
    static int printerListCount(QQmlListProperty<Printer> *list);
    static Printer *printerListAt(QQmlListProperty<Printer> *list, int index);
    static int tpaListCount(QQmlListProperty<Tpa> *list);
    static Tpa *tpaListAt(QQmlListProperty<Tpa> *list, int index);

    QSettings m_settings;
    HttpListener *m_listener = nullptr;
    UpdateChecker *m_updateChecker;
    InstanceWatch *m_instanceWatch;
    LocalTrust *m_localTrust;
    QTimer *m_notificationTimer = nullptr;
    QTimer *m_printerTimer = nullptr;
    QTimer *m_tpaTimer = nullptr;
    bool m_addressesArrived = false;
    bool m_printersArrived = false;
    bool m_tpasArrived = false;
    bool m_serverArrived = false;
    bool m_started = false;
    bool m_serverActive = false;
    QStringList m_ipAddresses;
    QString m_message;
    bool m_firstStartup = true;
    bool m_hasUpdate = false;
    bool m_fetching = false;
    bool m_isDebugMode = false;
    QStringList m_debugMessages;
    int m_printerRefreshMs = 3000;
    int m_tpaRefreshMs = 30000;
    int m_notificationSweepMs = 60000;

    // Made before the terminals, which file their texts in it, and kept until the program ends.
    Journal *m_journal = nullptr;
    std::unique_ptr<TerminalJournal> m_terminalJournal;
    PrinterList m_printers;
    JobWatch m_jobWatch;
    // Stopped before the job watch it reads goes.
    std::unique_ptr<ServiceThreads> m_threads;
    // Printers out of paper with a job waiting, whose running out the tray has told.
    QSet<QString> m_paperOutTold;
    TpaList m_tpas;
    NotificationStore m_notifications;
    HistoryModel m_history { this };

    // Guards what the API's connection threads read.
    mutable QMutex m_stateLock;
    bool m_compatibilityMode = false; // guarded by m_stateLock
    QString m_securityKey; // guarded by m_stateLock
};
