#include "journal.h"
#include "journalstore.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

constexpr qint64 day = 24ll * 3600 * 1000;

} // namespace

// What the journal keeps, and for how long: card numbers never, print bytes a week, request ids a
// day, entries 90 days, and never more data than its bound, the oldest going first.
class tst_JournalStore : public QObject
{
    Q_OBJECT

private slots:
    void masked_data();
    void masked();
    void retention();
    void sizeBound();
    void checkpoints();
    void fileOfTheFirstVersion();
    void fullDisk();

private:
    QTemporaryDir m_dir;
};

void tst_JournalStore::masked_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::newRow("16 digits") << "PAN 4111111111111111 ok"
                               << "PAN ************1111 ok";
    QTest::newRow("13 digits, glued to letters") << "A4222222222222B"
                                                 << "A*********2222B";
    QTest::newRow("19 digits") << "6011000990139424123"
                               << "***************4123";
    QTest::newRow("12 digits") << "000000001250"
                               << "000000001250";
    QTest::newRow("20 digits") << "05100133304978200001"
                               << "05100133304978200001";
    QTest::newRow("two runs") << "5500005555555559|3566002020360505"
                              << "************5559|************0505";
}

void tst_JournalStore::masked()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QCOMPARE(JournalStore::masked(text), stored);
    // Nothing written to the journal escapes it.
    JournalStore store(m_dir.filePath(QStringLiteral("masked.sqlite")));
    QVERIFY(store.commandStarted("/dev/pts/9", "A", "purchase", "12.50", QString()) > 0);
    QVERIFY(!store.fileText("/dev/pts/9", text).isNull());
    QCOMPARE(store.unreadTexts("/dev/pts/9", "A"), QStringList { stored });
}

void tst_JournalStore::retention()
{
    qint64 now = 1767225600000; // 2026-01-01
    JournalStore store(
        m_dir.filePath(QStringLiteral("retention.sqlite")), JournalLimits(), [&] { return now; });
    QByteArray reply;
    bool same = false;
    QCOMPARE(store.claim("/sendJob", "r1", "f", &reply, &same), JournalStore::Claim::New);
    const qint64 print = store.printStarted("Receipt", "r1", "\x1b@receipt");
    QVERIFY(print > 0 && store.printEnded(print, 7, "Job completed successfully")
        && store.settle("/sendJob", "r1", "{}"));
    QVERIFY(store.commandStarted("/dev/pts/9", "A", "purchase", "1.00", QString()) > 0);
    store.fileText("/dev/pts/9", "approved");
    store.commandEnded("/dev/pts/9");
    for (int i = 0; i < 100; ++i)
        store.printEnded(store.printStarted("Receipt", QString(), QByteArray(4000, 'x')), 8 + i, "ok");

    const auto count = [&] {
        bool more = false;
        return store.entries(0, now, QString(), 1000, &more).size();
    };
    QString printer;
    now += day - 1;
    store.prune();
    QCOMPARE(store.claim("/sendJob", "r1", "f", &reply, &same), JournalStore::Claim::Done);
    now += 2;
    store.prune();
    QCOMPARE(store.claim("/sendJob", "r1", "g", &reply, &same), JournalStore::Claim::New);
    QCOMPARE(store.printBytes(print, &printer), QByteArray("\x1b@receipt"));
    const qint64 withBytes = store.usedBytes();
    now += 7 * day;
    store.prune();
    QCOMPARE(store.printBytes(print, &printer), QByteArray());
    // The bytes' room is given back, not merely emptied.
    QVERIFY2(store.usedBytes() < withBytes / 4, qPrintable(QString::number(store.usedBytes())));
    QCOMPARE(count(), 102);
    now += 82 * day;
    store.prune();
    QCOMPARE(count(), 0);
    QVERIFY(store.integrityOk());
}

