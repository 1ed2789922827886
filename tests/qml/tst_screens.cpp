#include "cupsscheduler.h"
#include "httplistener.h"
#include "printclient.h"
#include "printer.h"
#include "testhttpclient.h"
#include "testsupport.h"
#include "tinyhttpsserver.h"
#include "tpa.h"
#include "tst_screens_controller.h"
#include "tst_screens_harness.h"
#include "xvfbdisplay.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSystemTrayIcon>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QtQml>

#include <functional>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

static XvfbDisplay display;

// The window, its screens and the tray icon, driven through real mouse clicks in a real window
// on an X server of the test's own, bound to the program's controller, its printers from a
// private CUPS scheduler and its terminals.
class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void splashUntilStarted();
    void updatePromptHoldsAfterLater();
    void serviceSwitchWritesServerActive();
    void trayMenuFollowsServiceAndLanguage();
    void windowHiddenAtStartWhenKeyStored();
    void closingHidesWindow();
    void printerSwitchWritesAvailable();
    void printerNameCopiedOnlyInDebugMode();
    void testReceiptPrintedAndPreviewed();
    void refreshKeepsRowsAndPlace();
    void emptyPrinterList();
    void terminalList();
    void busyOverlayWhileFetching();
    void terminalsCardHiddenInSpanish_data();
    void terminalsCardHiddenInSpanish();
    void copyFeedbackDisappears();
    void footerLinks_data();
    void footerLinks();
    void logScreen();
    void aboutOverlay();
    void screenshots_data();
    void screenshots();
    void catalogsFinished();
    void trayIconFollowsServerActive();
    void withoutTrayAlwaysFound();

private:
    static void waitShown(ScreenHarness &harness, const QString &objectName);
    static QWidget *trayIconWidget();
    static QColor dominantIconColour(QWidget *icon);
    static bool balloonShows(const QString &text);
    static void activateTray(QObject *tray, int reason);
    enum TrayReason { Context = 1, Trigger = 3 };

    CupsScheduler m_cups;
    std::unique_ptr<QTemporaryDir> m_settings;
    // Where the virtual serial ports of the terminal tests would be; nothing is ever there.
    QTemporaryDir m_ports;
};

// The controller as the program starts it, against the private scheduler, with the update
// service out of reach unless the test points VARNEL_UPDATE_URL elsewhere.
static Controller startedController(
    const QString &language = QStringLiteral("pt"), int printerRefreshMs = 3000)
{
    Controller client(new ScreenController(language));
    client->setRefreshIntervals(printerRefreshMs, 30000, 60000);
    client->startup();
    return client;
}

// The service tests need the program's own port; another program holding it fails them here.
static bool serviceListening(PrintClient &client)
{
    return client.listener() && client.listener()->isListening();
}

static Printer *printerNamed(PrintClient &client, const QString &name)
{
    for (Printer *printer : client.printerPointers()) {
        if (printer->name() == name)
            return printer;
    }
    return nullptr;
}

// What "/getPrinters" lists, asked over HTTPS on the controller's own listener.
static bool listedPrinters(PrintClient &client, QStringList *names)
{
    TestHttpClient http(true);
    if (!serviceListening(client) || !http.connectTo(client.listener()->serverPort()))
        return false;
    http.send("GET /getPrinters HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer "
        + client.securityKey().toUtf8() + "\r\n\r\n");
    TestHttpResponse response;
    if (!http.readResponse(&response) || response.status != 200)
        return false;
    const QJsonObject reply = QJsonDocument::fromJson(response.body).object();
    if (!reply.value(QStringLiteral("status")).toBool())
        return false;
    names->clear();
    for (const QJsonValue &name : reply.value(QStringLiteral("data")).toArray())
        names->append(name.toString());
    return true;
}

void TestScreens::initTestCase()
{
    // Before the first printer lookup of the process.
    QVERIFY(m_cups.start());
    QVERIFY(m_ports.isValid());
    // The update service of one test is a local server with the test certificate.
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificate(TinyHttpsServer::certificate());
    QSslConfiguration::setDefaultConfiguration(config);
    // As the entry point registers them.
    qmlRegisterType<PrintClient>("PrintClient", 1, 0, "PrintClient");
    qmlRegisterType<Printer>("Printer", 1, 0, "Printer");
    qmlRegisterType<Tpa>("Tpa", 1, 0, "Tpa");
    for (const char *language : { "en", "es", "pt", "pt_BR" })
        QVERIFY2(QFileInfo::exists(ScreenHarness::catalogPath(QLatin1String(language)) + ".qm"), language);
}

void TestScreens::cleanupTestCase()
{
    m_cups.stop();
}

void TestScreens::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    QVERIFY(m_settings->isValid());
    TestSupport::useTemporarySettings(*m_settings);
    // Nothing listens on port 1: the update check fails at once.
    qputenv("VARNEL_UPDATE_URL", "https://127.0.0.1:1");
    qunsetenv("VARNEL_EXTRA_SERIAL_PORTS");
}

void TestScreens::cleanup()
{
    QVERIFY(m_cups.removeAllQueues());
}

void TestScreens::waitShown(ScreenHarness &harness, const QString &objectName)
{
    QQuickItem *item = harness.item(objectName);
    QVERIFY2(item, qPrintable(objectName));
    QTRY_VERIFY2(ScreenHarness::shown(item), qPrintable(objectName));
    QTRY_COMPARE(item->opacity(), 1.0);
}

QWidget *TestScreens::trayIconWidget()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QSystemTrayIconSys") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

QColor TestScreens::dominantIconColour(QWidget *icon)
{
    const QColor candidates[] = { QColor("#0082F2"), QColor("#8F9EB9") };
    int counts[2] = { 0, 0 };
    const QImage image = icon->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            for (int i = 0; i < 2; ++i) {
                if (qAbs(pixel.red() - candidates[i].red()) + qAbs(pixel.green() - candidates[i].green())
                        + qAbs(pixel.blue() - candidates[i].blue())
                    < 24)
                    ++counts[i];
            }
        }
    }
    if (counts[0] == counts[1])
        return QColor();
    return counts[0] > counts[1] ? candidates[0] : candidates[1];
}

// Emits the tray icon's activated(reason) as the platform would; the reasons are those of
// QPlatformSystemTrayIcon::ActivationReason.
void TestScreens::activateTray(QObject *tray, int reason)
{
    const QMetaObject *meta = tray->metaObject();
    const QMetaMethod activated
        = meta->method(meta->indexOfSignal("activated(QPlatformSystemTrayIcon::ActivationReason)"));
    QVERIFY(activated.isValid());
    QVERIFY(activated.invoke(tray, QGenericArgument("QPlatformSystemTrayIcon::ActivationReason", &reason)));
}

