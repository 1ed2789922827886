// screenshots: saves a picture of every screen of Varnel's window in European and Brazilian
// Portuguese, English and Spanish, on the screens of shop tills at 100 %, 125 % and 150 %.
//
//   screenshots OUTDIR [WIDTHxHEIGHT-SCALE...]
//
// For each screen size (1024x768, 1366x768 less a 40-pixel task bar, 1280x800), or those named,
// starts an X server of its own (Xvfb) and, for each scale and language, itself again with that scale as the
// desktop's (QT_FONT_DPI), that language as the system's, throw-away settings and no reachable update
// service. The printers shown are the queues of the CUPS scheduler in reach (CUPS_SERVER chooses
// another); the terminals are two made-up USB terminals. Writes
// OUTDIR/<width>x<height>-<scale>/<screen>-<language>.png (screens: splash, update, start, printers,
// terminals, history, logs, about) and ends with status 1 when a screen did
// not show, the window does not fit the screen at its scale, something shown lies outside the
// window, two texts overlap, or the screens reported an error.

#include "diagnostics.h"
#include "journal.h"
#include "logfile.h"
#include "printclient.h"
#include "printer.h"
#include "qmlresources.h"
#include "replytext.h"
#include "startup.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtQml>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/prctl.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const char *const languages[][2]
    = { { "pt", "pt_PT" }, { "pt_BR", "pt_BR" }, { "en", "en_US" }, { "es", "es_ES" } };
const char *const screens[]
    = { "splash", "initialScreen", "configScreen", "terminalsScreen", "historyScreen", "logsScreen" };
// The screen's area less the task bar, as tills have them.
const QSize screenSizes[] = { { 1024, 768 }, { 1366, 728 }, { 1280, 800 } };
const int scales[] = { 100, 125, 150 };

