#include "escinterpreter.h"
#include "esctools.h"
#include "printjob.h"
#include "workbudget.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Jobs translated by PrintJob and drawn by the interpreter: what a person or a scanner reads
// off the paper must be what the job asked for.
class tst_ESCInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void symbolsScanned_data();
    void symbolsScanned();
    void qrLevelKept_data();
    void qrLevelKept();
    void fiscalCodes_data();
    void fiscalCodes();
    void textDecoded_data();
    void textDecoded();
    void documentedJobsMatchSchema();
    void boundsKept_data();
    void boundsKept();

private:
    QString schemaErrors(const QByteArray &job);
    QImage preview(const QByteArray &job, QString *text = nullptr);
    QTemporaryDir m_dir;
};

// What the JSON Schema validator says against a job; empty when the job is valid.
QString tst_ESCInterpreter::schemaErrors(const QByteArray &job)
{
    // Debian's python3-jsonschema serves the system interpreter, whatever else is on the PATH.
    QProcess validator;
    validator.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import json, sys, jsonschema\n"
                           "jsonschema.validate(json.load(sys.stdin), json.load(open(sys.argv[1])))"),
            QStringLiteral(VARNEL_SOURCE_DIR "/docs/print-job.schema.json") });
    validator.write(job);
    validator.closeWriteChannel();
    if (!validator.waitForFinished(30000) || validator.exitCode() != 0)
        return QString::fromUtf8(job + validator.readAllStandardError());
    return QString();
}

QImage tst_ESCInterpreter::preview(const QByteArray &job, QString *text)
{
    PrintJob printJob(QJsonDocument::fromJson(job).array(), false);
    if (!printJob.translate())
        qFatal("job not translated: %s", qPrintable(printJob.errorString()));
    ESCInterpreter interpreter(printJob.dotWidth());
    interpreter.feed(printJob.bytes());
    const QImage paper = interpreter.paper();
    if (text)
        *text = interpreter.text();
    return paper;
}

namespace {

// This text fits in version 6, which a printer's QR engine would choose.
const char atcud[]
    = "A:123456789*B:999999990*C:PT*D:FS*E:N*F:20261207*G:FS A/1*H:JJ7KQ2RT-1*I1:PT*N:0.64*O:3.40*"
      "Q:Ab1c*R:1234";
const char verifactu[] = "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif=B88752210&"
                         "numserie=1%2F25A-321&fecha=05-01-2026&importe=567.00";

QByteArray fiscalJob(const char *profile, const char *text)
{
    return QByteArray(R"([{"op":"alignment","data":1},{"op":"qrcode","data":{"profile":")") + profile
        + R"(","text":")" + text + "\"}}]";
}

} // namespace

// Golden jobs whose symbols a scanner must read back as their input.
void tst_ESCInterpreter::symbolsScanned_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<QStringList>("scanned");

    const char *rows[][3] = {
        { "qrcode native, centred",
            R"([{"op":"alignment","data":1},{"op":"qrcode","data":{"text":"A:123456789*B:999999990*C:PT*D:FT*E:N*F:20240115*G:FT A/1*H:JJ7K-1"}}])",
            "A:123456789*B:999999990*C:PT*D:FT*E:N*F:20240115*G:FT A/1*H:JJ7K-1" },
        { "qrcode native, widthMm, UTF-8",
            R"([{"op":"text","data":"Total\n"},{"op":"qrcode","data":{"text":"Fatura nº 7 — 12,50 €","widthMm":30,"ecc":"H"}}])",
            "Fatura nº 7 — 12,50 €" },
        { "qrcode image, low density, right",
            R"([{"op":"settings","data":{"lowDensity":true}},{"op":"alignment","data":2},{"op":"qrcode","data":{"text":"https://example.com/r/42","mode":"image","size":5}}])",
            "https://example.com/r/42" },
        { "qrcode image on 58 mm paper, code128 with a brace",
            R"([{"op":"settings","data":{"dotWidth":384}},{"op":"qrcode","data":{"text":"58","mode":"image"}},{"op":"barcode","data":{"type":"code128","text":"{x}","width":2}}])",
            "58|{x}" },
        { "ean13 and ean8, check digits computed and given",
            R"([{"op":"barcode","data":{"type":"ean13","text":"590123412345"}},{"op":"barcode","data":{"type":"ean8","text":"96385074","hri":"above"}}])",
            "5901234123457|96385074" },
        // zbar reports UPC-A as EAN-13 with a leading 0.
        { "upca, code39, itf",
            R"([{"op":"barcode","data":{"type":"upca","text":"03600029145","hri":"both"}},{"op":"barcode","data":{"type":"code39","text":"VARNEL-12","hri":"none","width":2}},{"op":"barcode","data":{"type":"itf","text":"12345678","height":160}}])",
            "0036000291452|VARNEL-12|12345678" },
        { "code128, sets B and C, centred",
            R"([{"op":"alignment","data":1},{"op":"barcode","data":{"type":"code128","text":"FT A/2024/1234567","width":2}}])",
            "FT A/2024/1234567" },
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QByteArray(row[1]) << QString::fromUtf8(row[2]).split(QLatin1Char('|'));
    QTest::newRow("pt-atcud") << fiscalJob("pt-atcud", atcud) << QStringList { atcud };
    QTest::newRow("es-verifactu") << fiscalJob("es-verifactu", verifactu) << QStringList { verifactu };
}