bool TestScreens::balloonShows(const QString &text)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!widget->inherits("QBalloonTip") || !widget->isVisible())
            continue;
        for (QLabel *label : widget->findChildren<QLabel *>()) {
            if (label->text() == text)
                return true;
        }
    }
    return false;
}

void TestScreens::splashUntilStarted()
{
    Controller client(new ScreenController(QStringLiteral("pt")));
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));

    QCOMPARE(harness.screenState(), QStringLiteral("loading"));
    waitShown(harness, QStringLiteral("splash"));
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("splashBusy"))));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("updatePrompt"))));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("linkAbout"))));

    client->startup();
    QVERIFY(client->started());
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
    waitShown(harness, QStringLiteral("initialScreen"));
    QTRY_VERIFY(!harness.item(QStringLiteral("splash"))->isVisible());
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("linkAbout"))));
}

void TestScreens::updatePromptHoldsAfterLater()
{
    TinyHttpsServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    server.setReply(R"({"hasNewVersion": true})");
    qputenv("VARNEL_UPDATE_URL", QByteArray("https://localhost:") + QByteArray::number(server.serverPort()));
    Controller client(new ScreenController(QStringLiteral("pt")));
    // The update service is asked again 100 ms after each answer.
    client->setUpdateCheckIntervals(10000, 100);
    client->startup();
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));

    // The answer arrives while the window shows, and brings the prompt.
    QTRY_VERIFY(client->hasUpdate());
    QCOMPARE(harness.screenState(), QStringLiteral("loading"));
    waitShown(harness, QStringLiteral("splash"));
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("updatePrompt"))));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("splashBusy"))));

    harness.click(harness.item(QStringLiteral("updateButton")));
    QCOMPARE(harness.urls.urls, { QUrl(QStringLiteral("https://www.tesmar.pt/varnel/download")) });
    QCOMPARE(harness.screenState(), QStringLiteral("loading"));

    harness.click(harness.item(QStringLiteral("laterButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
    waitShown(harness, QStringLiteral("initialScreen"));

    // The next checks find the update again; from now on only navigation moves the window.
    const int asked = server.requests().size();
    QTRY_VERIFY(server.requests().size() >= asked + 2);
    QVERIFY(client->hasUpdate());
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
    client->setStarted(false);
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::serviceSwitchWritesServerActive()
{
    Controller client = startedController();
    QVERIFY2(serviceListening(*client), "port 5080 is in use by another program");
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    QQuickItem *serviceSwitch = harness.item(QStringLiteral("serviceSwitch"));
    QQuickItem *label = harness.item(QStringLiteral("serviceLabel"));
    QObject *tray = harness.object(QStringLiteral("tray"));
    QObject *trayService = harness.trayMenuItem(1);
    QVERIFY(serviceSwitch && label && tray && trayService);
    QCOMPARE(serviceSwitch->property("checked").toBool(), true);
    QCOMPARE(label->property("text").toString(), QStringLiteral("Ativado"));
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_on.png")));

    // Off: stored at once, the listener closed, and the controller says so.
    const quint16 port = client->listener()->serverPort();
    QCOMPARE(port, quint16(5080));
    harness.click(serviceSwitch);
    QCOMPARE(client->serverActive(), false);
    QCOMPARE(QSettings().value(QStringLiteral("serverActive")).toBool(), false);
    QVERIFY(!client->listener()->isListening());
    QCOMPARE(client->message(), QStringLiteral("Serviço de impressão desligado"));
    QTcpSocket refused;
    refused.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!refused.waitForConnected(5000));
    QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);
    QCOMPARE(serviceSwitch->property("checked").toBool(), false);
    QCOMPARE(label->property("text").toString(), QStringLiteral("Desativado"));
    QCOMPARE(trayService->property("text").toString(), QStringLiteral("Ligar serviço"));
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_off.png")));

    // The tray menu switches it back on, and the start screen follows.
    QMetaObject::invokeMethod(trayService, "triggered");
    QCOMPARE(client->serverActive(), true);
    QCOMPARE(QSettings().value(QStringLiteral("serverActive")).toBool(), true);
    QVERIFY(client->listener()->isListening());
    QCOMPARE(client->message(), QStringLiteral("Serviço de impressão ligado"));
    TestHttpClient accepted(true);
    QVERIFY(accepted.connectTo(port));
    QCOMPARE(serviceSwitch->property("checked").toBool(), true);
    QCOMPARE(label->property("text").toString(), QStringLiteral("Ativado"));
    QCOMPARE(trayService->property("text").toString(), QStringLiteral("Desligar serviço"));

    // A change made elsewhere reaches the switch even after it was clicked.
    client->setServerActive(false);
    QCOMPARE(serviceSwitch->property("checked").toBool(), false);
}

void TestScreens::trayMenuFollowsServiceAndLanguage()
{
    Controller client = startedController(QStringLiteral("en"));
    ScreenHarness harness(client.get(), QStringLiteral("en"));
    QVERIFY(harness.load());

    QObject *tray = harness.object(QStringLiteral("tray"));
    QVERIFY(tray);
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_on.png")));

    QCOMPARE(harness.trayMenuItem(0)->property("text").toString(), QStringLiteral("Open"));
    QCOMPARE(harness.trayMenuItem(1)->property("text").toString(), QStringLiteral("Turn off service"));
    QCOMPARE(harness.trayMenuItem(2)->property("text").toString(), QStringLiteral("Quit"));

    client->setServerActive(false);
    QCOMPARE(harness.trayMenuItem(1)->property("text").toString(), QStringLiteral("Turn on service"));
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_off.png")));

    QSignalSpy quit(&harness.engine(), &QQmlEngine::quit);
    QMetaObject::invokeMethod(harness.trayMenuItem(2), "triggered");
    QCOMPARE(quit.count(), 1);
}

void TestScreens::windowHiddenAtStartWhenKeyStored()
{
    QSettings().setValue(QStringLiteral("securityKey"), QStringLiteral("Zk3aQ0xMv4.0"));
    Controller client = startedController();
    QVERIFY(!client->firstStartup());
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QCoreApplication::processEvents();
    QVERIFY(!harness.window()->isVisible());

    // A second start of the program asks for the window through the settings store.
    {
        QSettings secondInstance;
        secondInstance.setValue(QStringLiteral("showWindow"), true);
        secondInstance.sync();
    }
    QTRY_VERIFY(harness.window()->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    QCOMPARE(QSettings().value(QStringLiteral("showWindow")).toBool(), false);

    harness.window()->hide();
    QMetaObject::invokeMethod(harness.trayMenuItem(0), "triggered");
    QVERIFY(harness.window()->isVisible());

    // Clicking the tray icon brings it up; the right click that opens the menu does not.
    harness.window()->hide();
    QObject *tray = harness.object(QStringLiteral("tray"));
    activateTray(tray, Context);
    QVERIFY(!harness.window()->isVisible());
    activateTray(tray, Trigger);
    QVERIFY(harness.window()->isVisible());
}

void TestScreens::closingHidesWindow()
{
    Controller client = startedController();
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(harness.window()->isVisible());
    QSignalSpy quit(&harness.engine(), &QQmlEngine::quit);
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);

    harness.window()->close();
    QVERIFY(!harness.window()->isVisible());
    QCOMPARE(quit.count(), 0);
    QCOMPARE(lastClosed.count(), 0);
}

void TestScreens::printerSwitchWritesAvailable()
{
    // The key is the Base64 SHA-1 of the name in Latin-1, where "ã" is one byte.
    const QString balcaoKey = QStringLiteral("printers/rEpUXKkaMbicEMHwgr7Gd8RHAMk=");
    QVERIFY(m_cups.addQueue(QStringLiteral("Balcão")));
    QVERIFY(m_cups.addQueue(QStringLiteral("Cozinha")));
    QVERIFY(m_cups.setQueueEnabled(QStringLiteral("Cozinha"), false));
    // Refreshed often, so that the choice is seen to survive a refresh.
    Controller client = startedController(QStringLiteral("pt"), 200);
    QVERIFY2(serviceListening(*client), "port 5080 is in use by another program");
    Printer *balcao = printerNamed(*client, QStringLiteral("Balcão"));
    Printer *cozinha = printerNamed(*client, QStringLiteral("Cozinha"));
    QVERIFY(balcao && cozinha);
    QStringList listed;
    QVERIFY(listedPrinters(*client, &listed));
    QCOMPARE(listed, QStringList());

    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));
    harness.click(harness.item(QStringLiteral("printersCard")));
    QCOMPARE(harness.screenState(), QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("printersEmpty"))));

    QCOMPARE(harness.rowItem(balcao, QStringLiteral("printerName"))->property("text").toString(),
        QStringLiteral("Balcão"));
    QCOMPARE(harness.rowItem(balcao, QStringLiteral("stateText"))->property("text").toString(),
        QStringLiteral("Ligada"));
    QCOMPARE(harness.rowItem(cozinha, QStringLiteral("stateText"))->property("text").toString(),
        QStringLiteral("Desligada"));
    QCOMPARE(harness.rowItem(balcao, QStringLiteral("stateBadge"))->property("color").value<QColor>(),
        QColor("#C8F2E5"));
    QCOMPARE(harness.rowItem(cozinha, QStringLiteral("stateBadge"))->property("color").value<QColor>(),
        QColor("#FFD9D9"));

    // Queues never seen before are not offered to the API.
    QQuickItem *balcaoSwitch = harness.rowItem(balcao, QStringLiteral("availableSwitch"));
    QQuickItem *balcaoLabel = harness.rowItem(balcao, QStringLiteral("availableLabel"));
    QCOMPARE(balcaoSwitch->property("checked").toBool(), false);
    QCOMPARE(balcaoLabel->property("text").toString(), QStringLiteral("Inativo"));
    QCOMPARE(harness.rowItem(cozinha, QStringLiteral("availableLabel"))->property("text").toString(),
        QStringLiteral("Inativo"));

    harness.click(balcaoSwitch);
    QCOMPARE(balcao->available(), true);
    QCOMPARE(QSettings().value(balcaoKey).toBool(), true);
    QCOMPARE(balcaoLabel->property("text").toString(), QStringLiteral("Ativo"));
    QVERIFY(listedPrinters(*client, &listed));
    QCOMPARE(listed, QStringList { QStringLiteral("Balcão") });

    // The choice outlives the refreshes of the list.
    QSignalSpy refreshed(client.get(), &PrintClient::printersChanged);
    QTRY_VERIFY(refreshed.count() >= 2);
    QCOMPARE(printerNamed(*client, QStringLiteral("Balcão")), balcao);
    QCOMPARE(balcaoSwitch->property("checked").toBool(), true);

    // Off again: stored at once, and the API no longer lists it.
    harness.click(balcaoSwitch);
    QCOMPARE(balcao->available(), false);
    QVERIFY(QSettings().contains(balcaoKey));
    QCOMPARE(QSettings().value(balcaoKey).toBool(), false);
    QCOMPARE(balcaoLabel->property("text").toString(), QStringLiteral("Inativo"));
    QVERIFY(listedPrinters(*client, &listed));
    QCOMPARE(listed, QStringList());
    QVERIFY(!QSettings().value(QStringLiteral("printers/") + cozinha->getHash()).toBool());

    // The element's own change shows in the row.
    balcao->setAvailable(true);
    QCOMPARE(balcaoSwitch->property("checked").toBool(), true);
    QCOMPARE(balcaoLabel->property("text").toString(), QStringLiteral("Ativo"));

    harness.click(harness.shownItem(QStringLiteral("backButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

// "Print test" reaches the queue through the normal path and says so; "Preview" shows the paper.
void TestScreens::testReceiptPrintedAndPreviewed()
{
    QVERIFY(m_cups.addQueue(QStringLiteral("Balcão")));
    QVERIFY(m_cups.addQueue(QStringLiteral("Rejeita")));
    QVERIFY(m_cups.command(QStringLiteral("cupsreject"), { QStringLiteral("Rejeita") }));
    Controller client = startedController();
    Printer *balcao = printerNamed(*client, QStringLiteral("Balcão"));
    Printer *rejeita = printerNamed(*client, QStringLiteral("Rejeita"));
    QVERIFY(balcao && rejeita);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));

    for (Printer *printer : { balcao, rejeita })
        harness.click(harness.rowItem(printer, QStringLiteral("printTestButton")));
    QTRY_COMPARE(harness.rowItem(balcao, QStringLiteral("testOutcome"))->property("text").toString(),
        QStringLiteral("Teste enviado"));
    QTRY_COMPARE(harness.rowItem(rejeita, QStringLiteral("testOutcome"))->property("text").toString(),
        QStringLiteral("A impressora não aceitou o trabalho"));
    const auto printed = [this] {
        QFile file(m_cups.outputFile(QStringLiteral("Balcão")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY(printed().startsWith("\x1b@\x1b\x61\x01"));

    harness.click(harness.rowItem(balcao, QStringLiteral("previewButton")));
    QQuickItem *paper = nullptr;
    QTRY_VERIFY((paper = harness.item(QStringLiteral("previewImage"))));
    QTRY_COMPARE(paper->property("status").toInt(), 1); // Image.Ready
    QVERIFY(paper->property("sourceSize").toSize().height() > paper->property("sourceSize").toSize().width());
}

void TestScreens::printerNameCopiedOnlyInDebugMode()
{
    QVERIFY(m_cups.addQueue(QStringLiteral("Kitchen")));
    Controller client = startedController();
    Printer *printer = printerNamed(*client, QStringLiteral("Kitchen"));
    QVERIFY(printer);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));

    harness.click(harness.rowItem(printer, QStringLiteral("printerName")));
    QCOMPARE(clipboard->text(), QStringLiteral("before"));

    client->setIsDebugMode(true);
    harness.click(harness.rowItem(printer, QStringLiteral("printerName")));
    QCOMPARE(clipboard->text(), QStringLiteral("Kitchen"));
}

void TestScreens::refreshKeepsRowsAndPlace()
{
    for (int i = 0; i < 12; ++i)
        QVERIFY(m_cups.addQueue(QStringLiteral("Printer_%1").arg(i, 2, 10, QLatin1Char('0'))));
    Controller client = startedController(QStringLiteral("pt"), 300);
    QCOMPARE(client->printerPointers().size(), 12);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QQuickItem *list = harness.item(QStringLiteral("printerList"));
    QVERIFY(list->property("contentHeight").toReal() > list->height());
    list->setProperty("contentY", 120.0);
    Printer *last = printerNamed(*client, QStringLiteral("Printer_11"));
    QPointer<QQuickItem> lastRow;
    QTRY_VERIFY((lastRow = harness.rowItem(last, QStringLiteral("printerName"))) != nullptr);

    // The periodic refreshes announce the same printers again.
    QSignalSpy refreshed(client.get(), &PrintClient::printersChanged);
    QTRY_VERIFY(refreshed.count() >= 2);
    QCOMPARE(list->property("contentY").toReal(), 120.0);
    QVERIFY(lastRow);
    QCOMPARE(harness.rowItem(last, QStringLiteral("printerName")), lastRow.data());

    // A queue that fails shows so at the next refresh, in the row the reader is looking at.
    QVERIFY(m_cups.setQueueEnabled(QStringLiteral("Printer_11"), false));
    QTRY_COMPARE(harness.rowItem(last, QStringLiteral("stateText"))->property("text").toString(),
        QStringLiteral("Desligada"));
    QCOMPARE(list->property("contentY").toReal(), 120.0);
    QCOMPARE(harness.rowItem(last, QStringLiteral("printerName")), lastRow.data());

    // One queue gone and another come: the rows show the new list.
    QPointer<Printer> gone = printerNamed(*client, QStringLiteral("Printer_03"));
    QVERIFY(m_cups.removeQueue(QStringLiteral("Printer_03")));
    QVERIFY(m_cups.addQueue(QStringLiteral("Printer_new")));
    QTRY_VERIFY(gone.isNull());
    QTRY_VERIFY(printerNamed(*client, QStringLiteral("Printer_new")));
    QStringList names;
    for (QObject *name : harness.objects(QStringLiteral("printerName")))
        names << name->property("text").toString();
    QVERIFY(names.contains(QStringLiteral("Printer_new")));
    QVERIFY(!names.contains(QStringLiteral("Printer_03")));
}

void TestScreens::emptyPrinterList()
{
    Controller client = startedController(QStringLiteral("pt"), 200);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));

    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("printersEmpty"))));
    QVERIFY(harness.shownTexts().contains(QStringLiteral("Não foi encontrada nenhuma impressora")));
    QCOMPARE(harness.item(QStringLiteral("printerList"))->property("count").toInt(), 0);
    QVERIFY(harness.objects(QStringLiteral("availableSwitch")).isEmpty());

    // A queue added to the system appears with the next refresh.
    QVERIFY(m_cups.addQueue(QStringLiteral("Bar")));
    QTRY_COMPARE(harness.item(QStringLiteral("printerList"))->property("count").toInt(), 1);
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("printersEmpty"))));
    QTRY_VERIFY(
        harness.rowItem(printerNamed(*client, QStringLiteral("Bar")), QStringLiteral("availableSwitch")));
}

