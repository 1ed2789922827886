#include "debuglog.h"
#include "printclient.h"

#include <QRegularExpression>
#include <QThread>
#include <QtTest>

class tst_DebugLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lineForms();
    void hundredAndFirstLineDropsOldest();
    void typesLogged_data();
    void typesLogged();
    void concurrentMessagesAreAllKept();

private:
    PrintClient *m_client = nullptr;
};

void tst_DebugLog::init()
{
    m_client = new PrintClient;
    printClient = m_client;
}

void tst_DebugLog::cleanup()
{
    qInstallMessageHandler(nullptr);
    DebugLog::configure(nullptr, false, nullptr);
    printClient = nullptr;
    delete m_client;
}

void tst_DebugLog::lineForms()
{
    const QDateTime time(QDate(2026, 12, 6), QTime(9, 5, 7, 42));
    QMessageLogContext positioned(
        "/src/varnel/app/printclient.cpp", 120, "void PrintClient::startup()", "default");
    QCOMPARE(DebugLog::formatLine(positioned, QStringLiteral("hello"), time),
        QStringLiteral(
            "[2026-12-06 09:05:07.042]: hello\n\tprintclient.cpp:120 void PrintClient::startup()"));
    QMessageLogContext bare;
    QCOMPARE(DebugLog::formatLine(bare, QStringLiteral("hello"), time),
        QStringLiteral("[2026-12-06 09:05:07.042]: hello"));
}

void tst_DebugLog::hundredAndFirstLineDropsOldest()
{
    for (int i = 1; i <= 101; ++i)
        DebugLog::append(m_client, QString::number(i));
    const QStringList lines = m_client->debugMessages();
    QCOMPARE(lines.size(), 100);
    QCOMPARE(lines.first(), QStringLiteral("101"));
    QCOMPARE(lines.last(), QStringLiteral("2"));
}

void tst_DebugLog::typesLogged_data()
{
    QTest::addColumn<bool>("detailed");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("logged");
    QTest::newRow("debug") << false << int(QtDebugMsg) << false;
    QTest::newRow("debug, debug switch") << true << int(QtDebugMsg) << true;
    QTest::newRow("info") << false << int(QtInfoMsg) << true;
    QTest::newRow("warning") << false << int(QtWarningMsg) << true;
    QTest::newRow("critical") << false << int(QtCriticalMsg) << true;
}

void tst_DebugLog::typesLogged()
{
    QFETCH(bool, detailed);
    QFETCH(int, type);
    QFETCH(bool, logged);
    DebugLog::configure(nullptr, detailed, nullptr);
    QMessageLogContext bare;
    messageHandler(QtMsgType(type), bare, QStringLiteral("message"));
    QCOMPARE(m_client->debugMessages().size(), logged ? 1 : 0);
    if (logged)
        QVERIFY(QRegularExpression(
            QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]: message$"))
                    .match(m_client->debugMessages().first())
                    .hasMatch());
}

void tst_DebugLog::concurrentMessagesAreAllKept()
{
    DebugLog::configure(nullptr, true, nullptr);
    qInstallMessageHandler(messageHandler);
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([t] {
            for (int i = 0; i < 20; ++i)
                qDebug("thread %d line %d", t, i);
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        thread->wait();
        delete thread;
    }
    qInstallMessageHandler(nullptr);
    const QStringList lines = m_client->debugMessages();
    QCOMPARE(lines.size(), 80);
    QCOMPARE(QSet<QString>(lines.cbegin(), lines.cend()).size(), 80);
}

QTEST_MAIN(tst_DebugLog)
#include "tst_debuglog.moc"
