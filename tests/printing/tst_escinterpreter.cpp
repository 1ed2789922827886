#include "escinterpreter.h"
#include "esctools.h"
#include "printjob.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QJsonArray parse(const QByteArray &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        qFatal("bad test job: %s", json.constData());
    return document.array();
}

} // namespace

// Jobs translated by PrintJob and drawn by the interpreter: what a person or a scanner reads
// off the paper must be what the job asked for.
class TestESCInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void symbolsScanned_data();
    void symbolsScanned();
    void textDecoded_data();
    void textDecoded();
    void documentedJobsMatchSchema();

private:
    QString schemaErrors(const QByteArray &job);
    QImage preview(const QByteArray &job, QString *text = nullptr);
    QTemporaryDir m_dir;
};

// What the JSON Schema validator says against a job; empty when the job is valid.
QString TestESCInterpreter::schemaErrors(const QByteArray &job)
{
    const QString file = m_dir.filePath(QStringLiteral("job.json"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(job) != job.size())
        return QStringLiteral("cannot write ") + file;
    out.close();
    QProcess validator;
    validator.start(QStringLiteral("python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import json, sys, jsonschema\n"
                           "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))"),
            file, QStringLiteral(VARNEL_SOURCE_DIR "/docs/print-job.schema.json") });
    if (!validator.waitForFinished(30000) || validator.exitCode() != 0)
        return QString::fromUtf8(job + validator.readAllStandardError());
    return QString();
}

QImage TestESCInterpreter::preview(const QByteArray &job, QString *text)
{
    PrintJob printJob(parse(job), QString(), false);
    if (!printJob.translate())
        qFatal("job not translated: %s", qPrintable(printJob.errorString()));
    ESCInterpreter interpreter(printJob.dotWidth());
    interpreter.feed(printJob.bytes());
    const QImage paper = interpreter.paper();
    if (text)
        *text = interpreter.text();
    return paper;
}

// Golden jobs whose symbols a scanner must read back as their input (zbar reports UPC-A as
// EAN-13 with a leading 0).
void TestESCInterpreter::symbolsScanned_data()
{
    QTest::addColumn<QByteArray>("job");
    QTest::addColumn<QStringList>("scanned");

    const QString atcud
        = QStringLiteral("A:123456789*B:999999990*C:PT*D:FT*E:N*F:20240115*G:FT A/1*H:JJ7K-1");
    QTest::newRow("qrcode native, centred")
        << QByteArray(R"([{"op":"alignment","data":1},{"op":"qrcode","data":{"text":")") + atcud.toUtf8()
            + R"("}}])"
        << QStringList { atcud };
    QTest::newRow("qrcode native, widthMm, UTF-8") << QByteArray(
        R"([{"op":"text","data":"Total\n"},{"op":"qrcode","data":{"text":"Fatura nº 7 — 12,50 €","widthMm":30,"ecc":"H"}}])")
                                                   << QStringList { QStringLiteral("Fatura nº 7 — 12,50 €") };
    QTest::newRow("qrcode image, low density, right")
        << QByteArray(
               R"([{"op":"settings","data":{"lowDensity":true}},{"op":"alignment","data":2},)"
               R"({"op":"qrcode","data":{"text":"https://example.com/r/42","mode":"image","size":5}}])")
        << QStringList { QStringLiteral("https://example.com/r/42") };
    QTest::newRow("qrcode image on 58 mm paper, then a barcode") << QByteArray(
        R"([{"op":"settings","data":{"dotWidth":384}},{"op":"qrcode","data":{"text":"58","mode":"image"}},)"
        R"({"op":"barcode","data":{"type":"code128","text":"{x}","width":2}}])")
                                                                 << QStringList { QStringLiteral("58"),
                                                                        QStringLiteral("{x}") };
    QTest::newRow("ean13, check digit computed")
        << QByteArray(R"([{"op":"barcode","data":{"type":"ean13","text":"590123412345"}}])")
        << QStringList { QStringLiteral("5901234123457") };
    QTest::newRow("ean8, check digit given, text above")
        << QByteArray(R"([{"op":"barcode","data":{"type":"ean8","text":"96385074","hri":"above"}}])")
        << QStringList { QStringLiteral("96385074") };
    QTest::newRow("upca") << QByteArray(
        R"([{"op":"barcode","data":{"type":"upca","text":"03600029145","hri":"both"}}])")
                          << QStringList { QStringLiteral("0036000291452") };
    QTest::newRow("code39, no text") << QByteArray(
        R"([{"op":"barcode","data":{"type":"code39","text":"VARNEL-12","hri":"none","width":2}}])")
                                     << QStringList { QStringLiteral("VARNEL-12") };
    QTest::newRow("itf, tall") << QByteArray(
        R"([{"op":"barcode","data":{"type":"itf","text":"12345678","height":160}}])")
                               << QStringList { QStringLiteral("12345678") };
    QTest::newRow("code128, sets B and C") << QByteArray(
        R"([{"op":"alignment","data":1},{"op":"barcode","data":{"type":"code128","text":"FT A/2024/1234567","width":2}}])")
                                           << QStringList { QStringLiteral("FT A/2024/1234567") };
}

void TestESCInterpreter::symbolsScanned()
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

void TestESCInterpreter::textDecoded_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("folded");

    QTest::newRow("code pages") << QByteArray("{}") << false;
    QTest::newRow("alternative code page") << QByteArray(R"({"alternativeCharset":true})") << false;
    QTest::newRow("folded to ASCII") << QByteArray(R"({"replaceAccentedChars":true})") << true;
}

// What the paper says, read through the code pages the printer was switched to, is the input.
void TestESCInterpreter::textDecoded()
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
void TestESCInterpreter::documentedJobsMatchSchema()
{
    QFile doc(QStringLiteral(VARNEL_SOURCE_DIR "/docs/print-jobs.md"));
    QVERIFY(doc.open(QIODevice::ReadOnly));
    const QString markdown = QString::fromUtf8(doc.readAll());
    QRegularExpressionMatchIterator blocks = QRegularExpression(
        QStringLiteral("```json\n(.*?)```"), QRegularExpression::DotMatchesEverythingOption)
                                                 .globalMatch(markdown);
    int examples = 0;
    while (blocks.hasNext()) {
        const QByteArray example = blocks.next().captured(1).toUtf8();
        ++examples;
        const QString invalid = schemaErrors(example);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid));
        PrintJob job(parse(example), QString(), false);
        QVERIFY2(job.translate(), qPrintable(job.errorString()));
    }
    QVERIFY(examples >= 3);
}

QTEST_MAIN(TestESCInterpreter)
#include "tst_escinterpreter.moc"
