#include "loginitem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_LoginItem : public QObject
{
    Q_OBJECT

private slots:
    void launchAgentCreatedOnce();
    void launchAgentDocument();
    void autostartEntryCreatedOnce();
    void autostartEntryQuotesExecutable();
    void autostartEntryFollowsMovedProgram_data();
    void autostartEntryFollowsMovedProgram();
    void unwritableFolderIsSkipped();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void overwrite(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

} // namespace

void tst_LoginItem::launchAgentCreatedOnce()
{
    QTemporaryDir home;
    const QString path = LoginItem::writeLaunchAgent(home.path());
    QCOMPARE(path, home.path() + QStringLiteral("/Library/LaunchAgents/vrlAutoLaunch.plist"));
    QCOMPARE(contents(path), LoginItem::launchAgentPlist());

    const QByteArray own("<plist>edited by the user</plist>\n");
    overwrite(path, own);
    LoginItem::writeLaunchAgent(home.path());
    QCOMPARE(contents(path), own);
}

void tst_LoginItem::launchAgentDocument()
{
    const QByteArray plist = LoginItem::launchAgentPlist();
    QVERIFY(!plist.contains('\n'));
    QVERIFY(plist.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?> "));
    QVERIFY(plist.contains("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""));
    QVERIFY(plist.endsWith("</plist>"));

    // The three entries, in order, with the elements separated by spaces only.
    const QByteArrayList tokens = plist.simplified().split(' ');
    const QByteArray joined = tokens.join(' ');
    const int label = joined.indexOf("<key>Label</key> <string>pt.tesmar.varnel-v4</string>");
    const int arguments
        = joined.indexOf("<key>ProgramArguments</key> <array> "
                         "<string>/Applications/VarnelV4.app/Contents/MacOS/varnel_v4</string> "
                         "</array>");
    const int runAtLoad = joined.indexOf("<key>RunAtLoad</key> <true/> </dict> </plist>");
    QVERIFY(label > 0);
    QVERIFY(arguments > label);
    QVERIFY(runAtLoad > arguments);
    QVERIFY(joined.contains("<plist version=\"1.0\"> <dict> <key>Label</key>"));
}

void tst_LoginItem::autostartEntryCreatedOnce()
{
    QTemporaryDir config;
    const QString path = LoginItem::writeAutostartEntry(config.path(), QStringLiteral("/opt/varnel/varnel"));
    QCOMPARE(path, config.path() + QStringLiteral("/autostart/varnel.desktop"));
    const QByteArray entry = contents(path);
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QVERIFY(entry.contains("\nExec=\"/opt/varnel/varnel\"\n"));

    const QByteArray own("[Desktop Entry]\nHidden=true\n");
    overwrite(path, own);
    LoginItem::writeAutostartEntry(config.path(), QStringLiteral("/elsewhere/varnel"));
    QCOMPARE(contents(path), own);
}

void tst_LoginItem::autostartEntryQuotesExecutable()
{
    QTemporaryDir config;
    const QString path
        = LoginItem::writeAutostartEntry(config.path(), QStringLiteral("/home/a b/$x/\"v\"/varnel"));
    QVERIFY(contents(path).contains("\nExec=\"/home/a b/\\$x/\\\"v\\\"/varnel\"\n"));
}

void tst_LoginItem::autostartEntryFollowsMovedProgram_data()
{
    QTest::addColumn<bool>("oldProgramExists");
    QTest::addColumn<QByteArray>("edit");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("program gone") << false << QByteArray() << true;
    QTest::newRow("program still there") << true << QByteArray() << false;
    QTest::newRow("edited by a person") << false << QByteArray("Hidden=true\n") << false;
}

// Only an entry exactly as Varnel wrote it, naming a program that is gone, follows the program.
void tst_LoginItem::autostartEntryFollowsMovedProgram()
{
    QFETCH(bool, oldProgramExists);
    QFETCH(QByteArray, edit);
    QFETCH(bool, rewritten);
    QTemporaryDir config;
    const QString oldProgram = config.filePath(QStringLiteral("old \"place\"/varnel"));
    QVERIFY(!oldProgramExists || QDir().mkpath(oldProgram));
    const QString path = LoginItem::writeAutostartEntry(config.path(), oldProgram);
    const QByteArray before = contents(path) + edit;
    overwrite(path, before);
    LoginItem::writeAutostartEntry(config.path(), QStringLiteral("/usr/bin/varnel"));
    QCOMPARE(
        contents(path), rewritten ? LoginItem::autostartEntry(QStringLiteral("/usr/bin/varnel")) : before);
}

void tst_LoginItem::unwritableFolderIsSkipped()
{
    QTemporaryDir home;
    // A file where the folder should be: nothing can be created below it.
    overwrite(home.path() + QStringLiteral("/Library"), "not a folder");
    const QString path = LoginItem::writeLaunchAgent(home.path());
    QVERIFY(!QFile::exists(path));
}

QTEST_APPLESS_MAIN(tst_LoginItem)
#include "tst_loginitem.moc"
