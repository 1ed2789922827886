#include "testsupport.h"
#include "tst_screens_fakes.h"
#include "tst_screens_harness.h"
#include "xvfbdisplay.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QtQml>

#include <functional>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// The window, its screens and the tray icon, driven through real mouse clicks in a real window
// on an X server of the test's own, with a stand-in controller.
class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void splashUntilStarted();
    void updatePromptHoldsAfterLater();
    void serviceSwitchWritesServerActive();
    void trayMenuFollowsServiceAndLanguage();
    void windowHiddenAtStartWhenKeyStored();
    void closingHidesWindow();
    void printerSwitchWritesAvailable();
    void printerNameCopiedOnlyInDebugMode();
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
    void trayIconFollowsServerActive();

private:
    static void waitShown(ScreenHarness &harness, const QString &objectName);
    static QWidget *trayIconWidget();
    static QColor dominantIconColour(QWidget *icon);
    static bool balloonShows(const QString &text);
    static void activateTray(QObject *tray, int reason);
    enum TrayReason { Context = 1, Trigger = 3 };

    QTemporaryDir m_settings;
};

void TestScreens::initTestCase()
{
    QVERIFY(m_settings.isValid());
    TestSupport::useTemporarySettings(m_settings);
    qmlRegisterAnonymousType<FakePrinter>("Fakes", 1);
    qmlRegisterAnonymousType<FakeTpa>("Fakes", 1);
    for (const char *language : { "en", "es", "pt" })
        QVERIFY2(QFileInfo::exists(ScreenHarness::catalogPath(QLatin1String(language)) + ".qm"), language);
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
    FakePrintClient client;
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));

    QCOMPARE(harness.screenState(), QStringLiteral("loading"));
    waitShown(harness, QStringLiteral("splash"));
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("splashBusy"))));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("updatePrompt"))));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("linkAbout"))));

    client.setStarted(true);
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
    waitShown(harness, QStringLiteral("initialScreen"));
    QTRY_VERIFY(!harness.item(QStringLiteral("splash"))->isVisible());
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("linkAbout"))));
}

void TestScreens::updatePromptHoldsAfterLater()
{
    FakePrintClient client;
    client.setStarted(true);
    client.setHasUpdate(true);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));

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

    // From now on only navigation moves the window: the controller's flags no longer do.
    client.setHasUpdate(true);
    client.setHasUpdate(false);
    client.setHasUpdate(true);
    client.setStarted(false);
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::serviceSwitchWritesServerActive()
{
    FakePrintClient client;
    client.setStarted(true);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    QQuickItem *serviceSwitch = harness.item(QStringLiteral("serviceSwitch"));
    QQuickItem *label = harness.item(QStringLiteral("serviceLabel"));
    QObject *tray = harness.object(QStringLiteral("tray"));
    QObject *trayService = harness.trayMenuItem(1);
    QVERIFY(serviceSwitch && label && tray && trayService);
    QCOMPARE(serviceSwitch->property("checked").toBool(), true);
    QCOMPARE(label->property("text").toString(), QStringLiteral("Ativo"));
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_on.png")));

    const int writes = client.serverActiveWrites;
    harness.click(serviceSwitch);
    QCOMPARE(client.serverActive(), false);
    QCOMPARE(client.serverActiveWrites, writes + 1);
    QCOMPARE(serviceSwitch->property("checked").toBool(), false);
    QCOMPARE(label->property("text").toString(), QStringLiteral("Desativo"));
    QCOMPARE(trayService->property("text").toString(), QStringLiteral("Ligar serviço"));
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_off.png")));

    // The tray menu switches it back on, and the start screen follows.
    QMetaObject::invokeMethod(trayService, "triggered");
    QCOMPARE(client.serverActive(), true);
    QCOMPARE(serviceSwitch->property("checked").toBool(), true);
    QCOMPARE(label->property("text").toString(), QStringLiteral("Ativo"));
    QCOMPARE(trayService->property("text").toString(), QStringLiteral("Desligar serviço"));

    // A change made elsewhere (the API, the tray) reaches the switch even after it was clicked.
    client.setServerActive(false);
    QCOMPARE(serviceSwitch->property("checked").toBool(), false);
}

