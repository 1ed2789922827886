#include "apiclient.h"
#include "cupsscheduler.h"
#include "diagnostics.h"
#include "journal.h"
#include "logfile.h"
#include "printclient.h"
#include "printer.h"
#include "qmlresources.h"
#include "testsupport.h"
#include "varnelprocess.h"

#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtQml>
#include <QtTest>

#include <memory>

// The window bound to the program's controller, whose printers are the queues of a private CUPS
// scheduler, driven by clicks; and every screen in every language through the screenshots tool.
class tst_Screens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowFoundWithoutTray();
    void serviceSwitch();
    void printerList();
    void testReceiptPrintedAndPreviewed();
    void historyReprintAndExport();
    void logLinesArePlainText();
    void everyScreenInEveryLanguage();
    void textsReadableAndLogReachable();
    void keyboardReachesEveryControl();
    void catalogsFinished();

private:
    // The item so named (of several, the one shown; in a list, the row of printer).
    QQuickItem *item(const char *name, QObject *printer = nullptr) const;
    QString text(const char *name, QObject *printer = nullptr) const
    {
        return item(name, printer)->property("text").toString();
    }
    void click(const char *name, QObject *printer = nullptr) const;
    // Visible and done fading in: it and its ancestors fully opaque.
    static bool shown(const QQuickItem *item);

    CupsScheduler m_cups;
    QTemporaryDir m_settings;
    LogFile m_log { m_settings.filePath(QStringLiteral("varnel.log")) };
    std::unique_ptr<PrintClient> m_client;
    QQmlApplicationEngine m_engine;
    QQuickWindow *m_window = nullptr;
    ApiClient m_api;
};

void tst_Screens::initTestCase()
{
    QVERIFY(m_cups.start({ QStringLiteral("teststate") }));
    for (int i = 0; i < 12; ++i)
        QVERIFY(m_cups.addQueue(QStringLiteral("Printer_%1").arg(i, 2, 10, QLatin1Char('0'))));
    TestSupport::useTemporarySettings(m_settings);
    // Not the first start: the program starts in the tray.
    m_api.key = QStringLiteral("Zk3aQ0xMv4.0");
    QSettings().setValue(QStringLiteral("securityKey"), m_api.key);
    qputenv("VARNEL_UPDATE_URL", "http://127.0.0.1:1");
    // The controller's listener takes the test's port.
    TestSupport::apiPort();

    // As the program's entry point does, then starts the controller before the window loads.
    PrintClient::registerQmlTypes();
    m_client = std::make_unique<PrintClient>();
    m_client->setRefreshIntervals(300, 30000, 60000);
    m_client->startup();
    initQmlResources();
    // "Sair" must not end the test.
    disconnect(&m_engine, &QQmlEngine::quit, nullptr, nullptr);
    QQmlContext *context = m_engine.rootContext();
    context->setContextProperty(QStringLiteral("printClient"), m_client.get());
    context->setContextProperty(QStringLiteral("diagnostics"), new Diagnostics(m_client.get(), &m_log, this));
    for (const char *name : { "RELEASENAME", "RELEASEDATE", "OSDATA" })
        context->setContextProperty(QLatin1String(name), QStringLiteral("x"));
    context->setContextProperty(QStringLiteral("DISPLAY_WIDTH"), 950);
    context->setContextProperty(QStringLiteral("DISPLAY_HEIGHT"), 700);
    m_engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    m_window = qobject_cast<QQuickWindow *>(m_engine.rootObjects().value(0));
    QVERIFY(m_window);
}

QQuickItem *tst_Screens::item(const char *name, QObject *printer) const
{
    // Every item drawn in the window, list rows and overlays included.
    QList<QQuickItem *> items { m_window->contentItem() };
    for (int i = 0; i < items.size(); ++i)
        items += items.at(i)->childItems();
    QQuickItem *first = nullptr;
    for (QQuickItem *found : qAsConst(items)) {
        if (found->objectName() != QLatin1String(name))
            continue;
        QQuickItem *row = found;
        while (row && !row->property("printer").isValid())
            row = row->parentItem();
        if (printer && row && row->property("printer").value<QObject *>() == printer)
            return found;
        if (!printer && shown(found))
            return found;
        first = first ? first : found;
    }
    return printer ? nullptr : first;
}

