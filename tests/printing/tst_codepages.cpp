#include "codepages.h"

#include <QtTest>

class TestCodePages : public QObject
{
    Q_OBJECT

private slots:
    void pagesHoldTheirCharacters();
    void findChar_data();
    void findChar();
};

void TestCodePages::pagesHoldTheirCharacters()
{
    for (int n = 0; n < 20; ++n) {
        const bool filled = n == 0 || n == 3 || n == 16 || n == 19;
        QCOMPARE(CodePages::chars[n].size(), filled ? 255 : 0);
        if (!filled)
            continue;
        const QString &page = CodePages::chars[n];
        for (int byte = 0x01; byte <= 0x7F; ++byte) {
            if (byte < 0x20 || byte == 0x7F)
                QCOMPARE(page.at(byte - 1).unicode(), ushort(byte));
        }
        QVERIFY(!page.contains(QChar(0x00A0)));
        QVERIFY(!page.contains(QChar(0x00AD)));
        QCOMPARE(page.indexOf(QLatin1Char(' ')), 0x20 - 1);
    }
    QCOMPARE(CodePages::chars[0].at(0xFF - 1), QLatin1Char(' '));
    QCOMPARE(CodePages::chars[16].at(0xA0 - 1), QLatin1Char(' '));
    QCOMPARE(CodePages::chars[16].at(0xAD - 1), QLatin1Char(' '));
    for (int byte : { 0x81, 0x8D, 0x8F, 0x90, 0x9D })
        QCOMPARE(CodePages::chars[16].at(byte - 1), QLatin1Char(' '));
    QCOMPARE(CodePages::chars[19].at(0xD5 - 1), QChar(0x20AC));
    QCOMPARE(CodePages::chars[16].at(0x80 - 1), QChar(0x20AC));
}

void TestCodePages::findChar_data()
{
    QTest::addColumn<ushort>("c");
    QTest::addColumn<bool>("alternative");
    QTest::addColumn<QByteArray>("pairs");

    QTest::newRow("A") << ushort('A') << false << QByteArray::fromHex("0041034110 41");
    QTest::newRow("A, alternative") << ushort('A') << true << QByteArray::fromHex("0041034113 41");
    QTest::newRow("space: first position only")
        << ushort(' ') << false << QByteArray::fromHex("002003201020");
    QTest::newRow("e acute") << ushort(0x00E9) << false << QByteArray::fromHex("0082038210E9");
    QTest::newRow("A tilde") << ushort(0x00C3) << false << QByteArray::fromHex("038E10C3");
    QTest::newRow("A tilde, alternative") << ushort(0x00C3) << true << QByteArray::fromHex("038E13C7");
    QTest::newRow("euro") << ushort(0x20AC) << false << QByteArray::fromHex("1080");
    QTest::newRow("euro, alternative") << ushort(0x20AC) << true << QByteArray::fromHex("13D5");
    QTest::newRow("OE ligature") << ushort(0x0152) << false << QByteArray::fromHex("108C");
    QTest::newRow("OE ligature, alternative") << ushort(0x0152) << true << QByteArray::fromHex("0000");
    QTest::newRow("CJK ideograph") << ushort(0x4E2D) << false << QByteArray::fromHex("0000");
    QTest::newRow("no-break space") << ushort(0x00A0) << false << QByteArray::fromHex("0000");
    QTest::newRow("soft hyphen, alternative") << ushort(0x00AD) << true << QByteArray::fromHex("0000");
    QTest::newRow("NUL") << ushort(0) << false << QByteArray::fromHex("0000");
    QTest::newRow("line feed") << ushort('\n') << false << QByteArray::fromHex("000A030A100A");
}

void TestCodePages::findChar()
{
    QFETCH(ushort, c);
    QFETCH(bool, alternative);
    QFETCH(QByteArray, pairs);
    QCOMPARE(CodePages::findChar(QChar(c), alternative).toHex(' '), pairs.toHex(' '));
}

QTEST_GUILESS_MAIN(TestCodePages)
#include "tst_codepages.moc"
