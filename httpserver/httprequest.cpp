#include "httprequest.h"

#include "httpcookie.h"
#include "httplog.h"
#include "httpserverconfig.h"

#include <QAbstractSocket>
#include <QTemporaryFile>

#include <memory>
#include <poll.h>

namespace {

// Largest piece of a multipart body read at once, and largest line parsed from it.
constexpr qint64 multiPartChunkSize = 65536;
// Largest piece of a request or header line read at once.
constexpr qint64 linePieceSize = 4096;

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseContentLength(const QByteArray &text, int *length)
{
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    bool ok = false;
    *length = text.toInt(&ok);
    return ok;
}

// Reads up to and including the next line feed, at most maxBytes. In pieces, because
// QIODevice::readLine allocates its whole maximum up front (and returns one byte less).
QByteArray readLineOfAtMost(QIODevice *device, qint64 maxBytes)
{
    QByteArray line;
    while (line.size() < maxBytes) {
        const QByteArray piece = device->readLine(qMin(maxBytes - line.size(), linePieceSize) + 1);
        line.append(piece);
        if (piece.isEmpty() || piece.endsWith('\n'))
            break;
    }
    return line;
}
} // namespace

HttpRequest::HttpRequest(const HttpServerConfig &config)
    : maxSize(config.maxRequestSize)
    , maxMultiPartSize(config.maxMultiPartSize)
    , maxHeaderLines(config.maxHeaderLines)
    , maxParameters(config.maxParameters)
    , maxMultiPartParts(config.maxMultiPartParts)
    , maxUploadedFiles(config.maxUploadedFiles)
{
}

HttpRequest::~HttpRequest()
{
    qDeleteAll(uploadedFiles);
    delete tempFile;
}

void HttpRequest::readFromSocket(QIODevice *socket)
{
    const RequestStatus before = status;
    switch (status) {
    case waitingForRequestLine:
        readRequest(socket);
        break;
    case waitingForHeaders:
        readHeader(socket);
        break;
    case waitingForBody:
        readBody(socket);
        break;
    case complete:
    case aborted:
        return;
    }

    if (currentSize > (boundary.isEmpty() ? maxSize : maxMultiPartSize)) {
        qCWarning(lcRefused, "received too many bytes");
        status = aborted;
        return;
    }
    if (status == complete && before != complete) {
        decodeRequestParams();
        if (status == aborted)
            return;
        extractCookies();
    }
}

bool HttpRequest::readLine(QIODevice *socket, QByteArray *line)
{
    // One byte beyond the allowance, so that an over-long line trips the size check.
    const QByteArray data = readLineOfAtMost(socket, qint64(maxSize) - currentSize + 1);
    lineBuffer.append(data);
    currentSize += data.size();
    // Only a line feed ends a line: a carriage return may be the first half of a CR LF
    // whose line feed has not arrived yet. Reading stops at the first line feed, so it can
    // only be the last byte.
    if (!lineBuffer.endsWith('\n'))
        return false;
    *line = lineBuffer.trimmed();
    lineBuffer.clear();
    return true;
}

void HttpRequest::readRequest(QIODevice *socket)
{
    QByteArray line;
    if (!readLine(socket, &line) || line.isEmpty())
        return;

    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() == 3 && parts.at(2).contains("HTTP")) {
        method = parts.at(0).trimmed();
        path = parts.at(1);
        version = parts.at(2);
        if (const auto *abstractSocket = qobject_cast<const QAbstractSocket *>(socket)) {
            peerAddress = abstractSocket->peerAddress();
            connection = abstractSocket;
        }
        status = waitingForHeaders;
    } else {
        qCWarning(lcRefused, "received broken HTTP request, invalid first line");
        status = aborted;
    }
}

void HttpRequest::readHeader(QIODevice *socket)
{
    QByteArray line;
    if (!readLine(socket, &line))
        return;
    // Every header line costs bookkeeping far beyond its few bytes.
    if (!line.isEmpty() && ++headerLines > maxHeaderLines) {
        qCWarning(lcRefused, "received too many header lines");
        status = aborted;
        return;
    }

    const int colon = line.indexOf(':');
    if (colon > 0) {
        currentHeader = line.left(colon).toLower();
        headers.insert(currentHeader, line.mid(colon + 1).trimmed());
        lastHeaderFolded = false;
    } else if (!line.isEmpty()) {
        auto latest = headers.find(currentHeader);
        if (latest == headers.end())
            return;
        // Further continuation lines extend the folded entry in place instead of adding one
        // ever longer entry per line, which would grow with the square of the header size.
        if (lastHeaderFolded)
            latest.value().append(' ').append(line);
        else
            headers.insert(currentHeader, latest.value() + ' ' + line);
        lastHeaderFolded = true;
    } else {
        const QByteArray contentType = headers.value("content-type");
        if (contentType.startsWith("multipart/form-data")) {
            const int position = contentType.indexOf("boundary=");
            if (position >= 0) {
                boundary = contentType.mid(position + 9);
                if (boundary.startsWith('"') && boundary.endsWith('"'))
                    boundary = boundary.size() >= 2 ? boundary.mid(1, boundary.size() - 2) : QByteArray();
            }
        }

        const QByteArray contentLength = headers.value("content-length");
        if (!contentLength.isEmpty() && !parseContentLength(contentLength, &expectedBodySize)) {
            qCWarning(lcRefused, "received invalid content-length");
            status = aborted;
            return;
        }

        if (expectedBodySize == 0) {
            status = complete;
        } else if (boundary.isEmpty() && qint64(expectedBodySize) + currentSize > maxSize) {
            qCWarning(lcRefused, "expected body is too large");
            status = aborted;
        } else if (!boundary.isEmpty() && expectedBodySize > maxMultiPartSize) {
            qCWarning(lcRefused, "expected multipart body is too large");
            status = aborted;
        } else {
            status = waitingForBody;
        }
    }
}