// A child that receives SIGTERM when this process ends, however it ends.
class OrphanProofProcess : public QProcess
{
protected:
    void setupChildProcess() override { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

bool waitFor(const std::function<bool()> &done, int limitMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.hasExpired(limitMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Shown, and done with its animations: visible, and it and its ancestors fully opaque and unscaled.
bool settled(const QQuickItem *item)
{
    if (!item || !item->isVisible())
        return false;
    for (; item; item = item->parentItem()) {
        if (item->opacity() != 1.0 || item->scale() != 1.0)
            return false;
    }
    return true;
}

// What of an item's rectangle shows: in the window, cut by every clipping item above it.
QRectF shownRect(const QQuickItem *item, const QRectF &local)
{
    QRectF rect = item->mapRectToScene(local);
    for (const QQuickItem *up = item->parentItem(); up; up = up->parentItem()) {
        if (up->clip())
            rect &= up->mapRectToScene(up->boundingRect());
    }
    return rect;
}

// Where a text's letters are within its item.
QRectF inkRect(const QQuickItem *text)
{
    const QSizeF ink(text->property("contentWidth").toReal(), text->property("contentHeight").toReal());
    const int horizontal = text->property("horizontalAlignment").toInt();
    const int vertical = text->property("verticalAlignment").toInt();
    const qreal x = horizontal & Qt::AlignRight ? text->width() - ink.width()
        : horizontal & Qt::AlignHCenter         ? (text->width() - ink.width()) / 2
                                                : 0;
    const qreal y = vertical & Qt::AlignBottom ? text->height() - ink.height()
        : vertical & Qt::AlignVCenter          ? (text->height() - ink.height()) / 2
                                               : 0;
    return QRectF(QPointF(x, y), ink);
}

QString describe(const QQuickItem *item)
{
    const QString text = item->property("text").toString();
    return QStringLiteral("%1 \"%2\"")
        .arg(item->objectName().isEmpty() ? QLatin1String(item->metaObject()->className())
                                          : item->objectName(),
            text.left(40));
}

// Items shown outside the window, and texts whose letters overlap. An overlay over the whole
// window (the about panel) hides what is beneath it: only the overlay is looked at then.
QStringList layoutFaults(QQuickWindow *window)
{
    QQuickItem *top = window->contentItem();
    for (QQuickItem *child : window->contentItem()->childItems()) {
        if (child->isVisible() && child->z() >= 100)
            top = child;
    }
    QList<QQuickItem *> items { top };
    for (int i = 0; i < items.size(); ++i) {
        for (QQuickItem *child : items.at(i)->childItems()) {
            if (child->isVisible() && child->opacity() > 0)
                items << child;
        }
    }
    const QRectF frame = QRectF(0, 0, window->width(), window->height()).adjusted(-0.5, -0.5, 0.5, 0.5);
    QStringList faults;
    QList<QPair<QQuickItem *, QRectF>> texts;
    for (QQuickItem *item : qAsConst(items)) {
        const QRectF shown = shownRect(item, item->boundingRect());
        if (item->width() <= 0 || item->height() <= 0 || shown.isEmpty())
            continue;
        if (!frame.contains(shown))
            faults << describe(item) + QStringLiteral(" lies outside the window");
        if (item->inherits("QQuickText") && !item->property("text").toString().isEmpty()) {
            const QRectF ink = shownRect(item, inkRect(item));
            if (!ink.isEmpty())
                texts << qMakePair(item, ink);
        }
    }
    for (int i = 0; i < texts.size(); ++i) {
        for (int j = i + 1; j < texts.size(); ++j) {
            const QRectF both = texts.at(i).second & texts.at(j).second;
            if (both.width() > 1 && both.height() > 1)
                faults << describe(texts.at(i).first) + QStringLiteral(" overlaps ")
                        + describe(texts.at(j).first);
        }
    }
    return faults;
}

// One language at one scale, in this process: the window as the program shows it, led through
// every screen.
int renderScreens(const QString &outDir, const QString &language, int scale)
{
    QTranslator translator;
    translator.load(Startup::translationFile(QLocale::system().name(), QStringLiteral(VARNEL_CATALOG_DIR)));
    QCoreApplication::installTranslator(&translator);
    initQmlResources();
    PrintClient::registerQmlTypes();

    PrintClient client;
    LogFile log(LogFile::defaultPath());
    Diagnostics diagnostics(&client, &log);
    QQmlApplicationEngine engine;
    bool failed = false;
    QObject::connect(&engine, &QQmlEngine::warnings, [&failed](const QList<QQmlError> &warnings) {
        for (const QQmlError &warning : warnings)
            std::fprintf(stderr, "screenshots: %s\n", qPrintable(warning.toString()));
        failed = true;
    });
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("printClient"), &client);
    context->setContextProperty(QStringLiteral("RELEASENAME"), QStringLiteral("v4.1.0"));
    context->setContextProperty(QStringLiteral("RELEASEDATE"),
        Startup::releaseDate(QDateTime::currentDateTime(), Startup::windowLocale(QLocale::system())));
    context->setContextProperty(QStringLiteral("OSDATA"),
        QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion());
    context->setContextProperty(QStringLiteral("diagnostics"), &diagnostics);
    const QSize size = Startup::windowSize(QGuiApplication::primaryScreen()->availableGeometry().size());
    context->setContextProperty(QStringLiteral("DISPLAY_WIDTH"), size.width());
    context->setContextProperty(QStringLiteral("DISPLAY_HEIGHT"), size.height());
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    auto window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    if (!qFuzzyCompare(window->devicePixelRatio(), scale / 100.0)) {
        std::fprintf(stderr, "screenshots: the window is drawn at %g, not at %d %%\n",
            window->devicePixelRatio(), scale);
        failed = true;
    }
    // The pointer rests off the window, so that nothing shows its hover colour.
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    window->show();

    const auto find = [window](const char *name) {
        const auto item = window->findChild<QQuickItem *>(QLatin1String(name));
        return item ? item : window->contentItem()->findChild<QQuickItem *>(QLatin1String(name));
    };
    // Waits until the item shows and the screens other than its own have faded out.
    const auto shoot = [&](const char *name, const char *screen, const char *itemName) {
        const auto shown = [&] {
            if (!window->isExposed())
                return false;
            for (const char *other : screens) {
                if (qstrcmp(other, screen) != 0 && (!find(other) || find(other)->isVisible()))
                    return false;
            }
            return settled(find(itemName));
        };
        const QString file = QStringLiteral("%1/%2-%3.png").arg(outDir, QLatin1String(name), language);
        if (!waitFor(shown) || !window->grabWindow().save(file)) {
            std::fprintf(stderr, "screenshots: %s did not show\n", name);
            failed = true;
            return;
        }
        QStringList faults = layoutFaults(window);
        if (!available.contains(window->geometry()))
            faults << QStringLiteral("the window does not fit the screen");
        for (const QString &fault : qAsConst(faults))
            std::fprintf(stderr, "screenshots: %s: %s\n", qPrintable(file), qPrintable(fault));
        failed = failed || !faults.isEmpty();
    };
    const auto navigate = [window](const char *screen) {
        QMetaObject::invokeMethod(window, "navigate", Q_ARG(QVariant, QLatin1String(screen)));
    };

    shoot("splash", "splash", "splashBusy");
    client.startup();
    // Two printers in use, so that the start screen shows their states (once the first reading of
    // the queues is in, if there are any).
    waitFor([&client] { return !client.printerList().isEmpty(); }, 2000);
    const QList<QSharedPointer<Printer>> printers = client.printerList();
    for (int i = 0; i < qMin(2, printers.size()); ++i)
        printers.at(i)->setAvailable(true);
    client.setHasUpdate(true);
    shoot("update", "splash", "updatePrompt");
    client.setHasUpdate(false);
    shoot("start", "initialScreen", "initialScreen");
    navigate("config");
    shoot("printers", "configScreen", "configScreen");
    client.onGetTpas(
        QList<SerialPortDescription> { { QStringLiteral("ttyVRL0"), QString(), QStringLiteral("iCT250"),
                                           QStringLiteral("Ingenico"), 0x079B, 0x0028 },
            { QStringLiteral("ttyVRL1"), QString(), QStringLiteral("N910"), QStringLiteral("Newnote"), 0x1E0E,
                0x9001 } });
    navigate("terminals");
    shoot("terminals", "terminalsScreen", "terminalsScreen");
    // A few of the day's receipts and payments, one of them cut short.
    client.journal()->run([](JournalStore &store) {
        const QString port = QStringLiteral("ttyVRL0");
        store.printEnded(store.printStarted(QStringLiteral("Balcao"), QString(), "\x1b@receipt\n"), 12,
            ReplyText::jobSent());
        store.commandStarted(
            port, QStringLiteral("Caixa 1"), QStringLiteral("purchase"), QStringLiteral("12.50"), QString());
        store.fileText(port, QStringLiteral("VRL0000|M00|Comando adicionado com sucesso"));
        store.commandEnded(port);
        store.commandStarted(
            port, QStringLiteral("Caixa 2"), QStringLiteral("refund"), QStringLiteral("3.20"), QString());
        store.commandCut(port);
        store.printEnded(store.printStarted(QStringLiteral("Balcao"), QString(), "\x1b@receipt\n"), 13,
            ReplyText::jobSent());
    });
    navigate("history");
    shoot("history", "historyScreen", "historyScreen");
    client.setIsDebugMode(true);
    // Lines as the program writes them, which no catalog translates: they are for support.
    client.setDebugMessages(
        { QStringLiteral(
              "[2026-12-06 10:00:02.000]: varnel.api: print job on \"Balcao\": Job completed successfully"),
            QStringLiteral("[2026-12-06 10:00:01.000]: varnel.app: TLS library: OpenSSL 3.0") });
    navigate("logs");
    shoot("logs", "logsScreen", "logsScreen");
    navigate("allSet");
    QMetaObject::invokeMethod(window, "showAbout");
    shoot("about", "initialScreen", "aboutPanel");
    return failed ? 1 : 0;
}

// Every scale and language, each in a child process of its own under one X server of the size.
int renderLanguages(const QString &outDir, const QSize &size, const QList<int> &scales)
{
    OrphanProofProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
        { "-displayfd", "1", "-screen", "0", QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
            "-nolisten", "tcp" });
    QByteArray display;
    while (!display.contains('\n') && xvfb.waitForReadyRead(10000))
        display += xvfb.readAllStandardOutput();
    if (!display.contains('\n')) {
        std::fprintf(stderr, "screenshots: Xvfb did not start\n");
        return 1;
    }
    display = ':' + display.trimmed();
    QTemporaryDir home;
    int status = 0;
    for (const int scale : scales) {
        const QString dir
            = QStringLiteral("%1/%2x%3-%4").arg(outDir).arg(size.width()).arg(size.height()).arg(scale);
        if (!QDir().mkpath(dir))
            return 1;
        for (const auto &language : languages) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            const QString root = home.filePath(QLatin1String(language[0]));
            environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
            // The desktop's scale in dots per inch, which Qt turns into the window's scale factor.
            environment.insert(QStringLiteral("QT_FONT_DPI"), QString::number(96 * scale / 100));
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            environment.remove(QStringLiteral("QT_QUICK_BACKEND"));
            const QString locale = QLatin1String(language[1]) + QStringLiteral(".UTF-8");
            environment.insert(QStringLiteral("LANG"), locale);
            environment.insert(QStringLiteral("LC_ALL"), locale);
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
            environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
            environment.insert(QStringLiteral("XDG_STATE_HOME"), root + QStringLiteral("/state"));
            environment.insert(QStringLiteral("VARNEL_UPDATE_URL"), QStringLiteral("http://127.0.0.1:1"));
            environment.remove(QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"));
            QProcess child;
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--language"), QLatin1String(language[0]), QString::number(scale), dir });
            if (!child.waitForFinished(120000)) {
                child.kill();
                child.waitForFinished();
            }
            if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
                status = 1;
        }
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.size() == 4 && arguments.first() == QLatin1String("--language")) {
        Startup::prepareHighDpi();
        QApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Tesmar"));
        QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
        const int status = renderScreens(arguments.at(3), arguments.at(1), arguments.at(2).toInt());
#if defined(__SANITIZE_ADDRESS__)
        // Leaks are looked for while the GL driver is still loaded: once the display closes it is
        // unloaded, and what it keeps could no longer be put down to it.
        __lsan_do_leak_check();
#endif
        return status;
    }
    // Every size at every scale, or those named ("1366x728-125").
    QMap<QString, QList<int>> chosen;
    for (const QSize &size : screenSizes) {
        for (const int scale : scales) {
            const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
            if (arguments.size() == 1 || arguments.contains(name + QLatin1Char('-') + QString::number(scale)))
                chosen[name] << scale;
        }
    }
    if (arguments.isEmpty() || chosen.isEmpty()) {
        std::fprintf(stderr, "usage: screenshots OUTDIR [WIDTHxHEIGHT-SCALE...]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    int status = 0;
    for (auto size = chosen.cbegin(); size != chosen.cend(); ++size) {
        const QStringList sides = size.key().split(QLatin1Char('x'));
        status |= renderLanguages(QDir(arguments.first()).absolutePath(),
            QSize(sides.at(0).toInt(), sides.at(1).toInt()), size.value());
    }
    return status;
}
