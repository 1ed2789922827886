#include "startup.h"

#include <QtTest>

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void handOff_data();
    void handOff();
    void localEpochSecondAddsOffset();
    void translationFile_data();
    void translationFile();
    void windowSize_data();
    void windowSize();
};

void tst_Startup::handOff_data()
{
    QTest::addColumn<qint64>("kicked");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<bool>("alive");
    const qint64 now = 1796579658;
    QTest::newRow("same second") << now << now << true;
    QTest::newRow("1 s") << now - 1 << now << true;
    QTest::newRow("5 s") << now - 5 << now << true;
    QTest::newRow("6 s") << now - 6 << now << false;
    QTest::newRow("heartbeat in the future") << now + 3 << now << false;
    QTest::newRow("never kicked") << qint64(0) << now << false;
    // The difference is taken in 32 bits, so only the low 32 bits of the clock matter.
    QTest::newRow("32-bit wrap") << qint64(0x7fffffff) << qint64(0x80000002) << true;
}

void tst_Startup::handOff()
{
    QFETCH(qint64, kicked);
    QFETCH(qint64, now);
    QFETCH(bool, alive);
    QCOMPARE(Startup::anotherInstanceAlive(kicked, now), alive);
}

void tst_Startup::localEpochSecondAddsOffset()
{
    const QDateTime utc(QDate(2026, 12, 5), QTime(10, 0, 0, 999), Qt::UTC);
    QCOMPARE(Startup::localEpochSecond(utc), utc.toSecsSinceEpoch());
    const QDateTime lisbonSummer(QDate(2026, 7, 1), QTime(11, 0, 0), Qt::OffsetFromUTC, 3600);
    QCOMPARE(Startup::localEpochSecond(lisbonSummer), lisbonSummer.toSecsSinceEpoch() + 3600);
}

void tst_Startup::translationFile_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("file");
    QTest::newRow("Portuguese") << "pt_PT"
                                << "/app/printclient_pt";
    QTest::newRow("Brazilian") << "pt_BR"
                               << "/app/printclient_pt_BR";
    QTest::newRow("Spanish") << "es_ES"
                             << "/app/printclient_es";
    QTest::newRow("English") << "en_US"
                             << "/app/printclient_en";
    QTest::newRow("German") << "de_DE"
                            << "/app/printclient_en";
    QTest::newRow("C") << "C"
                       << "/app/printclient_en";
    QTest::newRow("upper case") << "PT_pt"
                                << "/app/printclient_en";
}

void tst_Startup::translationFile()
{
    QFETCH(QString, locale);
    QFETCH(QString, file);
    QCOMPARE(Startup::translationFile(locale, QStringLiteral("/app")), file);
}

void tst_Startup::windowSize_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("window");
    QTest::newRow("1024x768") << QSize(1024, 768) << QSize(924, 680);
    QTest::newRow("1440x760") << QSize(1440, 760) << QSize(895, 660);
    QTest::newRow("1049 wide, height ignored") << QSize(1049, 300) << QSize(949, 699);
    QTest::newRow("1050x799") << QSize(1050, 799) << QSize(948, 699);
    QTest::newRow("1920x1040") << QSize(1920, 1040) << QSize(950, 700);
}

void tst_Startup::windowSize()
{
    QFETCH(QSize, available);
    QFETCH(QSize, window);
    QCOMPARE(Startup::windowSize(available), window);
}

QTEST_APPLESS_MAIN(tst_Startup)
#include "tst_startup.moc"