void tst_JournalStore::sizeBound()
{
    JournalLimits limits;
    limits.maxFileBytes = 512 * 1024;
    JournalStore store(m_dir.filePath(QStringLiteral("size.sqlite")), limits);
    const QByteArray receipt(4096, 'x');
    qint64 first = 0;
    qint64 last = 0;
    for (int i = 0; i < 400; ++i) {
        last = store.printStarted("Receipt", QString(), receipt);
        first = first ? first : last;
        if (i % 50 == 49)
            store.prune();
    }
    QVERIFY2(store.usedBytes() <= limits.maxFileBytes, qPrintable(QString::number(store.usedBytes())));
    QString printer;
    QCOMPARE(store.printBytes(first, &printer), QByteArray());
    QCOMPARE(store.printBytes(last, &printer), receipt);
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("size.sqlite"))).size() <= 2 * limits.maxFileBytes);
}

// Through the journal the log reaches the file without a caller copying it, and starts over, cut
// back to its limit, once it has been copied.
void tst_JournalStore::checkpoints()
{
    const QString path = m_dir.filePath(QStringLiteral("checkpoints.sqlite"));
    Journal journal(path);
    const QByteArray receipt(3000, 'x');
    const auto print = [&] {
        return journal.run(
            [&](JournalStore &store) { return store.printStarted("Receipt", QString(), receipt); });
    };
    for (int i = 0; i < 300; ++i)
        QVERIFY(print());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(path).size() >= 300 * receipt.size(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(
        print() && QFileInfo(path + QStringLiteral("-wal")).size() <= 4 * 1024 * 1024, 30000);
    QVERIFY(journal.run([](JournalStore &store) { return store.integrityOk(); }));
}

// Its receipts' bytes move to where they are kept now, and print again.
void tst_JournalStore::fileOfTheFirstVersion()
{
    const QString path = m_dir.filePath(QStringLiteral("first.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("first"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("CREATE TABLE prints(id INTEGER PRIMARY KEY AUTOINCREMENT, at INTEGER NOT NULL, "
                           "printer TEXT NOT NULL, job_id INTEGER NOT NULL DEFAULT 0, request_id TEXT, "
                           "outcome TEXT, bytes BLOB)"));
        QVERIFY(query.exec("INSERT INTO prints(at, printer, job_id, bytes) "
                           "VALUES(CAST(strftime('%s', 'now') AS INTEGER) * 1000, 'Receipt', 3, x'1b4041')"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("first"));
    JournalStore store(path);
    QVERIFY2(store.isAvailable(), qPrintable(store.problem()));
    QString printer;
    QCOMPARE(store.printBytes(1, &printer), QByteArray("\x1b@A"));
    store.jobEnded("Receipt", 3, "completed");
    QCOMPARE(store.jobState("Receipt", 3), QStringLiteral("completed"));
}

// A write the disk refuses (here: beyond the file-size limit, as when the disk is full) leaves the
// journal unavailable for every thread, said once, and a request id can no longer be promised once,
// also when the disk has room again.
void tst_JournalStore::fullDisk()
{
    const QString path = m_dir.filePath(QStringLiteral("full.sqlite"));
    Journal journal(path);
    QSignalSpy unavailable(&journal, &Journal::becameUnavailable);
    const auto print = [&](int size) {
        return journal.run([&](JournalStore &store) {
            return store.printStarted("Receipt", QString(), QByteArray(size, 'y'));
        });
    };
    QVERIFY(print(100));
    rlimit before {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = before;
    full.rlim_cur = rlim_t(QFileInfo(path + QStringLiteral("-wal")).size() + 16 * 1024);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
    bool refused = false;
    QThread *writer = QThread::create([&] {
        for (int i = 0; i < 8 && !refused; ++i)
            refused = print(64 * 1024) == 0;
    });
    writer->start();
    writer->wait();
    delete writer;
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(refused);
    QByteArray reply;
    QCOMPARE(journal.claim("/sendJob", "r1", "f", &reply), Journal::Claim::Unavailable);
    QVERIFY(!print(100));
    QVERIFY(!journal.isAvailable());
    QVERIFY(!journal.problem().isEmpty());
    QCOMPARE(unavailable.count(), 1);
}

QTEST_GUILESS_MAIN(tst_JournalStore)
#include "tst_journalstore.moc"