void TestScreens::terminalList()
{
    Controller client = startedController(QStringLiteral("pt"), 200);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));
    harness.click(harness.item(QStringLiteral("terminalsCard")));
    QCOMPARE(harness.screenState(), QStringLiteral("terminals"));
    waitShown(harness, QStringLiteral("terminalsScreen"));

    // Without terminals the column headings go and the empty state shows.
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("tpasEmpty"))));
    QVERIFY(!harness.shownTexts().contains(QStringLiteral("Terminais")));
    QVERIFY(harness.shownTexts().contains(QStringLiteral("Não foi encontrado nenhum terminal")));

    // A terminal plugged in is found at once by "Atualizar lista" (an Ingenico vendor id).
    const QString port = m_ports.filePath(QStringLiteral("ttyVRL0"));
    qputenv("VARNEL_EXTRA_SERIAL_PORTS", (port + QStringLiteral("@079B:0001")).toLocal8Bit());
    // Recorded as it happens: on a slow machine the next printer refresh may already have
    // cleared the flag by the time the click returns.
    QList<bool> fetchingStates;
    PrintClient *controller = client.get();
    const QMetaObject::Connection watch = connect(controller, &PrintClient::fetchingChanged, this,
        [&fetchingStates, controller] { fetchingStates << controller->fetching(); });
    harness.click(harness.shownItem(QStringLiteral("refreshButton")));
    QVERIFY(fetchingStates.contains(true));
    QCOMPARE(client->tpaPointers().size(), 1);
    Tpa *tpa = client->tpaPointers().constFirst();
    QCOMPARE(tpa->vendorId(), int(Tpa::Ingenico));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("tpasEmpty"))));
    QVERIFY(harness.shownTexts().contains(QStringLiteral("Terminais")));
    QTRY_VERIFY(harness.rowItem(tpa, QStringLiteral("availableSwitch")));
    QCOMPARE(harness.rowItem(tpa, QStringLiteral("tpaName"))->property("text").toString(),
        QStringLiteral("Virtual serial port [%1]").arg(port));
    QCOMPARE(harness.rowItem(tpa, QStringLiteral("availableLabel"))->property("text").toString(),
        QStringLiteral("Ativo"));

    // The busy veil holds until the next printer refresh.
    QTRY_VERIFY(!client->fetching());
    QCOMPARE(fetchingStates.last(), false);
    disconnect(watch);
    harness.click(harness.rowItem(tpa, QStringLiteral("availableSwitch")));
    QCOMPARE(tpa->available(), false);
    QCOMPARE(QSettings().value(QStringLiteral("tpa/") + Tpa::getHash(0x079B, 0x0001), true).toBool(), false);
    QCOMPARE(harness.rowItem(tpa, QStringLiteral("availableLabel"))->property("text").toString(),
        QStringLiteral("Inativo"));

    harness.click(harness.shownItem(QStringLiteral("backButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::busyOverlayWhileFetching()
{
    QVERIFY(m_cups.addQueue(QStringLiteral("Bar")));
    qputenv("VARNEL_EXTRA_SERIAL_PORTS",
        (m_ports.filePath(QStringLiteral("ttyVRL1")) + QStringLiteral("@0403:6001")).toLocal8Bit());
    // No periodic printer refresh during the test: it ends the fetching itself.
    Controller client = startedController(QStringLiteral("pt"), 600000);
    Printer *printer = printerNamed(*client, QStringLiteral("Bar"));
    QCOMPARE(client->tpaPointers().size(), 1);
    Tpa *tpa = client->tpaPointers().constFirst();
    QVERIFY(printer);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("printersBusy"))));

    harness.click(harness.shownItem(QStringLiteral("refreshButton")));
    QVERIFY(client->fetching());
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("printersBusy"))));
    // Over the printers the veil does not hold clicks back.
    harness.click(harness.rowItem(printer, QStringLiteral("availableSwitch")));
    QCOMPARE(printer->available(), true);

    harness.navigate(QStringLiteral("terminals"));
    waitShown(harness, QStringLiteral("terminalsScreen"));
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("tpasBusy"))));
    // Over the terminals it does.
    harness.click(harness.rowItem(tpa, QStringLiteral("availableSwitch")));
    QCOMPARE(tpa->available(), true);

    // What the refresh timer does when it fires: the printer merge ends the fetching.
    emit client->requestPrinters();
    QVERIFY(!client->fetching());
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("tpasBusy"))));
    harness.click(harness.rowItem(tpa, QStringLiteral("availableSwitch")));
    QCOMPARE(tpa->available(), false);
}