void TestScreens::trayMenuFollowsServiceAndLanguage()
{
    FakePrintClient client;
    client.setStarted(true);
    ScreenHarness harness(&client, QStringLiteral("en"));
    QVERIFY(harness.load());

    QObject *tray = harness.object(QStringLiteral("tray"));
    QVERIFY(tray);
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_on.png")));

    QCOMPARE(harness.trayMenuItem(0)->property("text").toString(), QStringLiteral("Open"));
    QCOMPARE(harness.trayMenuItem(1)->property("text").toString(), QStringLiteral("Turn off service"));
    QCOMPARE(harness.trayMenuItem(2)->property("text").toString(), QStringLiteral("Quit"));

    client.setServerActive(false);
    QCOMPARE(harness.trayMenuItem(1)->property("text").toString(), QStringLiteral("Turn on service"));
    QCOMPARE(QQmlProperty::read(tray, QStringLiteral("icon.source")).toUrl(),
        QUrl(QStringLiteral("qrc:/imgs/ic_systray_off.png")));

    QSignalSpy quit(&harness.engine(), &QQmlEngine::quit);
    QMetaObject::invokeMethod(harness.trayMenuItem(2), "triggered");
    QCOMPARE(quit.count(), 1);
}

void TestScreens::windowHiddenAtStartWhenKeyStored()
{
    FakePrintClient client;
    client.setStarted(true);
    client.setFirstStartup(false);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QTest::qWait(50);
    QVERIFY(!harness.window()->isVisible());

    // A second start of the program asks for the window through the controller.
    emit client.showWindow();
    QVERIFY(harness.window()->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));

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
    FakePrintClient client;
    client.setStarted(true);
    ScreenHarness harness(&client);
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
    FakePrintClient client;
    client.setStarted(true);
    FakePrinter *ready = client.addPrinter(QStringLiteral("EPSON TM-T20III"), true, true);
    FakePrinter *broken = client.addPrinter(QStringLiteral("Star TSP143"), false, false);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    harness.click(harness.item(QStringLiteral("printersCard")));
    QCOMPARE(harness.screenState(), QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("printersEmpty"))));

    QCOMPARE(harness.rowItem(ready, QStringLiteral("printerName"))->property("text").toString(),
        QStringLiteral("EPSON TM-T20III"));
    QCOMPARE(harness.rowItem(ready, QStringLiteral("stateText"))->property("text").toString(),
        QStringLiteral("Ligado"));
    QCOMPARE(harness.rowItem(broken, QStringLiteral("stateText"))->property("text").toString(),
        QStringLiteral("Desligado"));
    QCOMPARE(harness.rowItem(ready, QStringLiteral("stateBadge"))->property("color").value<QColor>(),
        QColor("#C8F2E5"));
    QCOMPARE(harness.rowItem(broken, QStringLiteral("stateBadge"))->property("color").value<QColor>(),
        QColor("#FFD9D9"));

    QQuickItem *readySwitch = harness.rowItem(ready, QStringLiteral("availableSwitch"));
    QQuickItem *readyLabel = harness.rowItem(ready, QStringLiteral("availableLabel"));
    QCOMPARE(readySwitch->property("checked").toBool(), true);
    QCOMPARE(readyLabel->property("text").toString(), QStringLiteral("Ativo"));
    QCOMPARE(harness.rowItem(broken, QStringLiteral("availableLabel"))->property("text").toString(),
        QStringLiteral("Inativo"));

    harness.click(readySwitch);
    QCOMPARE(ready->available(), false);
    QCOMPARE(ready->availableWrites, 1);
    QCOMPARE(readyLabel->property("text").toString(), QStringLiteral("Inativo"));
    QCOMPARE(broken->availableWrites, 0);

    harness.click(harness.rowItem(broken, QStringLiteral("availableSwitch")));
    QCOMPARE(broken->available(), true);

    // The element's own change shows in the row.
    ready->setAvailable(true);
    QCOMPARE(readySwitch->property("checked").toBool(), true);
    QCOMPARE(readyLabel->property("text").toString(), QStringLiteral("Ativo"));

    harness.click(harness.shownItem(QStringLiteral("backButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::printerNameCopiedOnlyInDebugMode()
{
    FakePrintClient client;
    client.setStarted(true);
    FakePrinter *printer = client.addPrinter(QStringLiteral("Kitchen"), true, true);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));

    harness.click(harness.rowItem(printer, QStringLiteral("printerName")));
    QVERIFY(client.clipboardTexts.isEmpty());

    client.setIsDebugMode(true);
    harness.click(harness.rowItem(printer, QStringLiteral("printerName")));
    QCOMPARE(client.clipboardTexts, QStringList { QStringLiteral("Kitchen") });
}

void TestScreens::refreshKeepsRowsAndPlace()
{
    FakePrintClient client;
    client.setStarted(true);
    for (int i = 0; i < 12; ++i)
        client.addPrinter(QStringLiteral("Printer %1").arg(i), true, false);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QQuickItem *list = harness.item(QStringLiteral("printerList"));
    QVERIFY(list->property("contentHeight").toReal() > list->height());
    list->setProperty("contentY", 120.0);
    QPointer<QQuickItem> lastRow = harness.rowItem(client.printerList.last(), QStringLiteral("printerName"));
    QTRY_VERIFY(lastRow);

    // The periodic refresh announces the same printers again.
    emit client.printersChanged();
    QCOMPARE(list->property("contentY").toReal(), 120.0);
    QVERIFY(lastRow);
    QCOMPARE(harness.rowItem(client.printerList.last(), QStringLiteral("printerName")), lastRow.data());

    // One printer gone and another come: the rows show the new list.
    FakePrinter *gone = client.printerList.takeAt(3);
    client.printerList.append(new FakePrinter(QStringLiteral("Printer new"), false, true, &client));
    emit client.printersChanged();
    QCOMPARE(harness.rowItem(gone, QStringLiteral("printerName")), nullptr);
    QStringList names;
    for (QObject *name : harness.objects(QStringLiteral("printerName")))
        names << name->property("text").toString();
    QVERIFY(names.contains(QStringLiteral("Printer new")));
    QVERIFY(!names.contains(QStringLiteral("Printer 3")));
}

void TestScreens::emptyPrinterList()
{
    FakePrintClient client;
    client.setStarted(true);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));

    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("printersEmpty"))));
    QVERIFY(harness.shownTexts().contains(QStringLiteral("Não foi encontrada nenhuma impressora")));
    QCOMPARE(harness.item(QStringLiteral("printerList"))->property("count").toInt(), 0);
    QVERIFY(harness.objects(QStringLiteral("availableSwitch")).isEmpty());

    FakePrinter *printer = client.addPrinter(QStringLiteral("Bar"), true, false);
    QCOMPARE(harness.item(QStringLiteral("printerList"))->property("count").toInt(), 1);
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("printersEmpty"))));
    QTRY_VERIFY(harness.rowItem(printer, QStringLiteral("availableSwitch")));
}

