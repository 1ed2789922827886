#include "codepages.h"
#include "esctools.h"

#include <QtTest>

#include <set>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class TestESCTools : public QObject
{
    Q_OBJECT

private slots:
    void characterSetParser_data();
    void characterSetParser();
    void parserAgreesWithFindCharForEveryCodeUnit();
    void foldTableShape();
    void foldToASCII_data();
    void foldToASCII();
    void wrapText_data();
    void wrapText();
};

void TestESCTools::characterSetParser_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("alternative");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << false << hex("1B7400");
    QTest::newRow("A") << QStringLiteral("A") << false << hex("1B7400 41");
    QTest::newRow("e acute") << QStringLiteral("\u00E9") << true << hex("1B7400 82");
    QTest::newRow("A tilde via PC860") << QStringLiteral("\u00C3") << false << hex("1B7400 1B74038E1B7400");
    QTest::newRow("euro via WPC1252") << QStringLiteral("\u20AC") << false << hex("1B7400 1B7410801B7400");
    QTest::newRow("euro via PC858") << QStringLiteral("\u20AC") << true << hex("1B7400 1B7413D51B7400");
    QTest::newRow("OE via WPC1252") << QStringLiteral("\u0152") << false << hex("1B7400 1B74108C1B7400");
    QTest::newRow("OE missing from PC858") << QStringLiteral("\u0152") << true << hex("1B7400 00");
    QTest::newRow("CJK ideograph") << QStringLiteral("\u4E2D") << false << hex("1B7400 00");
    QTest::newRow("no-break space") << QStringLiteral("\u00A0") << false << hex("1B7400 00");
    QTest::newRow("line feeds are kept") << QStringLiteral("P\u00E3o\n1,50\u20AC") << false
                                         << hex("1B7400 50 1B7403841B7400 6F 0A 31 2C 35 30 1B7410801B7400");
}

void TestESCTools::characterSetParser()
{
    QFETCH(QString, text);
    QFETCH(bool, alternative);
    QFETCH(QByteArray, bytes);
    QCOMPARE(ESCTools::characterSetParser(text, alternative).toHex(' '), bytes.toHex(' '));
}

void TestESCTools::parserAgreesWithFindCharForEveryCodeUnit()
{
    QString all;
    for (int c = 0; c <= 0xFFFF; ++c)
        all.append(QChar(ushort(c)));
    for (const bool alternative : { false, true }) {
        QByteArray expected = hex("1B7400");
        for (const QChar c : all) {
            const QByteArray pair = CodePages::findChar(c, alternative).left(2);
            if (pair.at(0) == 0)
                expected.append(pair.at(1));
            else
                expected.append(hex("1B74") + pair + hex("1B7400"));
        }
        QVERIFY(ESCTools::characterSetParser(all, alternative) == expected);
    }
}

void TestESCTools::foldTableShape()
{
    const QMap<int, QString> &map = ESCTools::asciiFoldMap();
    QCOMPARE(map.size(), 1242);
    QCOMPARE(map.firstKey(), 0x00AB);
    QCOMPARE(map.lastKey(), 0xFF5E);
    std::set<QString> distinct;
    for (const QString &value : map) {
        QVERIFY(value.size() >= 1 && value.size() <= 4);
        for (const QChar c : value)
            QVERIFY(c.unicode() >= 0x20 && c.unicode() < 0x7F);
        distinct.insert(value);
    }
    QCOMPARE(int(distinct.size()), 229);
}