void TestScreens::terminalsCardHiddenInSpanish_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("terminalsCard");
    QTest::newRow("pt") << QStringLiteral("pt") << true;
    QTest::newRow("en") << QStringLiteral("en") << true;
    QTest::newRow("es") << QStringLiteral("es") << false;
}

void TestScreens::terminalsCardHiddenInSpanish()
{
    QFETCH(QString, language);
    QFETCH(bool, terminalsCard);
    Controller client = startedController(language);
    ScreenHarness harness(client.get(), language);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("printersCard"))));
    QCOMPARE(ScreenHarness::shown(harness.item(QStringLiteral("terminalsCard"))), terminalsCard);
}

void TestScreens::copyFeedbackDisappears()
{
    Controller client = startedController();
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));
    QCOMPARE(harness.object(QStringLiteral("appSettings"))->property("copyFeedbackDuration").toInt(), 3000);
    harness.object(QStringLiteral("appSettings"))->setProperty("copyFeedbackDuration", 300);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();

    QQuickItem *copied = harness.item(QStringLiteral("keyCopied"));
    QVERIFY(!ScreenHarness::shown(copied));
    harness.click(harness.item(QStringLiteral("securityKey")));
    QCOMPARE(clipboard->text(), client->securityKey());
    QVERIFY(ScreenHarness::shown(copied));
    QCOMPARE(copied->property("text").toString(), QStringLiteral("Copiado!"));

    // A second copy restarts the time.
    clipboard->clear();
    QTest::qWait(200);
    harness.click(harness.item(QStringLiteral("copyKey")));
    QCOMPARE(clipboard->text(), client->securityKey());
    QTest::qWait(200);
    QVERIFY(ScreenHarness::shown(copied));
    QTRY_VERIFY_WITH_TIMEOUT(!ScreenHarness::shown(copied), 2000);
}

