#include "updatechecker.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// The update check against a local update service that answers with a body, stays silent, or
// hangs up at once.
class tst_UpdateChecker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void answer_data();
    void answer();
    void silentServiceIsAbortedAndAskedAgain();
    void failedRequestsAreReleased();

private:
    enum Mode { Answer, Silent, Hangup } m_mode = Answer;
    QByteArray m_body;
    QList<QByteArray> m_requests;
    int m_connections = 0;
    std::unique_ptr<QTcpServer> m_service;
    std::unique_ptr<UpdateChecker> m_checker;
};

void tst_UpdateChecker::init()
{
    m_mode = Answer;
    m_requests.clear();
    m_connections = 0;
    m_service = std::make_unique<QTcpServer>();
    QVERIFY(m_service->listen(QHostAddress::LocalHost));
    connect(m_service.get(), &QTcpServer::newConnection, this, [this] {
        QTcpSocket *socket = m_service->nextPendingConnection();
        ++m_connections;
        if (m_mode == Hangup)
            socket->close();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            socket->setProperty("request", socket->property("request").toByteArray() + socket->readAll());
            const QByteArray request = socket->property("request").toByteArray();
            if (!request.endsWith("cur=410"))
                return;
            m_requests << request;
            if (m_mode == Answer)
                socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: "
                    + QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
        });
    });
    qputenv("VARNEL_UPDATE_URL", "http://127.0.0.1:" + QByteArray::number(m_service->serverPort()));
    m_checker = std::make_unique<UpdateChecker>();
    m_checker->setCurrentVersion(QStringLiteral("410"));
}

void tst_UpdateChecker::answer_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("hasNewVersion");
    QTest::newRow("true") << QByteArray(R"({"hasNewVersion": true})") << true;
    QTest::newRow("text true") << QByteArray(R"({"hasNewVersion": "true"})") << false;
    QTest::newRow("not JSON") << QByteArray("<html>") << false;
}

void tst_UpdateChecker::answer()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, hasNewVersion);
    m_body = body;
    QSignalSpy checked(m_checker.get(), &UpdateChecker::checked);
    m_checker->checkNewVersion();
    QVERIFY(checked.wait(10000));
    QCOMPARE(checked.first().first().toBool(), hasNewVersion);
    const QByteArray request = m_requests.value(0);
    QVERIFY2(request.startsWith("POST /hasNewVersion HTTP/1.1\r\n"), request.constData());
    QVERIFY(request.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
}

void tst_UpdateChecker::silentServiceIsAbortedAndAskedAgain()
{
    m_mode = Silent;
    m_checker->setIntervals(200, 50);
    QSignalSpy checked(m_checker.get(), &UpdateChecker::checked);
    m_checker->checkNewVersion();
    // Given up after the time limit, and asked again one pause later.
    QTRY_COMPARE_WITH_TIMEOUT(m_requests.size(), 3, 10000);
    QCOMPARE(checked.count(), 0);
}

void tst_UpdateChecker::failedRequestsAreReleased()
{
    m_mode = Hangup;
    m_checker->setIntervals(10000, 10);
    m_checker->checkNewVersion();
    QTRY_VERIFY_WITH_TIMEOUT(m_connections >= 5, 10000);
    // Only the request in flight may be left.
    QTRY_VERIFY(m_checker->findChildren<QNetworkReply *>().size() <= 1);
}

QTEST_GUILESS_MAIN(tst_UpdateChecker)
#include "tst_updatechecker.moc"