void HttpRequest::readBody(QIODevice *socket)
{
    if (boundary.isEmpty()) {
        // Bounded by what has arrived: QIODevice allocates the whole maximum up front.
        const QByteArray data
            = socket->read(qMin<qint64>(expectedBodySize - bodyData.size(), socket->bytesAvailable()));
        currentSize += data.size();
        bodyData.append(data);
        if (bodyData.size() >= expectedBodySize)
            status = complete;
        return;
    }

    if (!tempFile)
        tempFile = new QTemporaryFile;
    if (!tempFile->isOpen() && !tempFile->open()) {
        qCCritical(
            lcHttp, "cannot open temp file for multipart body, %s", qPrintable(tempFile->errorString()));
        status = aborted;
        return;
    }

    const qint64 oldSize = tempFile->size();
    const QByteArray data
        = socket->read(qMin(qMin(expectedBodySize - oldSize, multiPartChunkSize), socket->bytesAvailable()));
    const qint64 newSize = oldSize + qMax<qint64>(0, tempFile->write(data));
    if (newSize >= maxMultiPartSize) {
        qCWarning(lcRefused, "received too many multipart bytes");
        status = aborted;
    } else if (newSize >= expectedBodySize) {
        tempFile->flush();
        if (tempFile->error() != QFileDevice::NoError)
            qCCritical(lcHttp, "error writing temp file for multipart body");
        parseMultiPartFile();
        tempFile->close();
        if (status != aborted)
            status = complete;
    }
}

void HttpRequest::parseMultiPartFile()
{
    qCDebug(lcHttp, "parsing multipart temp file");
    tempFile->seek(0);
    const QByteArray delimiter = "--" + boundary;
    const QByteArray terminator = boundary + "--";
    bool finished = false;
    int parts = 0;
    const auto readable = [&] {
        return !tempFile->atEnd() && !finished && status != aborted
            && tempFile->error() == QFileDevice::NoError;
    };

    while (readable()) {
        QByteArray fieldName;
        QByteArray fileName;
        while (readable()) {
            const QByteArray line = readLineOfAtMost(tempFile, multiPartChunkSize).trimmed();
            if (line.startsWith("Content-Disposition:")) {
                if (line.contains("form-data")) {
                    const auto quoted = [&line](const QByteArray &opening) {
                        const int start = line.indexOf(opening);
                        if (start < 0)
                            return QByteArray();
                        const int end = line.indexOf('"', start + opening.size());
                        if (end < 0)
                            return QByteArray();
                        return line.mid(start + opening.size(), end - start - opening.size());
                    };
                    fieldName = quoted(" name=\"");
                    fileName = quoted(" filename=\"");
                } else {
                    qCDebug(lcHttp, "ignoring unsupported content part %s", line.constData());
                }
            } else if (line.isEmpty()) {
                break;
            }
        }

        // A file part is only kept once its closing boundary has been seen. Its bytes stay where
        // they are in the body's file: a QTemporaryFile holds its descriptor even when closed, so
        // one per part would let a request open thousands.
        qint64 contentStart = -1;
        QByteArray fieldValue;
        while (readable()) {
            const QByteArray line = readLineOfAtMost(tempFile, multiPartChunkSize);
            if (line.startsWith(delimiter)) {
                if (++parts > maxMultiPartParts) {
                    qCWarning(lcRefused, "received too many multipart parts");
                    status = aborted;
                    break;
                }
                if (!fieldName.isEmpty() && fileName.isEmpty()) {
                    fieldValue.chop(2);
                    addParameter(fieldName, fieldValue);
                    // Its name only: a form's values (the key among them) never reach the log.
                    qCDebug(lcHttp, "set parameter %s", fieldName.constData());
                } else if (!fieldName.isEmpty() && contentStart >= 0) {
                    const qint64 size = qMax<qint64>(0, tempFile->pos() - line.size() - contentStart - 2);
                    addParameter(fieldName, fileName);
                    qCDebug(lcHttp, "set parameter %s", fieldName.constData());
                    uploadRanges.remove(fieldName);
                    if (uploadRanges.size() >= maxUploadedFiles) {
                        qCWarning(lcRefused, "received too many uploaded files");
                        status = aborted;
                        break;
                    }
                    uploadRanges.insert(fieldName, qMakePair(contentStart, size));
                    qCDebug(lcHttp, "uploaded file size is %i", int(size));
                }
                if (line.contains(terminator))
                    finished = true;
                break;
            }
            if (fieldName.isEmpty())
                continue;
            if (fileName.isEmpty()) {
                fieldValue.append(line);
                currentSize += line.size();
                continue;
            }
            if (contentStart < 0)
                contentStart = tempFile->pos() - line.size();
        }
    }
    if (tempFile->error() != QFileDevice::NoError)
        qCCritical(lcHttp, "cannot read temp file, %s", qPrintable(tempFile->errorString()));
}