void TestScreens::footerLinks_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("download");
    QTest::addColumn<QString>("help");
    QTest::addColumn<QString>("support");
    QTest::newRow("pt") << QStringLiteral("pt") << QStringLiteral("https://www.tesmar.pt/varnel/download")
                        << QStringLiteral("https://www.tesmar.pt/ajuda")
                        << QStringLiteral("https://www.tesmar.pt/contactos");
    QTest::newRow("en") << QStringLiteral("en") << QStringLiteral("https://www.tesmar.pt/en/varnel/download")
                        << QStringLiteral("https://www.tesmar.pt/ajuda")
                        << QStringLiteral("https://www.tesmar.pt/contactos");
    QTest::newRow("es") << QStringLiteral("es") << QStringLiteral("https://www.tesmar.pt/es/varnel/descargas")
                        << QStringLiteral("https://www.tesmar.pt/es/ayuda")
                        << QStringLiteral("https://www.tesmar.pt/es/contacto");
    QTest::newRow("de") << QStringLiteral("de") << QStringLiteral("https://www.tesmar.pt/en/varnel/download")
                        << QStringLiteral("https://www.tesmar.pt/ajuda")
                        << QStringLiteral("https://www.tesmar.pt/contactos");
}

void TestScreens::footerLinks()
{
    QFETCH(QString, language);
    QFETCH(QString, download);
    QFETCH(QString, help);
    QFETCH(QString, support);
    Controller client = startedController(language);
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    harness.click(harness.item(QStringLiteral("linkDownloads")));
    harness.click(harness.item(QStringLiteral("linkHelp")));
    harness.click(harness.item(QStringLiteral("linkSupport")));
    const QList<QUrl> expected { QUrl(download), QUrl(help), QUrl(support) };
    QCOMPARE(harness.urls.urls, expected);

    // The footer's "Registo" belongs to debug mode only.
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("linkLogs"))));
    client->setIsDebugMode(true);
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("linkLogs"))));
    harness.click(harness.item(QStringLiteral("linkLogs")));
    QCOMPARE(harness.screenState(), QStringLiteral("logs"));

    // The left label leads back to the start screen.
    harness.click(harness.item(QStringLiteral("linkHome")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::logScreen()
{
    QVERIFY(m_cups.addQueue(QStringLiteral("Balcão")));
    Controller client = startedController();
    client->setIsDebugMode(true);
    client->setDebugMessages({ QStringLiteral("[2025-12-06 10:00:02.000]: second"),
        QStringLiteral("[2025-12-06 10:00:01.000]: <b>first</b>") });
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("logs"));
    waitShown(harness, QStringLiteral("logsScreen"));

    QTRY_COMPARE(harness.item(QStringLiteral("logList"))->property("count").toInt(), 2);
    QStringList texts = harness.shownTexts();
    const int second = texts.indexOf(QStringLiteral("[2025-12-06 10:00:02.000]: second"));
    const int first = texts.indexOf(QStringLiteral("[2025-12-06 10:00:01.000]: <b>first</b>"));
    QVERIFY(second >= 0 && first > second);
    QVERIFY(texts.contains(QStringLiteral("Mensagem")));

    client->setDebugMessages(
        QStringList { QStringLiteral("[2025-12-06 10:00:03.000]: third") } + client->debugMessages());
    QTRY_COMPARE(harness.item(QStringLiteral("logList"))->property("count").toInt(), 3);

    harness.log.append(QStringLiteral("[2025-12-06 10:00:04.000]: on disk"));
    harness.click(harness.shownItem(QStringLiteral("copyDiagnostics")));
    for (const QString &part : { client->version(), QStringLiteral("Balcão"), QStringLiteral("]: on disk") })
        QVERIFY2(QGuiApplication::clipboard()->text().contains(part), qPrintable(part));

    harness.click(harness.shownItem(QStringLiteral("backButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::aboutOverlay()
{
    Controller client = startedController();
    // The addresses as the worker reports them, whatever this machine's are.
    client->onGetIPAddresses(
        { QHostAddress(QStringLiteral("192.168.1.20")), QHostAddress(QStringLiteral("10.0.0.7")) });
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));
    harness.object(QStringLiteral("appSettings"))->setProperty("copyFeedbackDuration", 300);

    harness.click(harness.item(QStringLiteral("linkAbout")));
    QPointer<QQuickItem> panel = harness.item(QStringLiteral("aboutPanel"));
    QVERIFY(panel);
    QTRY_COMPARE(panel->opacity(), 1.0);
    QTRY_COMPARE(panel->scale(), 1.0);

    const QStringList texts = harness.shownTexts();
    QVERIFY(texts.contains(QStringLiteral("v4.1.0")));
    QVERIFY(texts.contains(QStringLiteral("6 de dezembro de 2025 17:35")));
    QVERIFY(texts.contains(QStringLiteral("O Varnel está atualizado")));
    QVERIFY(texts.contains(QStringLiteral("192.168.1.20")));
    QVERIFY(texts.contains(QStringLiteral("10.0.0.7")));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("aboutUpdate"))));

    // Each address row has its own copy and its own feedback.
    QList<QObject *> copyIcons = harness.objects(QStringLiteral("copyIp"));
    QList<QObject *> feedback = harness.objects(QStringLiteral("ipCopied"));
    QCOMPARE(copyIcons.size(), 2);
    harness.click(qobject_cast<QQuickItem *>(copyIcons.at(1)));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("10.0.0.7"));
    int shownFeedback = 0;
    for (QObject *label : feedback)
        shownFeedback += ScreenHarness::shown(qobject_cast<QQuickItem *>(label)) ? 1 : 0;
    QCOMPARE(shownFeedback, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!ScreenHarness::shown(qobject_cast<QQuickItem *>(feedback.at(1))), 2000);

    harness.click(harness.item(QStringLiteral("compatibilitySwitch")));
    QCOMPARE(client->compatibilityMode(), true);
    QCOMPARE(QSettings().value(QStringLiteral("compatibilityMode")).toBool(), true);

    client->setHasUpdate(true);
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("aboutUpdate"))));
    harness.click(harness.item(QStringLiteral("aboutDownload")));
    QCOMPARE(harness.urls.urls, { QUrl(QStringLiteral("https://www.tesmar.pt/varnel/download")) });

    // A click on the panel keeps it; one outside closes it, and it goes away.
    QTest::mouseClick(harness.window(), Qt::LeftButton, Qt::NoModifier,
        panel->mapToScene(QPointF(panel->width() / 2, panel->height() - 8)).toPoint());
    QCOMPARE(panel->opacity(), 1.0);
    QTest::mouseClick(harness.window(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTRY_VERIFY(panel.isNull());

    // The close image closes it too.
    client->setHasUpdate(false);
    waitShown(harness, QStringLiteral("initialScreen"));
    harness.click(harness.item(QStringLiteral("linkAbout")));
    panel = harness.item(QStringLiteral("aboutPanel"));
    QVERIFY(panel);
    QTRY_COMPARE(panel->opacity(), 1.0);
    harness.click(harness.item(QStringLiteral("aboutClose")));
    QTRY_VERIFY(panel.isNull());

    harness.click(harness.item(QStringLiteral("linkAbout"))); // the log, without the debug switch
    QTRY_COMPARE(harness.item(QStringLiteral("aboutPanel"))->opacity(), 1.0);
    harness.click(harness.item(QStringLiteral("aboutLog")));
    QCOMPARE(harness.screenState(), QStringLiteral("logs"));
}

// One screen as the screenshot test shows it: the print queues of the system, whether the
// controller is started and what else it holds, where to go, and the texts (context and source)
// that must appear in the language shown.
struct ScreenShot
{
    QString name;
    QList<QPair<QString, bool>> queues;
    bool started;
    std::function<void(ScreenController &)> setUp;
    QString screen;
    bool about;
    QList<QPair<const char *, const char *>> texts;
};

static QList<ScreenShot> screenShots()
{
    const auto none = [](ScreenController &) {};
    QList<QPair<QString, bool>> queues { { QStringLiteral("EPSON_TM-T20III"), true },
        { QStringLiteral("Star_TSP143IIIU"), true },
        { QStringLiteral("Bixolon_SRP-350plusIII_cozinha"), false } };
    for (int i = 1; i <= 6; ++i)
        queues.append({ QStringLiteral("POS-80_Balcão_%1").arg(i), i % 3 != 0 });
    return {
        { QStringLiteral("splash"), {}, false, none, QStringLiteral("loading"), false,
            { { "main", "Desenvolvido por" } } },
        { QStringLiteral("update"), {}, true, [](ScreenController &client) { client.setHasUpdate(true); },
            QStringLiteral("loading"), false,
            { { "main", "Atualização disponível!" }, { "main", "Mais tarde" }, { "main", "Atualizar" },
                { "main", "Está disponível uma nova versão do Varnel para descarregar." } } },
        { QStringLiteral("start"), {}, true, none, QStringLiteral("allSet"), false,
            { { "Initial", "Configuração de dispositivos" }, { "Initial", "Estado do serviço" },
                { "Initial", "Ativado" }, { "Initial", "Chave de segurança:" },
                { "Initial", "Configurar impressoras no ponto de venda." }, { "main", "Transferências" },
                { "main", "Apoio ao cliente" } } },
        { QStringLiteral("printers"), queues, true,
            [](ScreenController &client) {
                const QList<Printer *> printers = client.printerPointers();
                for (int i = 0; i < printers.size(); ++i)
                    printers.at(i)->setAvailable(i % 2 == 0);
            },
            QStringLiteral("config"), false,
            { { "Config", "Configuração de impressoras" }, { "Config", "Disponível" },
                { "PrinterListItem", "Ligada" }, { "PrinterListItem", "Desligada" },
                { "PrinterListItem", "Inativo" }, { "Config", "Atualizar lista" } } },
        { QStringLiteral("printers-empty"), {}, true, none, QStringLiteral("config"), false,
            { { "Config", "Não foi encontrada nenhuma impressora" }, { "Config", "Voltar" } } },
        { QStringLiteral("terminals"), {}, true,
            [](ScreenController &client) {
                // USB terminals as the system's enumeration describes them; no such port exists
                // here, so they reach the controller the way the worker hands ports over.
                const QString nowhere = QDir::temp().filePath(QStringLiteral("varnel-no-such-port"));
                client.onGetTpas(QList<SerialPortDescription> {
                    { QStringLiteral("ttyACM0"), nowhere, QStringLiteral("iCT250"),
                        QStringLiteral("Ingenico"), 0x079B, 0x0028 },
                    { QStringLiteral("ttyUSB0"), nowhere, QStringLiteral("N910"), QStringLiteral("Newnote"),
                        0x1E0E, 0x9001 } });
                client.tpaPointers().at(1)->setAvailable(false);
            },
            QStringLiteral("terminals"), false,
            { { "Terminals", "Configuração de terminais de pagamento automático (TPA)" },
                { "Terminals", "Terminais" }, { "TpaListItem", "Ligado" }, { "TpaListItem", "Ativo" },
                { "TpaListItem", "Inativo" } } },
        { QStringLiteral("logs"), {}, true,
            [](ScreenController &client) {
                client.setIsDebugMode(true);
                QStringList lines;
                for (int i = 9; i >= 0; --i)
                    lines << QStringLiteral(
                        "[2025-12-06 10:00:0%1.000]: SSL Version: OpenSSL 3.0.15 3 Sep 2024")
                                 .arg(i);
                client.setDebugMessages(lines);
            },
            QStringLiteral("logs"), false,
            { { "Logs", "Consulte o registo de atividade do Varnel" }, { "Logs", "Mensagem" },
                { "Logs", "Copiar dados de diagnóstico" }, { "main", "Registo" } } },
        { QStringLiteral("about"), {}, true,
            [](ScreenController &client) {
                client.onGetIPAddresses({ QHostAddress(QStringLiteral("192.168.1.20")),
                    QHostAddress(QStringLiteral("172.17.0.1")) });
            },
            QStringLiteral("allSet"), true,
            { { "OverlayAbout", "O Varnel está atualizado" }, { "OverlayAbout", "Data:" },
                { "OverlayAbout", "Sistema operativo:" }, { "OverlayAbout", "Modo de compatibilidade" },
                { "OverlayAbout", "Desativado" }, { "OverlayAbout", "Ver registo" } } },
    };
}

static QImage render(
    const ScreenShot &shot, const QString &language, QStringList *texts, QStringList *lowContrast)
{
    // The pointer rests off the window, so no card or link shows its hover colour.
    QCursor::setPos(1270, 790);
    // The same key in every rendering; with a key stored the window starts hidden, and is
    // opened as from the tray.
    QSettings().setValue(QStringLiteral("securityKey"), QStringLiteral("Zk3aQ0xMv4.0"));
    Controller client(new ScreenController(language.isEmpty() ? QStringLiteral("pt") : language.left(2)));
    if (shot.started)
        client->startup();
    shot.setUp(*client);
    ScreenHarness harness(client.get(), language);
    if (!harness.load())
        return QImage();
    harness.window()->show();
    if (!QTest::qWaitForWindowExposed(harness.window()))
        return QImage();
    if (harness.screenState() != shot.screen)
        harness.navigate(shot.screen);
    const char *screens[][2] = { { "loading", "splash" }, { "allSet", "initialScreen" },
        { "config", "configScreen" }, { "terminals", "terminalsScreen" }, { "logs", "logsScreen" } };
    for (const auto &screen : screens) {
        if (shot.screen == QLatin1String(screen[0])) {
            QQuickItem *item = harness.item(QLatin1String(screen[1]));
            if (!QTest::qWaitFor([item] { return item->opacity() == 1.0; }))
                return QImage();
        }
    }
    if (shot.about) {
        QMetaObject::invokeMethod(harness.window(), "showAbout");
        QQuickItem *panel = harness.item(QStringLiteral("aboutPanel"));
        if (!panel || !QTest::qWaitFor([panel] { return panel->opacity() == 1.0 && panel->scale() == 1.0; }))
            return QImage();
    }
    *texts = harness.shownTexts();
    *lowContrast = harness.lowContrastTexts();
    return harness.window()->grabWindow();
}

// Not blank: at least 1 % of it differs from its main colour (the splash is mostly blue), and it has more
// than a handful of colours.
static bool hasContent(const QImage &image)
{
    QHash<QRgb, int> counts;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); y += 2) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += 2)
            ++counts[line[x]];
    }
    const int total = ((rgb.width() + 1) / 2) * ((rgb.height() + 1) / 2);
    int largest = 0;
    for (int count : qAsConst(counts))
        largest = qMax(largest, count);
    return counts.size() > 16 && largest < total * 99 / 100;
}

