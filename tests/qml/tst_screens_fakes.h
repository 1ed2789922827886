#pragma once

#include <QObject>
#include <QQmlListProperty>
#include <QStringList>

// Stand-ins with the QML-facing members of Printer, Tpa and PrintClient, so the screens can be
// driven without printers, serial ports or a server. Writes are counted for the assertions.

class FakePrinter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(bool state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool available READ available WRITE setAvailable NOTIFY availableChanged)

public:
    FakePrinter(const QString &name, bool state, bool available, QObject *parent = nullptr)
        : QObject(parent)
        , m_name(name)
        , m_state(state)
        , m_available(available)
    { }
    QString name() const { return m_name; }
    bool state() const { return m_state; }
    bool available() const { return m_available; }
    void setAvailable(const bool &value)
    {
        m_available = value;
        ++availableWrites;
        emit availableChanged(m_available);
    }

    int availableWrites = 0;

signals:
    void nameChanged(const QString &);
    void stateChanged(const bool &);
    void availableChanged(const bool &);

private:
    QString m_name;
    bool m_state;
    bool m_available;
};

class FakeTpa : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(bool available READ available WRITE setAvailable NOTIFY availableChanged)

public:
    FakeTpa(const QString &name, bool available, QObject *parent = nullptr)
        : QObject(parent)
        , m_name(name)
        , m_available(available)
    { }
    QString name() const { return m_name; }
    bool available() const { return m_available; }
    void setAvailable(const bool &value)
    {
        m_available = value;
        emit availableChanged(m_available);
    }

signals:
    void nameChanged(const QString &);
    void availableChanged(const bool &);

private:
    QString m_name;
    bool m_available;
};

class FakePrintClient : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool started READ started WRITE setStarted NOTIFY startedChanged)
    Q_PROPERTY(bool hasUpdate READ hasUpdate WRITE setHasUpdate NOTIFY hasUpdateChanged)
    Q_PROPERTY(bool serverActive READ serverActive WRITE setServerActive NOTIFY serverActiveChanged)
    Q_PROPERTY(QString securityKey READ securityKey NOTIFY securityKeyChanged)
    Q_PROPERTY(QStringList ipAddresses READ ipAddresses NOTIFY ipAddressesChanged)
    Q_PROPERTY(QQmlListProperty<FakePrinter> printers READ printers NOTIFY printersChanged)
    Q_PROPERTY(QQmlListProperty<FakeTpa> tpas READ tpas NOTIFY tpasChanged)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(bool firstStartup READ firstStartup NOTIFY firstStartupChanged)
    Q_PROPERTY(bool isDebugMode READ isDebugMode NOTIFY isDebugModeChanged)
    Q_PROPERTY(QStringList debugMessages READ debugMessages NOTIFY debugMessagesChanged)
    Q_PROPERTY(QString language READ language NOTIFY languageChanged)
    Q_PROPERTY(bool compatibilityMode READ compatibilityMode WRITE setCompatibilityMode NOTIFY
            compatibilityModeChanged)
    Q_PROPERTY(bool fetching READ fetching NOTIFY fetchingChanged)

public:
    using QObject::QObject;

    bool started() const { return m_started; }
    void setStarted(bool value)
    {
        m_started = value;
        emit startedChanged(value);
    }
    bool hasUpdate() const { return m_hasUpdate; }
    void setHasUpdate(bool value)
    {
        m_hasUpdate = value;
        emit hasUpdateChanged(value);
    }
    bool serverActive() const { return m_serverActive; }
    void setServerActive(bool value)
    {
        m_serverActive = value;
        ++serverActiveWrites;
        emit serverActiveChanged(value);
    }
    QString securityKey() const { return m_securityKey; }
    QStringList ipAddresses() const { return m_ipAddresses; }
    void setIpAddresses(const QStringList &value)
    {
        m_ipAddresses = value;
        emit ipAddressesChanged(value);
    }
    QQmlListProperty<FakePrinter> printers() { return { this, &printerList }; }
    QQmlListProperty<FakeTpa> tpas() { return { this, &tpaList }; }
    QString message() const { return m_message; }
    void setMessage(const QString &value)
    {
        m_message = value;
        emit messageChanged(value);
    }
    bool firstStartup() const { return m_firstStartup; }
    void setFirstStartup(bool value) { m_firstStartup = value; }
    bool isDebugMode() const { return m_isDebugMode; }
    void setIsDebugMode(bool value)
    {
        m_isDebugMode = value;
        emit isDebugModeChanged(value);
    }
    QStringList debugMessages() const { return m_debugMessages; }
    void setDebugMessages(const QStringList &value)
    {
        m_debugMessages = value;
        emit debugMessagesChanged(value);
    }
    QString language() const { return m_language; }
    void setLanguage(const QString &value)
    {
        m_language = value;
        emit languageChanged(value);
    }
    bool compatibilityMode() const { return m_compatibilityMode; }
    void setCompatibilityMode(bool value)
    {
        m_compatibilityMode = value;
        emit compatibilityModeChanged(value);
    }
    bool fetching() const { return m_fetching; }
    void setFetching(bool value)
    {
        m_fetching = value;
        emit fetchingChanged();
    }

    FakePrinter *addPrinter(const QString &name, bool state, bool available)
    {
        auto *printer = new FakePrinter(name, state, available, this);
        printerList.append(printer);
        emit printersChanged();
        return printer;
    }
    FakeTpa *addTpa(const QString &name, bool available)
    {
        auto *tpa = new FakeTpa(name, available, this);
        tpaList.append(tpa);
        emit tpasChanged();
        return tpa;
    }

    QList<FakePrinter *> printerList;
    QList<FakeTpa *> tpaList;
    QStringList clipboardTexts;
    int serverActiveWrites = 0;
    int updatePrintersCalls = 0;
    int updateTpasCalls = 0;

public slots:
    void clipboard(const QString &text) { clipboardTexts.append(text); }
    void updatePrinters() { ++updatePrintersCalls; }
    void updateTpas() { ++updateTpasCalls; }

signals:
    void startedChanged(const bool &);
    void serverActiveChanged(const bool &);
    void securityKeyChanged(const QString &);
    void ipAddressesChanged(const QStringList &);
    void printersChanged();
    void tpasChanged();
    void messageChanged(const QString &);
    void firstStartupChanged(const bool &);
    void isDebugModeChanged(const bool &);
    void debugMessagesChanged(const QStringList &);
    void showWindow();
    void hasUpdateChanged(const bool &);
    void languageChanged(const QString &);
    void compatibilityModeChanged(const bool &);
    void fetchingChanged();

private:
    bool m_started = false;
    bool m_hasUpdate = false;
    bool m_serverActive = true;
    QString m_securityKey = QStringLiteral("Zk3aQ0xMv4.0");
    QStringList m_ipAddresses;
    QString m_message;
    bool m_firstStartup = true;
    bool m_isDebugMode = false;
    QStringList m_debugMessages;
    QString m_language = QStringLiteral("pt");
    bool m_compatibilityMode = false;
    bool m_fetching = false;
};