void tst_Screens::click(const char *name, QObject *printer) const
{
    QQuickItem *item = this->item(name, printer);
    QVERIFY2(item, name);
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
        item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}

bool tst_Screens::shown(const QQuickItem *item)
{
    if (!item || !item->isVisible())
        return false;
    for (; item; item = item->parentItem()) {
        if (item->opacity() < 1.0)
            return false;
    }
    return true;
}

// Offscreen there is no tray: the window shows although a key is stored, and closing minimises it.
void tst_Screens::windowFoundWithoutTray()
{
    QVERIFY(m_window->isVisible());
    m_window->close();
    QTRY_COMPARE(m_window->visibility(), QWindow::Minimized);
    m_window->hide();

    // A second start asks for the window through the settings store.
    QSettings secondStart;
    secondStart.setValue(QStringLiteral("showWindow"), true);
    secondStart.sync();
    QTRY_VERIFY(m_window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QCOMPARE(QSettings().value(QStringLiteral("showWindow")).toBool(), false);

    // The right click that opens the tray menu does not raise the window; a left click does.
    m_window->hide();
    QObject *tray = m_window->findChild<QObject *>(QStringLiteral("tray"));
    const QMetaMethod activated = tray->metaObject()->method(
        tray->metaObject()->indexOfSignal("activated(QPlatformSystemTrayIcon::ActivationReason)"));
    const auto activate = [&](int reason) {
        return activated.invoke(tray, QGenericArgument("QPlatformSystemTrayIcon::ActivationReason", &reason));
    };
    QVERIFY(activate(1)); // Context
    QVERIFY(!m_window->isVisible());
    QVERIFY(activate(3)); // Trigger
    QVERIFY(m_window->isVisible());
}

// Off from the start screen, on again from the tray menu: stored, and the port follows.
void tst_Screens::serviceSwitch()
{
    // The start screen fades in after the window shows.
    QTRY_VERIFY(shown(item("serviceSwitch")));
    // Its copy button copies the whole key.
    click("copyKey");
    QCOMPARE(QGuiApplication::clipboard()->text(), m_api.key);
    click("serviceSwitch");
    QCOMPARE(QSettings().value(QStringLiteral("serverActive")).toBool(), false);
    QCOMPARE(m_api.request("GET", "/").status, 0);
    QCOMPARE(item("serviceLine")->property("value").toString(), QStringLiteral("Desligado"));
    // The first thing a cashier sees, with the way out.
    QCOMPARE(text("healthTitle"), QStringLiteral("O serviço está desligado"));
    QCOMPARE(text("healthAction"), QStringLiteral("Ligar o serviço"));
    QObject *menu
        = m_window->findChild<QObject *>(QStringLiteral("tray"))->property("menu").value<QObject *>();
    QObject *toggle = QQmlListReference(menu, "items").at(1);
    QCOMPARE(toggle->property("text").toString(), QStringLiteral("Ligar serviço"));
    QMetaObject::invokeMethod(toggle, "triggered");
    QCOMPARE(m_api.call("/getStatus").value("status"), QJsonValue(true));
    QCOMPARE(item("serviceSwitch")->property("checked").toBool(), true);
}

// Refreshes keep the rows and the reader's place, and show in words why a queue is not ready; the
// switch offers a printer to the API and takes it back.
void tst_Screens::printerList()
{
    click("printersCard");
    QTRY_VERIFY(shown(item("configScreen")));
    Printer *printer = nullptr;
    for (Printer *listed : m_client->printerPointers())
        printer = listed->name() == QLatin1String("Printer_11") ? listed : printer;
    QVERIFY(printer);
    QQuickItem *list = item("printerList");
    // Scrolled to the end, where the last printer's row is.
    const qreal place = list->property("contentHeight").toReal() - list->height();
    QVERIFY(place > 0);
    list->setProperty("contentY", place);
    QPointer<QQuickItem> name;
    QTRY_VERIFY((name = item("printerName", printer)) != nullptr);
    QCOMPARE(text("stateText", printer), QStringLiteral("Pronta"));

    click("availableSwitch", printer);
    QVERIFY(printer->available());
    QCOMPARE(QSettings().value(VarnelProcess::printerKey(printer->name())).toBool(), true);
    QCOMPARE(m_api.call("/getPrinters").value("data"), QJsonValue(QJsonArray { "Printer_11" }));

    // Its backend finds no paper while it prints.
    QVERIFY(m_cups.command("lpadmin", { "-p", printer->name(), "-v", "teststate:/media-empty-error" }));
    QVERIFY(m_cups.command("lp", { "-d", printer->name(), "-o", "raw", TestSupport::fixture("teststate") }));
    QTRY_COMPARE(text("stateText", printer), QStringLiteral("Sem papel"));
    QCOMPARE(text("remedy", printer), QStringLiteral("Coloque um rolo de papel novo."));
    QCOMPARE(list->property("contentY").toReal(), place);
    // The start screen tells it of the printers in use.
    QQuickItem *line = nullptr;
    QList<QQuickItem *> items { m_window->contentItem() };
    for (int i = 0; i < items.size(); ++i) {
        items += items.at(i)->childItems();
        if (items.at(i)->objectName() == QLatin1String("printerLine")
            && items.at(i)->property("label").toString() == printer->name())
            line = items.at(i);
    }
    QVERIFY(line);
    QCOMPARE(
        line->property("value").toString(), QStringLiteral("Sem papel · Coloque um rolo de papel novo."));
    QCOMPARE(item("printerName", printer), name.data());
    QCOMPARE(text("availableLabel", printer), QStringLiteral("Ativa"));

    click("availableSwitch", printer);
    QCOMPARE(QSettings().value(VarnelProcess::printerKey(printer->name())).toBool(), false);
    QCOMPARE(m_api.call("/getPrinters").value("data"), QJsonValue(QJsonArray()));
}

// "Print test" reaches the queue through the normal path and says how it went; "Preview" shows the
// paper.
void tst_Screens::testReceiptPrintedAndPreviewed()
{
    const QString name = QStringLiteral("Balcão");
    QVERIFY(m_cups.addQueue(name));
    const auto named = [&] {
        for (Printer *listed : m_client->printerPointers()) {
            if (listed->name() == name)
                return listed;
        }
        return static_cast<Printer *>(nullptr);
    };
    Printer *printer = nullptr;
    QTRY_VERIFY((printer = named()));
    // A new queue joins the end of the list. Its row is clicked once the list has laid it out
    // there (until then it stands at the top) and scrolled it into view.
    QQuickItem *list = item("printerList");
    QTRY_VERIFY(list->property("contentHeight").toReal() > list->height());
    const auto inView = [&] {
        const qreal contentHeight = list->property("contentHeight").toReal();
        list->setProperty("contentY", contentHeight - list->height());
        QQuickItem *button = item("printTestButton", printer);
        QQuickItem *row = button;
        while (row && !row->property("printer").isValid())
            row = row->parentItem();
        const QRectF shown = list->mapRectToScene(QRectF(0, 0, list->width(), list->height()));
        const QQuickItem *column = row ? row->parentItem() : nullptr;
        return column
            && row->y() + row->height() >= column->height() - column->property("bottomPadding").toReal() - 1
            && shown.contains(button->mapRectToScene(QRectF(0, 0, button->width(), button->height())));
    };
    QTRY_VERIFY(inView());

    click("printTestButton", printer);
    // A whole receipt through the scheduler, which takes a few seconds under the sanitizers.
    QTRY_COMPARE_WITH_TIMEOUT(text("testOutcome", printer), QStringLiteral("Teste enviado"), 20000);
    const auto printed = [&] {
        QFile file(m_cups.outputFile(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY(printed().startsWith("\x1b@\x1b\x61\x01"));
    QVERIFY(m_cups.command(QStringLiteral("cupsreject"), { name }));
    click("printTestButton", printer);
    QTRY_COMPARE_WITH_TIMEOUT(
        text("testOutcome", printer), QStringLiteral("A impressora não aceitou o trabalho"), 20000);

    click("previewButton", printer);
    QQuickItem *paper = nullptr;
    QTRY_VERIFY((paper = item("previewImage")) && paper->property("status").toInt() == 1); // Image.Ready
    const QSize size = paper->property("sourceSize").toSize();
    QVERIFY(size.height() > size.width());
    click("previewClose");
    QTRY_VERIFY(!item("previewImage"));
}

// The day's receipt and payment from the journal: the receipt prints again, the same bytes, on the
// printer chosen, and the payments go to a CSV file, quoted where a field needs it.
void tst_Screens::historyReprintAndExport()
{
    const auto contents = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray receipt("\x1b@\x1b\x61\x01kept receipt\n\x1dV\x41\x03");
    const QString port = QStringLiteral("/dev/ttyVRL9");
    m_client->journal()->run([&](JournalStore &store) {
        store.printEnded(
            store.printStarted("Printer_00", QString(), receipt), 7, "Job completed successfully");
        store.commandStarted(port, "Caixa \"1\", loja", "purchase", "12.50", QString());
        store.fileText(port, "VRL0000|M00|Comando adicionado com sucesso");
        store.commandEnded(port);
    });
    Printer *printer = nullptr;
    for (Printer *listed : m_client->printerPointers())
        printer = listed->name() == QLatin1String("Printer_05") ? listed : printer;
    QVERIFY(printer);
    printer->setAvailable(true);
    QTemporaryDir exported;
    m_client->history()->setExportFolder(exported.path());

    QMetaObject::invokeMethod(m_window, "navigate", Q_ARG(QVariant, QLatin1String("history")));
    QTRY_VERIFY(shown(item("historyScreen")));
    QCOMPARE(m_client->history()->count(), 2);
    // Newest first.
    QCOMPARE(text("historyOutcome"), QStringLiteral("VRL0000|M00|Comando adicionado com sucesso"));
    click("reprintButton");
    QTRY_VERIFY(shown(item("printerChoice")));
    QCOMPARE(text("printerChoiceButton"), QStringLiteral("Printer_05"));
    click("printerChoiceButton");
    QTRY_COMPARE_WITH_TIMEOUT(
        text("historyNotice"), QStringLiteral("Talão enviado para a impressora"), 20000);
    QTRY_COMPARE(contents(m_cups.outputFile("Printer_05")), receipt);
    // Journaled as a receipt of its own.
    QCOMPARE(m_client->history()->count(), 3);

    click("exportPayments");
    const QString file = exported.filePath(
        QStringLiteral("pagamentos-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate)));
    QVERIFY2(text("historyNotice").endsWith(file), qPrintable(text("historyNotice")));
    const QList<QByteArray> rows = contents(file).split('\n');
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0), QByteArray("Data e hora,Terminal,Ponto de venda,Operação,Montante,Resultado\r"));
    QVERIFY2(rows.at(1).endsWith(",/dev/ttyVRL9,\"Caixa \"\"1\"\", loja\",Compra,12.50,"
                                 "VRL0000|M00|Comando adicionado com sucesso\r"),
        rows.at(1));
    QCOMPARE(rows.at(2), QByteArray());
    printer->setAvailable(false);
    QMetaObject::invokeMethod(m_window, "navigate", Q_ARG(QVariant, QLatin1String("allSet")));
}

// Log lines (like printer names and the key) are shown as they are, never read as markup; their
// time stands in a column of its own.
void tst_Screens::logLinesArePlainText()
{
    m_client->setDebugMessages(
        { QStringLiteral("[2026-12-06 10:00:02.125]: <b>line</b>"), QStringLiteral("line") });
    QTRY_VERIFY(shown(item("linkLogs")));
    click("linkLogs");
    QTRY_VERIFY(shown(item("logsScreen")));
    QHash<QString, qreal> widths;
    QStringList times;
    for (QQuickItem *line : item("logList")->property("contentItem").value<QQuickItem *>()->childItems()) {
        for (QQuickItem *part : line->childItems()) {
            if (part->objectName() == QLatin1String("logMessage"))
                widths.insert(part->property("text").toString(), part->property("contentWidth").toReal());
            if (part->objectName() == QLatin1String("logTime"))
                times << part->property("text").toString();
        }
    }
    QCOMPARE(times, QStringList({ "10:00:02", "" }));
    QVERIFY(widths.value(QStringLiteral("line")) > 0);
    QVERIFY(widths.value(QStringLiteral("<b>line</b>")) > 2 * widths.value(QStringLiteral("line")));
}

// The screenshots tool shows every screen in every language, each size and each scale once (the
// smallest window among them), and fails when one does not show, does not fit, or has texts that
// overlap.
void tst_Screens::everyScreenInEveryLanguage()
{
    // In device pixels: the window as large as the screen less the frame has room for.
    const QMap<QString, QSize> sizes { { "1280x800-100", { 950, 700 } }, { "1366x728-125", { 1188, 668 } },
        { "1024x768-150", { 1001, 696 } } };
    QTemporaryDir out;
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    // The slow unwinding the offscreen window needs under LeakSanitizer is not for a GL window.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LSAN_OPTIONS", environment.value("LSAN_OPTIONS").remove(":fast_unwind_on_malloc=0"));
    // Beside this test's own listener: any free port.
    environment.insert("VARNEL_PORT", "0");
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(VARNEL_SCREENSHOTS), QStringList { out.path() } + sizes.keys());
    QVERIFY(tool.waitForFinished(280000));
    QCOMPARE(tool.exitCode(), 0);
    for (auto size = sizes.cbegin(); size != sizes.cend(); ++size) {
        for (const char *screen :
            { "splash", "update", "start", "printers", "terminals", "history", "logs", "about" }) {
            for (const char *language : { "pt", "pt_BR", "en", "es" })
                QCOMPARE(
                    QImage(out.filePath(QStringLiteral("%1/%2-%3.png").arg(size.key(), screen, language)))
                        .size(),
                    size.value());
        }
    }
    // In their own words.
    QVERIFY(QImage(out.filePath("1280x800-100/start-pt.png"))
        != QImage(out.filePath("1280x800-100/start-en.png")));
    QVERIFY(QImage(out.filePath("1280x800-100/start-en.png"))
        != QImage(out.filePath("1280x800-100/start-es.png")));
}

// Items as they are painted: an item, then its children.
static void paintOrder(QQuickItem *item, QList<QQuickItem *> &order)
{
    order << item;
    for (QQuickItem *child : item->childItems())
        paintOrder(child, order);
}

// What reads badly: shown texts under 4.5:1, and switch tracks, dividers and the focus ring under
// 3:1, against the last opaque rectangle painted beneath their middle (the window's colour if
// none), leaving out what a list clips away. The window has no large text.
static QStringList lowContrast(QQuickWindow *window)
{
    const auto lin = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const auto luminance = [&](const QColor &c) {
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    QList<QQuickItem *> order;
    paintOrder(window->contentItem(), order);
    QStringList low;
    for (int i = 0; i < order.size(); ++i) {
        QQuickItem *shape = order.at(i);
        const bool text = shape->inherits("QQuickText") && !shape->property("text").toString().isEmpty();
        const bool ring = shape->objectName() == QLatin1String("focusRing");
        const bool line = shape->objectName() == QLatin1String("track")
            || shape->objectName() == QLatin1String("divider");
        // A ring's middle is its control: it is seen against what surrounds the control.
        const QPointF middle = ring ? shape->mapToScene(QPointF(1, shape->height() / 2))
                                    : shape->mapToScene(QPointF(shape->width() / 2, shape->height() / 2));
        bool hidden = !(text || ring || line) || !shape->isVisible();
        for (QQuickItem *up = shape; up && !hidden; up = up->parentItem())
            hidden = up->opacity() < 1.0 || (up->clip() && !up->contains(up->mapFromScene(middle)));
        QColor beneath = window->color();
        for (QQuickItem *item : order.mid(0, hidden ? 0 : i)) {
            const QColor colour = item->property("color").value<QColor>();
            bool shown = item->inherits("QQuickRectangle") && item->isVisible() && colour.alpha() == 255;
            for (QQuickItem *up = item; up && shown; up = up->parentItem())
                shown = up->opacity() == 1.0;
            if (shown && item->contains(item->mapFromScene(middle)))
                beneath = colour;
        }
        const QColor colour = ring
            ? shape->property("border").value<QObject *>()->property("color").value<QColor>()
            : shape->property("color").value<QColor>();
        const double a = luminance(colour), b = luminance(beneath);
        if (!hidden && (qMax(a, b) + 0.05) / (qMin(a, b) + 0.05) < (text ? 4.5 : 3.0))
            low << (text ? shape->property("text").toString() : shape->objectName());
    }
    return low;
}

// On every screen, in the update prompt and in the about panel; and from the about panel, without
// the debug switch, the log and "Copiar dados de diagnóstico".
void tst_Screens::textsReadableAndLogReachable()
{
    m_client->setIsDebugMode(false);
    m_client->setHasUpdate(true);
    const char *const screens[][2]
        = { { "loading", "updatePrompt" }, { "allSet", "initialScreen" }, { "config", "configScreen" },
              { "terminals", "terminalsScreen" }, { "history", "historyScreen" }, { "logs", "logsScreen" } };
    for (const auto &screen : screens) {
        QMetaObject::invokeMethod(m_window, "navigate", Q_ARG(QVariant, QLatin1String(screen[0])));
        QTRY_VERIFY(shown(item(screen[1])));
        QVERIFY2(lowContrast(m_window).isEmpty(), qPrintable(lowContrast(m_window).join(", ")));
        m_client->setHasUpdate(false);
    }
    QMetaObject::invokeMethod(m_window, "showAbout");
    QTRY_VERIFY(shown(item("aboutPanel")) && item("aboutPanel")->scale() == 1.0);
    QVERIFY2(lowContrast(m_window).isEmpty(), qPrintable(lowContrast(m_window).join(", ")));
    click("aboutLog");
    QTRY_VERIFY(shown(item("logsScreen")) && !item("aboutPanel"));
    m_log.append(QStringLiteral("[2026-12-06 10:00:04.000]: on disk"));
    click("copyDiagnostics");
    for (const QString &part :
        { m_client->version(), QStringLiteral("Printer_11"), QStringLiteral("]: on disk") })
        QVERIFY2(QGuiApplication::clipboard()->text().contains(part), qPrintable(part));
}

// Tab reaches every control of each screen in reading order, scrolled into view on the smallest
// window, named and given a role for screen readers and ringed in a colour that stands out;
// Shift+Tab goes back. Space and Enter press, Esc goes back to the start and closes the about
// panel, which keeps the keyboard while it is open.
void tst_Screens::keyboardReachesEveryControl()
{
    m_window->resize(m_window->minimumSize());
    QTRY_COMPARE(m_window->size(), QSize(640, 440));
    const auto focused = [this] { return m_window->activeFocusItem(); };
    // The controls shown under root that take the keyboard, in the order they are painted.
    const auto controls = [](QQuickItem *root) {
        QList<QQuickItem *> order, found;
        paintOrder(root, order);
        for (QQuickItem *item : qAsConst(order)) {
            if (item->activeFocusOnTab() && item->isEnabled() && shown(item))
                found << item;
        }
        return found;
    };
    const auto press = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(m_window, key, modifiers);
    };
    const auto tabTo = [&](const char *name) {
        for (int i = 0; i < 60 && (!focused() || focused()->objectName() != QLatin1String(name)); ++i)
            press(Qt::Key_Tab);
        return focused() && focused()->objectName() == QLatin1String(name);
    };
    // One round of Tab from the first control: every control once, each as a screen reader and a
    // sighted user need it, then round to the first; Shift+Tab goes back to the last.
    const auto round = [&](QQuickItem *root) {
        const QList<QQuickItem *> expected = controls(root);
        QVERIFY(expected.size() > 1);
        expected.first()->forceActiveFocus(Qt::TabFocusReason);
        QList<QQuickItem *> reached;
        for (int i = 0; i < expected.size(); ++i) {
            QQuickItem *control = focused();
            QVERIFY2(expected.contains(control), qPrintable(control ? control->objectName() : QString()));
            reached << control;
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
            QVERIFY(QList<QAccessible::Role>({ QAccessible::Button, QAccessible::CheckBox })
                        .contains(accessible->role()));
            // Whole in view, however far down it is.
            QRectF inView = control->mapRectToScene(control->boundingRect());
            for (QQuickItem *up = control->parentItem(); up; up = up->parentItem()) {
                if (up->clip())
                    inView &= up->mapRectToScene(up->boundingRect());
            }
            QCOMPARE(inView, control->mapRectToScene(control->boundingRect()));
            QList<QQuickItem *> parts { control };
            bool ringed = false;
            for (int j = 0; j < parts.size(); ++j) {
                parts += parts.at(j)->childItems();
                ringed = ringed
                    || (parts.at(j)->objectName() == QLatin1String("focusRing") && parts.at(j)->isVisible());
            }
            QVERIFY2(ringed, qPrintable(control->objectName()));
            QVERIFY2(lowContrast(m_window).isEmpty(), qPrintable(lowContrast(m_window).join(", ")));
            press(Qt::Key_Tab);
        }
        QCOMPARE(focused(), expected.first());
        QCOMPARE(QSet<QQuickItem *>(reached.cbegin(), reached.cend()).size(), expected.size());
        // Reading order within what scrolls together: down, or along a line.
        const auto view = [](QQuickItem *control) {
            QQuickItem *up = control->parentItem();
            while (up && !up->inherits("QQuickFlickable"))
                up = up->parentItem();
            return up;
        };
        for (int i = 1; i < reached.size(); ++i) {
            const QRectF before = reached.at(i - 1)->mapRectToScene(reached.at(i - 1)->boundingRect());
            const QRectF after = reached.at(i)->mapRectToScene(reached.at(i)->boundingRect());
            QVERIFY2(view(reached.at(i - 1)) != view(reached.at(i)) || after.top() >= before.top() - 8
                    || after.left() >= before.right(),
                qPrintable(
                    reached.at(i - 1)->objectName() + QLatin1String(" > ") + reached.at(i)->objectName()));
        }
        press(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focused(), reached.last());
    };

    const char *const screens[][2] = { { "allSet", "initialScreen" }, { "config", "configScreen" },
        { "terminals", "terminalsScreen" }, { "history", "historyScreen" }, { "logs", "logsScreen" } };
    for (const auto &screen : screens) {
        QMetaObject::invokeMethod(m_window, "navigate", Q_ARG(QVariant, QLatin1String(screen[0])));
        for (const auto &other : screens)
            QTRY_VERIFY(shown(item(other[1])) == (&other == &screen));
        round(m_window->contentItem());
    }

    // From the keyboard alone: into the printer list and back, the service off and on.
    press(Qt::Key_Escape);
    QTRY_VERIFY(shown(item("initialScreen")));
    QVERIFY(tabTo("printersCard"));
    press(Qt::Key_Return);
    QTRY_VERIFY(shown(item("configScreen")));
    press(Qt::Key_Escape);
    QTRY_VERIFY(shown(item("initialScreen")));
    QVERIFY(tabTo("serviceSwitch"));
    press(Qt::Key_Space);
    QCOMPARE(m_client->serverActive(), false);
    press(Qt::Key_Enter);
    QCOMPARE(m_client->serverActive(), true);

    // The about panel keeps the keyboard, Esc closes it and the focus returns to its link.
    QVERIFY(tabTo("linkAbout"));
    press(Qt::Key_Space);
    QTRY_VERIFY(shown(item("aboutPanel")) && item("aboutPanel")->scale() == 1.0);
    QQuickItem *about = item("aboutPanel")->parentItem();
    QTRY_VERIFY(about->hasActiveFocus());
    round(about);
    press(Qt::Key_Escape);
    QTRY_VERIFY(!item("aboutPanel"));
    // The focus goes back on the next turn of the event loop, after the panel is gone.
    QTRY_COMPARE(focused() ? focused()->objectName() : QString(), QStringLiteral("linkAbout"));
    m_window->resize(950, 700);
}

// Every entry finished; outside Portuguese, none left as its source but names and shared words.
void tst_Screens::catalogsFinished()
{
    const QStringList same { "Varnel", "IP:", "Estado", "Abrir", "Ocupado", "Sistema operativo:", "Hora",
        "Resultado", "Compra", "Reimprimir", "Cancelar", "Terminal" };
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

QTEST_MAIN(tst_Screens)
#include "tst_screens.moc"