void TestScreens::terminalList()
{
    FakePrintClient client;
    client.setStarted(true);
    ScreenHarness harness(&client);
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

    FakeTpa *tpa = client.addTpa(QStringLiteral("iCT250 [ttyACM0]"), true);
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("tpasEmpty"))));
    QVERIFY(harness.shownTexts().contains(QStringLiteral("Terminais")));
    QTRY_VERIFY(harness.rowItem(tpa, QStringLiteral("availableSwitch")));
    QCOMPARE(harness.rowItem(tpa, QStringLiteral("tpaName"))->property("text").toString(),
        QStringLiteral("iCT250 [ttyACM0]"));

    harness.click(harness.rowItem(tpa, QStringLiteral("availableSwitch")));
    QCOMPARE(tpa->available(), false);
    QCOMPARE(harness.rowItem(tpa, QStringLiteral("availableLabel"))->property("text").toString(),
        QStringLiteral("Inativo"));

    harness.click(harness.shownItem(QStringLiteral("refreshButton")));
    QCOMPARE(client.updateTpasCalls, 1);
    QCOMPARE(client.updatePrintersCalls, 0);
    harness.click(harness.shownItem(QStringLiteral("backButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::busyOverlayWhileFetching()
{
    FakePrintClient client;
    client.setStarted(true);
    FakePrinter *printer = client.addPrinter(QStringLiteral("Bar"), true, false);
    FakeTpa *tpa = client.addTpa(QStringLiteral("Move/5000 [ttyUSB0]"), true);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    harness.navigate(QStringLiteral("config"));
    waitShown(harness, QStringLiteral("configScreen"));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("printersBusy"))));

    harness.click(harness.shownItem(QStringLiteral("refreshButton")));
    QCOMPARE(client.updatePrintersCalls, 1);
    QCOMPARE(client.updateTpasCalls, 0);
    client.setFetching(true);
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

    client.setFetching(false);
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
    FakePrintClient client;
    client.setStarted(true);
    client.setLanguage(language);
    ScreenHarness harness(&client, language);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("printersCard"))));
    QCOMPARE(ScreenHarness::shown(harness.item(QStringLiteral("terminalsCard"))), terminalsCard);
}

