#include "apiclient.h"

#include <QCoreApplication>
#include <QJsonDocument>

ApiClient::ApiClient(quint16 port)
    : m_port(port)
{
}

ApiClient::~ApiClient() = default;

TestHttpResponse ApiClient::request(
    const QByteArray &method, const QByteArray &target, const HeaderList &headers, const QByteArray &body)
{
    // A kept connection may have been closed by a server that has gone meanwhile: one more try
    // on a new connection.
    QCoreApplication::processEvents();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool reused = m_client && m_client->isConnected();
        if (send(method, target, headers, body) || !reused)
            break;
    }
    return m_last;
}

bool ApiClient::send(
    const QByteArray &method, const QByteArray &target, const HeaderList &headers, const QByteArray &body)
{
    m_last = TestHttpResponse();
    if (!m_client || !m_client->isConnected()) {
        m_client = std::make_unique<TestHttpClient>(true);
        if (!m_client->connectTo(m_port, 10000)) {
            m_client.reset();
            return false;
        }
    }
    QByteArray raw
        = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port) + "\r\n";
    for (const auto &header : headers)
        raw += header.first + ": " + header.second + "\r\n";
    raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    m_client->send(raw);
    if (m_client->readResponse(&m_last, 20000))
        return true;
    const bool answered = !m_client->pending().isEmpty();
    m_client.reset();
    return answered;
}

QJsonObject ApiClient::call(const QByteArray &path, const QJsonObject &body)
{
    return envelope(request("POST", path,
        { { "Content-Type", "application/json" }, { "Authorization", "Bearer " + m_key.toUtf8() } },
        QJsonDocument(body).toJson(QJsonDocument::Compact)));
}

QJsonObject ApiClient::envelope(const TestHttpResponse &response)
{
    return QJsonDocument::fromJson(response.body).object();
}