void tst_ESCInterpreter::fiscalCodes_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<int>("version"); // 0: any
    QTest::addColumn<int>("widest"); // dots
    QTest::addColumn<QString>("captions");
    QTest::newRow("pt-atcud") << fiscalJob("pt-atcud", atcud) << 9 << 576 << QString();
    QTest::newRow("es-verifactu") << fiscalJob("es-verifactu", verifactu) << 0 << 320
                                  << QStringLiteral("QR tributario:\nVERI*FACTU\n");
}

// A fiscal code as the paper shows it: at least 30 mm wide (8 dots a millimetre) and no wider than
// its profile allows, of the version the profile asks for, with the captions the profile prints.
void tst_ESCInterpreter::fiscalCodes()
{
    QFETCH(QByteArray, job);
    QFETCH(int, version);
    QFETCH(int, widest);
    QFETCH(QString, captions);
    QString text;
    const QImage paper = preview(job, &text).convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(text, captions);
    // The symbol's rows hold a run of dark dots longer than any letter's: its finder patterns.
    int top = -1, bottom = -1, left = paper.width(), right = -1, finder = 0;
    for (int y = 0; y < paper.height(); ++y) {
        const uchar *line = paper.constScanLine(y);
        int run = 0, longest = 0, first = -1, last = -1;
        for (int x = 0; x < paper.width(); ++x) {
            run = line[x] < 128 ? run + 1 : 0;
            longest = std::max(longest, run);
            if (run > 0) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (longest < 30)
            continue;
        if (top < 0) {
            top = y;
            while (line[first + finder] < 128)
                ++finder;
        }
        bottom = y;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    const int width = right - left + 1;
    QVERIFY2(
        width >= 240 && width <= widest && bottom - top + 1 == width, qPrintable(QString::number(width)));
    if (version)
        QCOMPARE((width / (finder / 7) - 17) / 4, version);
}

void tst_ESCInterpreter::symbolsScanned()
{
    QFETCH(QByteArray, job);
    QFETCH(QStringList, scanned);
    const QString invalid = schemaErrors(job);
    QVERIFY2(invalid.isEmpty(), qPrintable(invalid));
    const QString file = m_dir.filePath(QStringLiteral("%1.png").arg(QTest::currentDataTag()));
    QVERIFY(preview(job).save(file));
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), { QStringLiteral("--quiet"), QStringLiteral("--raw"), file });
    QVERIFY(zbar.waitForFinished(30000));
    QStringList read
        = QString::fromUtf8(zbar.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    read.sort();
    scanned.sort();
    QCOMPARE(read, scanned);
}

void tst_ESCInterpreter::qrLevelKept_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<QChar>("level");
    for (const char *mode : { "native", "image" }) {
        for (const char level : { 'L', 'M', 'Q', 'H' }) {
            QTest::addRow("%s %c", mode, level)
                << QByteArray(R"([{"op":"qrcode","data":{"text":"VARNEL","size":4,"mode":")") + mode
                    + R"(","ecc":")" + level + R"("}}])"
                << QChar::fromLatin1(level);
        }
    }
}

// The error correction level a code on the paper carries in its format information: the two
// modules right of the top-left finder's corner at row 8, masked with 10.
void tst_ESCInterpreter::qrLevelKept()
{
    QFETCH(QByteArray, job);
    QFETCH(QChar, level);
    const QImage paper = preview(job);
    const auto dark = [&paper](int x, int y) { return qGray(paper.pixel(x, y)) < 128; };
    int top = 0;
    int left = -1;
    for (; top < paper.height() && left < 0; ++top) {
        for (int x = 0; x < paper.width() && left < 0; ++x)
            left = dark(x, top) ? x : -1;
    }
    QVERIFY(left >= 0);
    --top;
    int finder = 0;
    while (dark(left + finder, top))
        ++finder;
    const int module = finder / 7;
    const auto bit = [&](int column) {
        return dark(left + column * module + module / 2, top + 8 * module + module / 2);
    };
    QCOMPARE(QChar::fromLatin1("MLHQ"[(bit(0) << 1 | bit(1)) ^ 2]), level);
}