void TestScreens::copyFeedbackDisappears()
{
    FakePrintClient client;
    client.setStarted(true);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));
    QCOMPARE(harness.object(QStringLiteral("appSettings"))->property("copyFeedbackDuration").toInt(), 3000);
    harness.object(QStringLiteral("appSettings"))->setProperty("copyFeedbackDuration", 300);

    QQuickItem *copied = harness.item(QStringLiteral("keyCopied"));
    QVERIFY(!ScreenHarness::shown(copied));
    harness.click(harness.item(QStringLiteral("securityKey")));
    QCOMPARE(client.clipboardTexts, QStringList { client.securityKey() });
    QVERIFY(ScreenHarness::shown(copied));
    QCOMPARE(copied->property("text").toString(), QStringLiteral("Copiado!"));

    // A second copy restarts the time.
    QTest::qWait(200);
    harness.click(harness.item(QStringLiteral("copyKey")));
    QCOMPARE(client.clipboardTexts.size(), 2);
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
    FakePrintClient client;
    client.setStarted(true);
    client.setLanguage(language);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QVERIFY(QTest::qWaitForWindowExposed(harness.window()));
    waitShown(harness, QStringLiteral("initialScreen"));

    harness.click(harness.item(QStringLiteral("linkDownloads")));
    harness.click(harness.item(QStringLiteral("linkHelp")));
    harness.click(harness.item(QStringLiteral("linkSupport")));
    const QList<QUrl> expected { QUrl(download), QUrl(help), QUrl(support) };
    QCOMPARE(harness.urls.urls, expected);

    // "Logs" belongs to debug mode only.
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("linkLogs"))));
    client.setIsDebugMode(true);
    QVERIFY(ScreenHarness::shown(harness.item(QStringLiteral("linkLogs"))));
    harness.click(harness.item(QStringLiteral("linkLogs")));
    QCOMPARE(harness.screenState(), QStringLiteral("logs"));

    // The left label leads back to the start screen.
    harness.click(harness.item(QStringLiteral("linkHome")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::logScreen()
{
    FakePrintClient client;
    client.setStarted(true);
    client.setIsDebugMode(true);
    client.setDebugMessages({ QStringLiteral("[2025-12-06 10:00:02.000]: second"),
        QStringLiteral("[2025-12-06 10:00:01.000]: <b>first</b>") });
    ScreenHarness harness(&client);
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

    client.setDebugMessages(
        QStringList { QStringLiteral("[2025-12-06 10:00:03.000]: third") } + client.debugMessages());
    QTRY_COMPARE(harness.item(QStringLiteral("logList"))->property("count").toInt(), 3);

    harness.click(harness.shownItem(QStringLiteral("backButton")));
    QCOMPARE(harness.screenState(), QStringLiteral("allSet"));
}

void TestScreens::aboutOverlay()
{
    FakePrintClient client;
    client.setStarted(true);
    client.setIpAddresses({ QStringLiteral("192.168.1.20"), QStringLiteral("10.0.0.7") });
    ScreenHarness harness(&client);
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
    QVERIFY(texts.contains(QStringLiteral("Versão: v4.1.0")));
    QVERIFY(texts.contains(QStringLiteral("06 Dec 2025 17:35:42")));
    QVERIFY(texts.contains(QStringLiteral("O Varnel está atualizado")));
    QVERIFY(texts.contains(QStringLiteral("192.168.1.20")));
    QVERIFY(texts.contains(QStringLiteral("10.0.0.7")));
    QVERIFY(!ScreenHarness::shown(harness.item(QStringLiteral("aboutUpdate"))));

    // Each address row has its own copy and its own feedback.
    QList<QObject *> copyIcons = harness.objects(QStringLiteral("copyIp"));
    QList<QObject *> feedback = harness.objects(QStringLiteral("ipCopied"));
    QCOMPARE(copyIcons.size(), 2);
    harness.click(qobject_cast<QQuickItem *>(copyIcons.at(1)));
    QCOMPARE(client.clipboardTexts, QStringList { QStringLiteral("10.0.0.7") });
    int shownFeedback = 0;
    for (QObject *label : feedback)
        shownFeedback += ScreenHarness::shown(qobject_cast<QQuickItem *>(label)) ? 1 : 0;
    QCOMPARE(shownFeedback, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!ScreenHarness::shown(qobject_cast<QQuickItem *>(feedback.at(1))), 2000);

    harness.click(harness.item(QStringLiteral("compatibilitySwitch")));
    QCOMPARE(client.compatibilityMode(), true);

    client.setHasUpdate(true);
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
    client.setHasUpdate(false);
    waitShown(harness, QStringLiteral("initialScreen"));
    harness.click(harness.item(QStringLiteral("linkAbout")));
    panel = harness.item(QStringLiteral("aboutPanel"));
    QVERIFY(panel);
    QTRY_COMPARE(panel->opacity(), 1.0);
    harness.click(harness.item(QStringLiteral("aboutClose")));
    QTRY_VERIFY(panel.isNull());
}

// One screen as the screenshot test shows it: how to set the controller up, where to go, and the
// texts (context and source) that must appear in the language shown.
struct ScreenShot
{
    QString name;
    std::function<void(FakePrintClient &)> setUp;
    QString screen;
    bool about;
    QList<QPair<const char *, const char *>> texts;
};

static QList<ScreenShot> screenShots()
{
    auto printers = [](FakePrintClient &client) {
        client.setStarted(true);
        client.addPrinter(QStringLiteral("EPSON TM-T20III"), true, true);
        client.addPrinter(QStringLiteral("Star TSP143IIIU"), true, false);
        client.addPrinter(QStringLiteral("Bixolon SRP-350plusIII (cozinha)"), false, true);
        for (int i = 1; i <= 6; ++i)
            client.addPrinter(QStringLiteral("POS-80 Balcão %1").arg(i), i % 3 != 0, i % 2 == 0);
    };
    return {
        { QStringLiteral("splash"), [](FakePrintClient &) {}, QStringLiteral("loading"), false,
            { { "main", "Powered by" } } },
        { QStringLiteral("update"),
            [](FakePrintClient &client) {
                client.setStarted(true);
                client.setHasUpdate(true);
            },
            QStringLiteral("loading"), false,
            { { "main", "Atualização disponível!" }, { "main", "Mais tarde" }, { "main", "Atualizar" } } },
        { QStringLiteral("start"), [](FakePrintClient &client) { client.setStarted(true); },
            QStringLiteral("allSet"), false,
            { { "Initial", "Configuração de dispositivos" }, { "Initial", "Estado do serviço" },
                { "Initial", "Ativo" }, { "Initial", "Chave de segurança:" },
                { "Initial", "Configurar impressoras no ponto de venda." }, { "main", "Descargas" },
                { "main", "Apoio cliente" } } },
        { QStringLiteral("printers"), printers, QStringLiteral("config"), false,
            { { "Config", "Configuração de impressora" }, { "Config", "Disponível" },
                { "PrinterListItem", "Ligado" }, { "PrinterListItem", "Desligado" },
                { "PrinterListItem", "Inativo" }, { "Config", "Atualizar lista" } } },
        { QStringLiteral("printers-empty"), [](FakePrintClient &client) { client.setStarted(true); },
            QStringLiteral("config"), false,
            { { "Config", "Não foi encontrada nenhuma impressora" }, { "Config", "Voltar" } } },
        { QStringLiteral("terminals"),
            [](FakePrintClient &client) {
                client.setStarted(true);
                client.addTpa(QStringLiteral("Ingenico iCT250 [ttyACM0]"), true);
                client.addTpa(QStringLiteral("Newnote N910 [ttyUSB0]"), false);
            },
            QStringLiteral("terminals"), false,
            { { "Terminals", "Configuração de terminais de pagamento automático (TPA)" },
                { "Terminals", "Terminais" }, { "TpaListItem", "Ligado" }, { "TpaListItem", "Ativo" },
                { "TpaListItem", "Inativo" } } },
        { QStringLiteral("logs"),
            [](FakePrintClient &client) {
                client.setStarted(true);
                client.setIsDebugMode(true);
                QStringList lines;
                for (int i = 9; i >= 0; --i)
                    lines << QStringLiteral(
                        "[2025-12-06 10:00:0%1.000]: SSL Version: OpenSSL 3.0.15 3 Sep 2024")
                                 .arg(i);
                client.setDebugMessages(lines);
            },
            QStringLiteral("logs"), false,
            { { "Logs", "Consulte os logs" }, { "Logs", "Mensagem" }, { "main", "Logs" } } },
        { QStringLiteral("about"),
            [](FakePrintClient &client) {
                client.setStarted(true);
                client.setIpAddresses({ QStringLiteral("192.168.1.20"), QStringLiteral("172.17.0.1") });
            },
            QStringLiteral("allSet"), true,
            { { "OverlayAbout", "O Varnel está atualizado" }, { "OverlayAbout", "Data:" },
                { "OverlayAbout", "Sistema operativo:" }, { "OverlayAbout", "Modo Compatibilidade" },
                { "OverlayAbout", "Desativo" } } },
    };
}

static QImage render(const ScreenShot &shot, const QString &language, QStringList *texts)
{
    // The pointer rests off the window, so no card or link shows its hover colour.
    QCursor::setPos(1270, 790);
    FakePrintClient client;
    client.setLanguage(language.isEmpty() ? QStringLiteral("pt") : language);
    shot.setUp(client);
    ScreenHarness harness(&client, language);
    if (!harness.load() || !QTest::qWaitForWindowExposed(harness.window()))
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

    // The same screen with no catalog at all: what a language's rendering must differ from.
    QStringList untranslatedTexts;
    const QImage untranslated = render(shot, QString(), &untranslatedTexts);
    QVERIFY(!untranslated.isNull());

    for (const QString &language : { QStringLiteral("pt"), QStringLiteral("en"), QStringLiteral("es") }) {
        QStringList texts;
        const QImage image = render(shot, language, &texts);
        QVERIFY2(!image.isNull(), qPrintable(language));
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
    FakePrintClient client;
    client.setStarted(true);
    client.setFirstStartup(false);
    ScreenHarness harness(&client);
    QVERIFY(harness.load());
    QObject *tray = harness.object(QStringLiteral("tray"));
    QVERIFY(tray->property("available").toBool());

    // The icon as the tray shows it: the widget docked into the tray. Its pixels tell which
    // image it holds: the blue one when the service is on, the grey one when off.
    QWidget *icon = nullptr;
    QTRY_VERIFY((icon = trayIconWidget()) != nullptr);
    QTRY_COMPARE(dominantIconColour(icon), QColor("#0082F2"));
    client.setServerActive(false);
    QTRY_COMPARE(dominantIconColour(icon), QColor("#8F9EB9"));
    client.setServerActive(true);
    QTRY_COMPARE(dominantIconColour(icon), QColor("#0082F2"));

    // A controller message becomes a balloon.
    client.setMessage(QStringLiteral("Serviço de impressão desligado"));
    QTRY_VERIFY(balloonShows(QStringLiteral("Serviço de impressão desligado")));
}

int main(int argc, char *argv[])
{
    // A real window needs a real X server; a tray runs in it for the tray icon.
    XvfbDisplay display;
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
