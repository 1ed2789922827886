#pragma once

#include <QImage>
#include <QSemaphoreReleaser>
#include <QString>

#include <memory>

class QIODevice;

// The pictures of print jobs: an "http" image fetched within its time and size bounds, any other
// source read as Base64 PNG (a data URI's prefix allowed), decoded only when its header shows a
// size within bounds and room among the images every job decodes at once.
class ImageSource
{
public:
    static constexpr int defaultFetchTimeoutMs = 10000;
    static constexpr qint64 defaultFetchMaxBytes = 10ll * 1024 * 1024;
    static constexpr int defaultMaxSide = 8192;
    // A decoded image larger than this prints nothing.
    static constexpr qint64 defaultMaxBytes = 32ll * 1024 * 1024;
    // What the images being decoded by all jobs together may take; a job waits for room.
    static constexpr qint64 memoryBytes = 2 * defaultMaxBytes;
    // After an image, a job or a drawing this large, the memory it took is handed back to the system.
    static constexpr qint64 largeBytes = 1024 * 1024;

    // The time an "http" image may take by default: VARNEL_IMAGE_FETCH_TIMEOUT_MS, else 10 s.
    static int fetchTimeoutMs();
    // Bounds for an "http" image: the whole download, and its body size.
    void setFetchLimits(int timeoutMs, qint64 maxBytes);
    // Bounds for a decoded image: pixels on a side, and bytes of the decoded image.
    void setSizeLimits(int maxSide, qint64 maxBytes);

    // The image, or a null one when it cannot be had within the bounds; claim then holds its
    // room among every job's images until it is released.
    QImage image(const QString &source, QSemaphoreReleaser *claim) const;

    // Room for bytes of decoded image among those of every job; blocks until there is.
    static QSemaphoreReleaser claimMemory(qint64 bytes);
    // Gives the memory this thread freed back to the system, after work of largeBytes or more.
    static void handBackMemory();

private:
    // The body of an image URL, or null when it could not be had within the bounds.
    std::unique_ptr<QIODevice> fetch(const QString &url) const;
    QImage decode(QIODevice *data, const char *format, QSemaphoreReleaser *claim) const;

    int m_fetchTimeoutMs = fetchTimeoutMs();
    qint64 m_fetchMaxBytes = defaultFetchMaxBytes;
    int m_maxSide = defaultMaxSide;
    qint64 m_maxBytes = defaultMaxBytes;
};