void TestScreens::screenshots_data()
{
    QTest::addColumn<int>("index");
    const QList<ScreenShot> shots = screenShots();
    for (int i = 0; i < shots.size(); ++i)
        QTest::newRow(qPrintable(shots.at(i).name)) << i;
}

void TestScreens::screenshots()
{
    QFETCH(int, index);
    const ScreenShot shot = screenShots().at(index);
    const QString artifacts = QFileInfo(QStringLiteral(VARNEL_BINARY)).absolutePath()
        + QStringLiteral("/tests/artifacts/screens");
    QVERIFY(QDir().mkpath(artifacts));
    for (const auto &queue : shot.queues) {
        QVERIFY(m_cups.addQueue(queue.first));
        QVERIFY(m_cups.setQueueEnabled(queue.first, queue.second));
    }

    // The same screen with no catalog at all: what a language's rendering must differ from.
    QStringList untranslatedTexts, lowContrast;
    const QImage untranslated = render(shot, QString(), &untranslatedTexts, &lowContrast);
    QVERIFY(!untranslated.isNull());

    for (const QString &language :
        { QStringLiteral("pt"), QStringLiteral("pt_BR"), QStringLiteral("en"), QStringLiteral("es") }) {
        QStringList texts;
        const QImage image = render(shot, language, &texts, &lowContrast);
        QVERIFY2(!image.isNull(), qPrintable(language));
        QVERIFY2(lowContrast.isEmpty(), qPrintable(language + QStringLiteral(": ") + lowContrast.join(", ")));
        QVERIFY(image.save(
            artifacts + QLatin1Char('/') + shot.name + QLatin1Char('-') + language + QStringLiteral(".png")));
        QCOMPARE(image.size(), QSize(950, 700));
        QVERIFY2(hasContent(image), qPrintable(language));

        QTranslator catalog;
        QVERIFY(catalog.load(ScreenHarness::catalogPath(language)));
        bool translated = false;
        for (const auto &text : shot.texts) {
            const QString expected = catalog.translate(text.first, text.second);
            QVERIFY2(!expected.isEmpty(), text.second);
            QVERIFY2(texts.contains(expected), qPrintable(language + QStringLiteral(": ") + expected));
            QVERIFY2(untranslatedTexts.contains(QString::fromUtf8(text.second)), text.second);
            translated = translated || expected != QString::fromUtf8(text.second);
        }
        if (translated)
            QVERIFY2(image != untranslated, qPrintable(language));
        else if (shot.name != QLatin1String("splash"))
            QCOMPARE(image, untranslated);
    }
}