void tst_ESCInterpreter::textDecoded_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("folded");

    QTest::newRow("code pages") << QByteArray("{}") << false;
    QTest::newRow("alternative code page") << QByteArray(R"({"alternativeCharset":true})") << false;
    QTest::newRow("folded to ASCII") << QByteArray(R"({"replaceAccentedChars":true})") << true;
}

// What the paper says, read through the code pages the printer was switched to, is the input.
void tst_ESCInterpreter::textDecoded()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, folded);
    const QString input = QStringLiteral("Fatura nº 7: 2 × pão ç ã ñ € ½\nTotal 12,50 €\n");
    const QByteArray text = QJsonDocument(QJsonArray { input }).toJson(QJsonDocument::Compact);
    QString decoded;
    preview(R"([{"op":"settings","data":)" + settings
            + R"(},{"op":"double","data":{"height":true}},)"
              R"({"op":"style","data":{"emphasized":true}},{"op":"text","data":)"
            + text.mid(1, text.size() - 2) + "}]",
        &decoded);
    QCOMPARE(decoded, folded ? ESCTools::foldToASCII(input) : input);
}

// The examples of docs/print-jobs.md are valid jobs by docs/print-job.schema.json, and translate.
void tst_ESCInterpreter::documentedJobsMatchSchema()
{
    QFile doc(QStringLiteral(VARNEL_SOURCE_DIR "/docs/print-jobs.md"));
    QVERIFY(doc.open(QIODevice::ReadOnly));
    const QRegularExpression block(
        QStringLiteral("```json\n(.*?)```"), QRegularExpression::DotMatchesEverythingOption);
    QRegularExpressionMatchIterator blocks = block.globalMatch(QString::fromUtf8(doc.readAll()));
    QVERIFY(blocks.hasNext());
    while (blocks.hasNext()) {
        const QByteArray example = blocks.next().captured(1).toUtf8();
        const QString invalid = schemaErrors(example);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid));
        PrintJob job(QJsonDocument::fromJson(example).array(), false);
        QVERIFY2(job.translate(), qPrintable(job.errorString()));
    }
}

void tst_ESCInterpreter::boundsKept_data()
{
    QTest::addColumn<int>("dotWidth");
    QTest::addColumn<QByteArray>("bytes");
    // -1: no limit of time.
    QTest::addColumn<int>("timeMs");
    QTest::addColumn<bool>("callerGone");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("truncated");
    QTest::addColumn<bool>("stopped");
    const QByteArray qrCode = QByteArray("\x1D(k\x05\x00"
                                         "1P0ab",
                                  10)
        + QByteArray("\x1D(k\x03\x00"
                     "1Q0",
            8);
    const QByteArray raster = QByteArray("\x1Dv0\x00\x48\x00\xD0\x07", 8) + QByteArray(72 * 2000, '\xFF');
    QTest::newRow("a receipt") << 576 << QByteArray("x\n") << -1 << false << 62 << false << false;
    QTest::newRow("fed beyond the length")
        << 576 << QByteArray(1100, '\n') << -1 << false << 30000 << true << false;
    QTest::newRow("a raster image beyond the length")
        << 576 << raster.repeated(16) << -1 << false << 30000 << true << false;
    // 40 MiB for the dots and their picture.
    QTest::newRow("wide paper, memory first")
        << 4096 << QByteArray(200, '\n') << -1 << false << 5041 << true << false;
    QTest::newRow("a QR code") << 576 << qrCode << -1 << false << 95 << false << false;
    QTest::newRow("time spent") << 576 << qrCode << 0 << false << 32 << false << true;
    QTest::newRow("caller gone") << 576 << qrCode << -1 << true << 32 << false << true;
}

// What one drawing may cost: the paper stops at its greatest length, or where its memory would
// be more than allowed; once the time is spent or the caller gone, nothing more is read.
void tst_ESCInterpreter::boundsKept()
{
    QFETCH(int, dotWidth);
    QFETCH(QByteArray, bytes);
    QFETCH(int, timeMs);
    QFETCH(bool, callerGone);
    QFETCH(int, height);
    QFETCH(bool, truncated);
    QFETCH(bool, stopped);
    WorkBudget budget(timeMs, [callerGone] { return callerGone; });
    ESCInterpreter interpreter(dotWidth);
    interpreter.setBudget(&budget);
    interpreter.feed(bytes);
    QCOMPARE(interpreter.paper().height(), height);
    QCOMPARE(interpreter.truncated(), truncated);
    QCOMPARE(interpreter.stopped(), stopped);
    QCOMPARE(budget.end(),
        !stopped         ? WorkBudget::End::None
            : callerGone ? WorkBudget::End::CallerGone
                         : WorkBudget::End::Time);
}

QTEST_MAIN(tst_ESCInterpreter)
#include "tst_escinterpreter.moc"