void TestESCTools::foldToASCII_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");

    QTest::newRow("A grave to A ring") << QStringLiteral("\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5") << "AAAAAA";
    QTest::newRow("ae") << QStringLiteral("\u00E6") << "ae";
    QTest::newRow("sharp s") << QStringLiteral("Stra\u00DFe") << "Strasse";
    QTest::newRow("thorn") << QStringLiteral("\u00DE") << "TH";
    QTest::newRow("OE oe") << QStringLiteral("\u0152\u0153") << "OEoe";
    QTest::newRow("guillemets") << QStringLiteral("\u00ABx\u00BB") << "\"x\"";
    QTest::newRow("single quotes") << QStringLiteral("\u2018\u2019") << "''";
    QTest::newRow("dashes") << QStringLiteral("\u2013\u2014") << "--";
    QTest::newRow("superscript two") << QStringLiteral("\u00B2") << "2";
    QTest::newRow("parenthesised a") << QStringLiteral("\u249C") << "(a)";
    QTest::newRow("digit one full stop") << QStringLiteral("\u2488") << "1.";
    QTest::newRow("double exclamation") << QStringLiteral("\u203C") << "!!";
    QTest::newRow("ffi ligature") << QStringLiteral("\uFB03") << "ffi";
    QTest::newRow("Portuguese") << QStringLiteral("A\u00E7\u00E3o") << "Acao";
    QTest::newRow("unfolded become spaces")
        << QStringLiteral("\u20AC\u00BA\u00AA\u00B0\u00BD\u00A9\u2026") << "       ";
    QTest::newRow("ASCII and controls unchanged")
        << QStringLiteral("a\t\x01\x7F~") << QStringLiteral("a\t\x01\x7F~");
    QTest::newRow("surrogate halves alone") << QString::fromUtf8("x\xF0\x9F\x98\x80y") << "x  y";
}

void TestESCTools::foldToASCII()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(ESCTools::foldToASCII(text), folded);
}

void TestESCTools::wrapText_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fold");
    QTest::addColumn<QString>("wrapped");

    QTest::newRow("space") << 11 << "Hello world foo" << false << "Hello world\nfoo";
    QTest::newRow("after hyphen") << 6 << "abc-defgh ij" << false << "abc-\ndefgh\nij";
    QTest::newRow("hard cuts") << 4 << "abcdefghij" << false << "abcd\nefgh\nij";
    QTest::newRow("hyphen then hard cuts") << 4 << "ab-cdefghij" << false << "ab-\ncdef\nghij";
    QTest::newRow("hyphen before a long word") << 5 << "a-bcdefghijkl" << false << "a-\nbcdef\nghijk\nl";
    QTest::newRow("hyphen ends a full line") << 4 << "abc-defg" << false << "abc-\ndefg";
    QTest::newRow("space right after hyphen") << 5 << "ab- cdefgh" << false << "ab-\ncdefg\nh";
    QTest::newRow("newline") << 8 << "aaa bbb\nccc" << false << "aaa\nbbb\nccc";
    QTest::newRow("newline before the break") << 10 << "ab\ncd efgh ijkl" << false << "ab\ncd efgh\nijkl";
    QTest::newRow("space before the newline") << 10 << "ab cd\nefghijklmn" << false << "ab\ncd\nefghijk\nlmn";
    QTest::newRow("leading spaces dropped") << 5 << "abcde   fghij" << false << "abcde\nfghij";
    QTest::newRow("short text unchanged") << 10 << "  ab " << false << "  ab ";
    QTest::newRow("exactly the width") << 5 << "abcde" << false << "abcde";
    QTest::newRow("empty") << 5 << "" << false << "";
    QTest::newRow("width one") << 1 << "ab c" << false << "a\nb\nc";
    QTest::newRow("width zero: unwrapped") << 0 << "abc def" << false << "abc def";
    QTest::newRow("negative width: unwrapped") << -4 << "abc def" << false << "abc def";
    QTest::newRow("width zero still folds") << 0 << QStringLiteral("A\u00E7\u00E3o") << true << "Acao";
    QTest::newRow("folded short text") << 10 << QStringLiteral("A\u00E7\u00E3o") << true << "Acao";
    QTest::newRow("folding widens") << 7 << QStringLiteral("Stra\u00DFe x") << true << "Strasse\nx";
    QTest::newRow("not folded") << 7 << QStringLiteral("Stra\u00DFe x") << false
                                << QStringLiteral("Stra\u00DFe\nx");
    QTest::newRow("euro folds to space") << 3 << QStringLiteral("1\u20AC23") << true << "1\n23";
}

void TestESCTools::wrapText()
{
    QFETCH(int, width);
    QFETCH(QString, text);
    QFETCH(bool, fold);
    QFETCH(QString, wrapped);
    QCOMPARE(ESCTools::wrapText(text, width, fold), wrapped);
}

QTEST_GUILESS_MAIN(TestESCTools)
#include "tst_esctools.moc"
