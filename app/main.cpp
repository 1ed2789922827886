#include "applog.h"
#include "debuglist.h"
#include "debuglog.h"
#include "diagnostics.h"
#include "instancewatch.h"
#include "logfile.h"
#include "loginitem.h"
#include "printclient.h"
#include "qmlresources.h"
#include "startup.h"
#include "trustcommand.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
#include <QTimer>
#include <QTranslator>
#include <QtQml>

#include <exception>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

QString executablePath(const char *argv0)
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return self.isEmpty() ? QFileInfo(QString::fromLocal8Bit(argv0)).absoluteFilePath() : self;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef __GLIBC__
    // glibc gives every thread that allocates an arena of its own, up to 8 a core, and each keeps
    // what it freed: after twenty connections worked on large jobs at once the program would hold
    // twenty arenas' worth. A few arenas shared by all threads keep the memory a burst took close
    // to what one of its requests took.
    mallopt(M_ARENA_MAX, 4);
    // Large request and reply buffers come from mmap and go back to the system when freed. With
    // glibc's sliding threshold they would stay in each connection thread's arena once the first
    // one was freed, and malloc_trim does not shrink the top of those arenas.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
#endif
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (TrustCommand::requested(arguments)) {
        QCoreApplication app(argc, argv);
        return TrustCommand::run(arguments);
    }
    const bool debugMode = arguments.contains(QStringLiteral("DebugModeOn"));
    // Before anything logs, the login item included.
    if (debugMode)
        DebugLog::enableDebugLines();

    LoginItem::install(executablePath(argv[0]));

    Startup::prepareHighDpi();
    QCoreApplication::setOrganizationName(QStringLiteral("Tesmar"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("tesmar.pt"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnel"));

    QApplication app(argc, argv);
    QQmlApplicationEngine engine;
    QTranslator translator;

    translator.load(Startup::translationFile(
        QLocale::system().name(), Startup::translationDirectory(QCoreApplication::applicationDirPath())));
    QCoreApplication::installTranslator(&translator);

    PrintClient::registerQmlTypes();

    if (InstanceWatch::handOver())
        return 0;

    // Never deleted: the threads it started end with the process.
    auto *printClient = new PrintClient(nullptr);

    // The log on disk is always kept; the debug switch adds the detailed lines. Like the
    // controller, it lives until the process ends: Qt may still log while tearing down.
    auto *log = new LogFile(LogFile::defaultPath());
    printClient->setIsDebugMode(debugMode);
    DebugLog::configure(log, new DebugList(printClient), debugMode, qInstallMessageHandler(nullptr));
    qInstallMessageHandler(messageHandler);
    QTimer refusals;
    QObject::connect(&refusals, &QTimer::timeout, &DebugLog::flushRefusals);
    refusals.start(10000);

    printClient->startup();

    initQmlResources();
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("printClient"), printClient);
    context->setContextProperty(QStringLiteral("RELEASENAME"), printClient->version());
    context->setContextProperty(QStringLiteral("RELEASEDATE"),
        Startup::releaseDate(
            QDateTime::fromString(QStringLiteral(VARNEL_BUILD_TIME), Qt::ISODate).toLocalTime(),
            Startup::windowLocale(QLocale::system())));
    context->setContextProperty(QStringLiteral("OSDATA"),
        QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::kernelVersion());
    context->setContextProperty(
        QStringLiteral("diagnostics"), new Diagnostics(printClient, log, printClient));

    const QSize size = Startup::windowSize(QGuiApplication::primaryScreen()->availableGeometry().size());
    context->setContextProperty(QStringLiteral("DISPLAY_WIDTH"), size.width());
    context->setContextProperty(QStringLiteral("DISPLAY_HEIGHT"), size.height());

    try {
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        return app.exec();
    } catch (const std::exception &error) {
        qCCritical(lcApp).noquote() << "Error!" << error.what();
        return 0;
    }
}