void TestScreens::trayIconFollowsServerActive()
{
    QTRY_VERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    QSettings().setValue(QStringLiteral("securityKey"), QStringLiteral("Zk3aQ0xMv4.0"));
    Controller client = startedController();
    QVERIFY2(serviceListening(*client), "port 5080 is in use by another program");
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QObject *tray = harness.object(QStringLiteral("tray"));
    QVERIFY(tray->property("available").toBool());

    // The icon as the tray shows it: the widget docked into the tray. Its pixels tell which
    // image it holds: the blue one when the service is on, the grey one when off. Switching
    // also makes the controller say so, in a balloon.
    QWidget *icon = nullptr;
    QTRY_VERIFY((icon = trayIconWidget()) != nullptr);
    QTRY_COMPARE(dominantIconColour(icon), QColor("#0082F2"));
    client->setServerActive(false);
    QTRY_COMPARE(dominantIconColour(icon), QColor("#8F9EB9"));
    QTRY_VERIFY(balloonShows(QStringLiteral("Serviço de impressão desligado")));
    client->setServerActive(true);
    QTRY_COMPARE(dominantIconColour(icon), QColor("#0082F2"));
    QTRY_VERIFY(balloonShows(QStringLiteral("Serviço de impressão ligado")));
}

// Every entry finished; outside Portuguese, none left as its source but names and shared words.
void TestScreens::catalogsFinished()
{
    const QStringList same { "Varnel", "IP:", "Estado", "Abrir", "Sistema operativo:" };
    const QRegularExpression entry(QStringLiteral("<source>([^<]*)</source>\\s*<translation>([^<]*)<"));
    for (const QString catalog : { "en", "es", "pt", "pt_BR" }) {
        QFile file(QStringLiteral(VARNEL_SOURCE_DIR "/qml/printclient_") + catalog + QStringLiteral(".ts"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString ts = QString::fromUtf8(file.readAll());
        QVERIFY2(ts.count(entry) == ts.count(QStringLiteral("<message>")), qPrintable(catalog));
        for (QRegularExpressionMatchIterator it = entry.globalMatch(ts); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            QVERIFY2(!m.captured(2).isEmpty()
                    && (catalog.startsWith(QLatin1String("pt")) || m.captured(2) != m.captured(1)
                        || same.contains(m.captured(1))),
                qPrintable(catalog + QLatin1Char(' ') + m.captured(1)));
        }
    }
}

// Last, as the tray stays stopped: without one the window shows at start and closing minimises it.
void TestScreens::withoutTrayAlwaysFound()
{
    display.stopTray();
    QTRY_VERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QSettings().setValue(QStringLiteral("securityKey"), QStringLiteral("Zk3aQ0xMv4.0"));
    Controller client = startedController();
    ScreenHarness harness(client.get());
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.window()->close();
    QTRY_COMPARE(harness.window()->visibility(), QWindow::Minimized);
}

int main(int argc, char *argv[])
{
    // A real window needs a real X server; a tray runs in it for the tray icon.
    if (!display.start() || !display.startTray()) {
        qCritical("cannot start Xvfb and wmdocker");
        return 1;
    }
    qputenv("DISPLAY", display.name().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("QT_QUICK_BACKEND");
    // Keeps the tray icon on the X11 tray rather than a desktop bus.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");

    int status = 0;
    {
        QApplication app(argc, argv);
        TestScreens test;
        status = QTest::qExec(&test, argc, argv);
#if defined(__SANITIZE_ADDRESS__)
        // Leaks are looked for while the GL driver is still loaded: closing the display unloads it,
        // and what it keeps could then no longer be put down to it.
        __lsan_do_leak_check();
#endif
    }
    display.stop();
    return status;
}

#include "tst_screens.moc"
