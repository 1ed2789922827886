// screenshots: saves a picture of every screen of Varnel's window in European and Brazilian
// Portuguese, English and Spanish.
//
//   screenshots OUTDIR
//
// Starts an X server of its own (Xvfb) and, for each language, itself again with that language as
// the system's, throw-away settings and no reachable update service. The printers shown are the
// queues of the CUPS scheduler in reach (CUPS_SERVER chooses another); the terminals are two
// made-up USB terminals. Writes OUTDIR/<screen>-<language>.png and ends with status 1 when a screen
// did not show or the screens reported an error.

#include "diagnostics.h"
#include "logfile.h"
#include "printclient.h"
#include "qmlresources.h"
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
const char *const screens[] = { "splash", "initialScreen", "configScreen", "terminalsScreen", "logsScreen" };

// A child that receives SIGTERM when this process ends, however it ends.
class OrphanProofProcess : public QProcess
{
protected:
    void setupChildProcess() override { ::prctl(PR_SET_PDEATHSIG, SIGTERM); }
};

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.hasExpired(10000))
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

// One language, in this process: the window as the program shows it, led through every screen.
int renderScreens(const QString &outDir, const QString &language)
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
        }
    };
    const auto navigate = [window](const char *screen) {
        QMetaObject::invokeMethod(window, "navigate", Q_ARG(QVariant, QLatin1String(screen)));
    };

    shoot("splash", "splash", "splashBusy");
    client.startup();
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
    client.setIsDebugMode(true);
    // Lines as the program writes them, which no catalog translates: they are for support.
    client.setDebugMessages(
        { QStringLiteral("[2026-12-06 10:00:02.000]: print job on \"Balcao\": Job completed successfully"),
            QStringLiteral("[2026-12-06 10:00:01.000]: SSL Version: OpenSSL 3.0") });
    navigate("logs");
    shoot("logs", "logsScreen", "logsScreen");
    navigate("allSet");
    QMetaObject::invokeMethod(window, "showAbout");
    shoot("about", "initialScreen", "aboutPanel");
    return failed ? 1 : 0;
}

// Every language, each in a child process of its own under one X server.
int renderLanguages(const QString &outDir)
{
    if (!QDir().mkpath(outDir))
        return 1;
    OrphanProofProcess xvfb;
    xvfb.start(
        QStringLiteral("Xvfb"), { "-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp" });
    QByteArray display;
    while (!display.contains('\n') && xvfb.waitForReadyRead(10000))
        display += xvfb.readAllStandardOutput();
    if (!display.contains('\n')) {
        std::fprintf(stderr, "screenshots: Xvfb did not start\n");
        return 1;
    }
    QTemporaryDir home;
    int status = 0;
    for (const auto &language : languages) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString root = home.filePath(QLatin1String(language[0]));
        environment.insert(
            QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(display.trimmed()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("QT_QUICK_BACKEND"));
        environment.insert(QStringLiteral("LANG"), QLatin1String(language[1]) + QStringLiteral(".UTF-8"));
        environment.insert(QStringLiteral("LC_ALL"), QLatin1String(language[1]) + QStringLiteral(".UTF-8"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), root + QStringLiteral("/state"));
        environment.insert(QStringLiteral("VARNEL_UPDATE_URL"), QStringLiteral("http://127.0.0.1:1"));
        environment.remove(QStringLiteral("VARNEL_EXTRA_SERIAL_PORTS"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--language"), QLatin1String(language[0]), outDir });
        if (!child.waitForFinished(120000)) {
            child.kill();
            child.waitForFinished();
        }
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            status = 1;
    }
    xvfb.terminate();
    xvfb.waitForFinished();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList arguments = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    if (arguments.size() == 3 && arguments.first() == QLatin1String("--language")) {
        QApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Tesmar"));
        QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
        const int status = renderScreens(arguments.at(2), arguments.at(1));
#if defined(__SANITIZE_ADDRESS__)
        // Leaks are looked for while the GL driver is still loaded: once the display closes it is
        // unloaded, and what it keeps could no longer be put down to it.
        __lsan_do_leak_check();
#endif
        return status;
    }
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: screenshots OUTDIR\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    return renderLanguages(QDir(arguments.first()).absolutePath());
}
