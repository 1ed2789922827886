#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMultiMap>
#include <QPair>

struct HttpServerConfig;

class QAbstractSocket;
class QIODevice;
class QTemporaryFile;

// One HTTP request, parsed incrementally as its bytes arrive and bounded by the configuration's
// size limits (request line, headers and plain body; multipart body) and by counts that keep a
// small request from costing much memory or many open files (header lines, parameters, multipart
// parts, uploaded files). Used by one connection thread at a time.
class HttpRequest
{
public:
    enum RequestStatus { waitingForRequestLine, waitingForHeaders, waitingForBody, complete, aborted };

    explicit HttpRequest(const HttpServerConfig &config);
    virtual ~HttpRequest();

    // Consumes what the device offers for the current status; a socket in the server, any
    // sequential device elsewhere.
    void readFromSocket(QIODevice *socket);

    RequestStatus getStatus() const { return status; }
    QByteArray getMethod() const { return method; }
    QByteArray getPath() const { return urlDecode(path); }
    const QByteArray &getRawPath() const { return path; }
    QByteArray getVersion() const { return version; }
    QByteArray getHeader(const QByteArray &name) const { return headers.value(name.toLower()); }
    QList<QByteArray> getHeaders(const QByteArray &name) const { return headers.values(name.toLower()); }
    QMultiMap<QByteArray, QByteArray> getHeaderMap() const { return headers; }
    QByteArray getParameter(const QByteArray &name) const { return parameters.value(name); }
    QList<QByteArray> getParameters(const QByteArray &name) const { return parameters.values(name); }
    QMultiMap<QByteArray, QByteArray> getParameterMap() const { return parameters; }
    QByteArray getBody() const { return bodyData; }
    // Bytes this request has taken in so far, multipart body included.
    qint64 receivedSize() const;
    // The size announced by "Content-Length", 0 before the headers are complete.
    int announcedBodySize() const { return expectedBodySize; }
    static QByteArray urlDecode(QByteArray source);
    // Made when first asked for, so that uploads nobody reads hold no descriptor.
    QTemporaryFile *getUploadedFile(QByteArray fieldName) const;
    QByteArray getCookie(const QByteArray &name) const { return cookies.value(name); }
    QMap<QByteArray, QByteArray> &getCookieMap() { return cookies; }
    QHostAddress getPeerAddress() const { return peerAddress; }
    // Whether the peer has closed the connection this request came on, or it broke: work for the
    // request can stop, as nobody will read the reply. False for a request not read from a socket.
    bool peerLeft() const;

private:
    Q_DISABLE_COPY(HttpRequest)

    bool readLine(QIODevice *socket, QByteArray *line);
    void readRequest(QIODevice *socket);
    void readHeader(QIODevice *socket);
    void readBody(QIODevice *socket);
    void parseMultiPartFile();
    void decodeRequestParams();
    void addParameter(const QByteArray &name, const QByteArray &value);
    void extractCookies();

    QMultiMap<QByteArray, QByteArray> headers;
    QMultiMap<QByteArray, QByteArray> parameters;
    // Where each upload lies in the multipart body's file: start and length.
    QMap<QByteArray, QPair<qint64, qint64>> uploadRanges;
    // Made from uploadRanges when asked for.
    mutable QMap<QByteArray, QTemporaryFile *> uploadedFiles;
    QMap<QByteArray, QByteArray> cookies;
    QByteArray bodyData;
    QByteArray method;
    QByteArray path;
    QByteArray version;
    RequestStatus status = waitingForRequestLine;
    QHostAddress peerAddress;
    // The connection's socket, which outlives the request.
    const QAbstractSocket *connection = nullptr;
    int maxSize;
    int maxMultiPartSize;
    int maxHeaderLines;
    int maxParameters;
    int maxMultiPartParts;
    int maxUploadedFiles;
    int headerLines = 0;
    int currentSize = 0;
    int expectedBodySize = 0;
    QByteArray currentHeader;
    bool lastHeaderFolded = false;
    QByteArray boundary;
    QTemporaryFile *tempFile = nullptr;
    QByteArray lineBuffer;
};
