#include "logfile.h"

#include <QtTest>

class tst_LogFile : public QObject
{
    Q_OBJECT

private slots:
    void rotatesKeepingThreeOld();
};

void tst_LogFile::rotatesKeepingThreeOld()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state/varnel/varnel.log"));
    // Entries of 100 bytes once written, ten to a file; a restart goes on with the same file.
    for (int run = 0; run < 2; ++run) {
        LogFile log(path, 1000);
        for (int i = run * 30; i < 30 + run * 25; ++i)
            log.append(
                QStringLiteral("%1\n%2").arg(i, 8, 10, QLatin1Char('0')).arg(QString(90, QLatin1Char('x'))));
    }
    for (const auto &file : QList<QPair<QString, qint64>> {
             { "", 500 }, { ".1", 1000 }, { ".2", 1000 }, { ".3", 1000 }, { ".4", 0 } })
        QCOMPARE(QFileInfo(path + file.first).size(), file.second);
    const QStringList last = LogFile(path).lastLines(12);
    QVERIFY(last.size() == 12 && last.first().startsWith("00000043 ") && last.last().startsWith("00000054 "));
}

QTEST_GUILESS_MAIN(tst_LogFile)
#include "tst_logfile.moc"
