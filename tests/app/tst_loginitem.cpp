#include "loginitem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The autostart entry follows a moved program, but only the entry exactly as Varnel wrote it.
class tst_LoginItem : public QObject
{
    Q_OBJECT

private slots:
    void autostartEntryFollowsMovedProgram_data();
    void autostartEntryFollowsMovedProgram();
};

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void tst_LoginItem::autostartEntryFollowsMovedProgram_data()
{
    QTest::addColumn<bool>("oldProgramExists");
    QTest::addColumn<QByteArray>("edit");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("program gone") << false << QByteArray() << true;
    QTest::newRow("program still there") << true << QByteArray() << false;
    QTest::newRow("edited by a person") << false << QByteArray("Hidden=true\n") << false;
}

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
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(before) == before.size());
    file.close();
    LoginItem::writeAutostartEntry(config.path(), QStringLiteral("/usr/bin/varnel"));
    QCOMPARE(
        contents(path), rewritten ? LoginItem::autostartEntry(QStringLiteral("/usr/bin/varnel")) : before);
}

QTEST_GUILESS_MAIN(tst_LoginItem)
#include "tst_loginitem.moc"
