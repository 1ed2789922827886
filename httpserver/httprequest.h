#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMultiMap>

class QIODevice;
class QSettings;
class QTemporaryFile;

// One HTTP request, parsed incrementally as its bytes arrive and bounded by the size limits
// "maxRequestSize" (request line, headers and plain body) and "maxMultiPartSize" (multipart body).
// Used by one connection thread at a time.
class HttpRequest
{
public:
    enum RequestStatus { waitingForRequestLine, waitingForHeaders, waitingForBody, complete, aborted };

    explicit HttpRequest(QSettings *settings);
    virtual ~HttpRequest();

    // Consumes what the device offers for the current status; a socket in the server, any
    // sequential device elsewhere.
    void readFromSocket(QIODevice *socket);

    RequestStatus getStatus() const;
    QByteArray getMethod() const;
    QByteArray getPath() const;
    const QByteArray &getRawPath() const;
    QByteArray getVersion() const;
    QByteArray getHeader(const QByteArray &name) const;
    QList<QByteArray> getHeaders(const QByteArray &name) const;
    QMultiMap<QByteArray, QByteArray> getHeaderMap() const;
    QByteArray getParameter(const QByteArray &name) const;
    QList<QByteArray> getParameters(const QByteArray &name) const;
    QMultiMap<QByteArray, QByteArray> getParameterMap() const;
    QByteArray getBody() const;
    static QByteArray urlDecode(QByteArray source);
    QTemporaryFile *getUploadedFile(QByteArray fieldName) const;
    QByteArray getCookie(const QByteArray &name) const;
    QMap<QByteArray, QByteArray> &getCookieMap();
    QHostAddress getPeerAddress() const;

private:
    Q_DISABLE_COPY(HttpRequest)

    bool readLine(QIODevice *socket, QByteArray *line);
    void readRequest(QIODevice *socket);
    void readHeader(QIODevice *socket);
    void readBody(QIODevice *socket);
    void parseMultiPartFile();
    void decodeRequestParams();
    void extractCookies();

    QMultiMap<QByteArray, QByteArray> headers;
    QMultiMap<QByteArray, QByteArray> parameters;
    QMap<QByteArray, QTemporaryFile *> uploadedFiles;
    QMap<QByteArray, QByteArray> cookies;
    QByteArray bodyData;
    QByteArray method;
    QByteArray path;
    QByteArray version;
    RequestStatus status = waitingForRequestLine;
    QHostAddress peerAddress;
    int maxSize;
    int maxMultiPartSize;
    int currentSize = 0;
    int expectedBodySize = 0;
    QByteArray currentHeader;
    bool lastHeaderFolded = false;
    QByteArray boundary;
    QTemporaryFile *tempFile = nullptr;
    QByteArray lineBuffer;
};
