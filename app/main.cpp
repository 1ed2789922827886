#include "debuglog.h"
#include "instancewatch.h"
#include "loginitem.h"
#include "printclient.h"
#include "qmlresources.h"
#include "startup.h"
#include "trustcommand.h"

#include <QApplication>
#include <QDate>
#include <QDebug>
#include <QFileInfo>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
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
#endif
    {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        if (TrustCommand::requested(arguments)) {
            QCoreApplication app(argc, argv);
            return TrustCommand::run(arguments);
        }
    }

    LoginItem::install(executablePath(argv[0]));

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
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

    printClient = new PrintClient(nullptr);

    if (QCoreApplication::arguments().contains(QStringLiteral("DebugModeOn"))) {
        printClient->setIsDebugMode(true);
        qInstallMessageHandler(messageHandler);
    }

    printClient->startup();

    initQmlResources();
    const QString releaseName = printClient->version();
    const QString newRelease = printClient->version();
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("printClient"), printClient);
    context->setContextProperty(QStringLiteral("RELEASENAME"), releaseName);
    context->setContextProperty(QStringLiteral("NEWRELEASE"), newRelease);
    context->setContextProperty(QStringLiteral("RELEASEDATE"),
        QDate::currentDate().toString(QStringLiteral("dd MMM yyyy")) + QStringLiteral(" 17:35:42"));
    context->setContextProperty(
        QStringLiteral("OSDATA"), QSysInfo::prettyProductName() + QSysInfo::kernelVersion());

    const QSize size = Startup::windowSize(QGuiApplication::primaryScreen()->availableGeometry().size());
    context->setContextProperty(QStringLiteral("DISPLAY_WIDTH"), size.width());
    context->setContextProperty(QStringLiteral("DISPLAY_HEIGHT"), size.height());

    try {
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        return app.exec();
    } catch (const std::exception &error) {
        qDebug() << "Error!" << error.what();
        return 0;
    }
}