void HttpRequest::decodeRequestParams()
{
    QByteArray rawParameters;
    const int question = path.indexOf('?');
    if (question >= 0) {
        rawParameters = path.mid(question + 1);
        path = path.left(question);
    }

    const QByteArray contentType = headers.value("content-type");
    if (!bodyData.isEmpty()
        && (contentType.isEmpty() || contentType.startsWith("application/x-www-form-urlencoded"))) {
        if (rawParameters.isEmpty())
            rawParameters = bodyData;
        else
            rawParameters += '&' + bodyData;
    }

    // Walked in place: a split would make one list entry per piece before any limit applies.
    for (int start = 0; start <= rawParameters.size() && status != aborted;) {
        int end = rawParameters.indexOf('&', start);
        if (end < 0)
            end = rawParameters.size();
        const QByteArray part = QByteArray::fromRawData(rawParameters.constData() + start, end - start);
        const int equals = part.indexOf('=');
        if (equals >= 0)
            addParameter(urlDecode(part.left(equals).trimmed()), urlDecode(part.mid(equals + 1).trimmed()));
        else if (!part.isEmpty())
            addParameter(urlDecode(part), QByteArray());
        start = end + 1;
    }
}

void HttpRequest::addParameter(const QByteArray &name, const QByteArray &value)
{
    if (parameters.size() >= maxParameters) {
        qCWarning(lcRefused, "received too many parameters");
        status = aborted;
        return;
    }
    parameters.insert(name, value);
}

void HttpRequest::extractCookies()
{
    const QList<QByteArray> cookieHeaders = headers.values("cookie");
    for (const QByteArray &cookieHeader : cookieHeaders) {
        const QList<QByteArray> parts = HttpCookie::splitCSV(cookieHeader);
        for (const QByteArray &part : parts) {
            const int equals = part.indexOf('=');
            if (equals > 0)
                cookies.insert(part.left(equals).trimmed(), part.mid(equals + 1).trimmed());
            else
                cookies.insert(part.trimmed(), QByteArray());
        }
    }
    headers.remove("cookie");
}

QByteArray HttpRequest::urlDecode(QByteArray source)
{
    source.replace('+', ' ');
    QByteArray result;
    result.reserve(source.size());
    for (int i = 0; i < source.size(); ++i) {
        const char c = source.at(i);
        // Up to two hexadecimal digits follow the "%" (fewer at the end of the text);
        // anything else leaves the "%" as it is.
        const int digits = qMin(2, source.size() - i - 1);
        int value = 0;
        bool valid = c == '%' && digits > 0;
        for (int d = 1; valid && d <= digits; ++d) {
            const int digit = hexDigitValue(source.at(i + d));
            valid = digit >= 0;
            value = value * 16 + digit;
        }
        if (valid) {
            result.append(char(value));
            i += digits;
        } else {
            result.append(c);
        }
    }
    return result;
}

QTemporaryFile *HttpRequest::getUploadedFile(QByteArray fieldName) const
{
    QTemporaryFile *file = uploadedFiles.value(fieldName);
    if (!file && uploadRanges.contains(fieldName) && (tempFile->isOpen() || tempFile->open())) {
        // Made when first asked for, from the part's bytes in the body's file.
        auto upload = std::make_unique<QTemporaryFile>();
        if (!upload->open())
            return nullptr;
        const QPair<qint64, qint64> range = uploadRanges.value(fieldName);
        tempFile->seek(range.first);
        for (qint64 left = range.second; left > 0;) {
            const QByteArray piece = tempFile->read(qMin(left, multiPartChunkSize));
            if (piece.isEmpty() || upload->write(piece) != piece.size())
                return nullptr;
            left -= piece.size();
        }
        file = upload.release();
        uploadedFiles.insert(fieldName, file);
    }
    if (file)
        file->seek(0);
    return file;
}

qint64 HttpRequest::receivedSize() const
{
    return currentSize + (tempFile ? tempFile->size() : 0);
}

bool HttpRequest::peerLeft() const
{
    if (!connection)
        return false;
    // The socket learns of the end only from its event loop, which waits while the request is
    // served: the kernel knows at once, also with bytes still unread before the end.
    pollfd watch { int(connection->socketDescriptor()), POLLRDHUP, 0 };
    if (watch.fd < 0)
        return true;
    return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
}
