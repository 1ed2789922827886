#pragma once

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSemaphoreReleaser>
#include <QString>

#include <memory>

class NativeESCFakeSocket;
class QrSymbol;

// One receipt: translates the JSON command array once, in order, into ESC/POS bytes, and only
// when every command translated sends them as one raw CUPS job on the named queue, a block
// a command, so a job with a bad command prints nothing at all.
class PrintJob : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultFetchTimeoutMs = 10000;
    static constexpr qint64 defaultFetchMaxBytes = 10ll * 1024 * 1024;
    // A decoded image larger than this prints nothing.
    static constexpr qint64 defaultImageMaxBytes = 32ll * 1024 * 1024;
    // What the images being decoded by all jobs together may take; a job waits for room.
    static constexpr qint64 imageMemoryBytes = 2 * defaultImageMaxBytes;
    // After an image or a job this large, the memory it took is handed back to the system.
    static constexpr qint64 largeBytes = 1024 * 1024;
    // A job that would send more fails as a whole.
    static constexpr qint64 maxJobBytes = 4ll * 1024 * 1024;

    PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode, QObject *parent = nullptr);
    // Writes into the given device instead of CUPS; the job takes ownership of it.
    PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode, NativeESCFakeSocket *device,
        QObject *parent = nullptr);
    ~PrintJob() override;

    // False when the printer could not be reached, a command could not be translated or CUPS
    // refused the job's data; errorString() then says why, or is empty when CUPS refused.
    bool execute();
    // The CUPS job the job became, or 0.
    int jobId() const;
    // Translates the whole job without sending it; false, with errorString() set, at the first
    // command that cannot be printed as given.
    bool translate();
    // The ESC/POS bytes of the translated job.
    QByteArray bytes() const;
    // Why translate() failed: the command's position in the array, its name and the value.
    QString errorString() const { return m_error; }
    // The printable width in dots the job's settings give.
    int dotWidth() const;

    // The time an "http" image may take by default: VARNEL_IMAGE_FETCH_TIMEOUT_MS, else 10 s.
    static int fetchTimeoutMs();
    // Bounds for an "http" image: the whole download, and its body size.
    void setImageFetchLimits(int timeoutMs, qint64 maxBytes);
    // Bounds for a decoded image: pixels on a side, and bytes of the decoded image.
    void setImageSizeLimits(int maxSide, qint64 maxBytes);
    // Gives the memory this thread freed back to the system, after work as large as largeBytes.
    static void handBackMemory();

    void setSettings(QJsonObject settings);
    void setTextDouble(QJsonObject data);
    void setCondensed(const bool &condensed);
    void setStyle(QJsonObject data);
    void setAlignment(const int &alignment);
    void setCut(const QString &mode);
    void setPulse(QJsonObject data);
    void setText(const QString &text);
    void setImage(const QString &source);
    bool setQrCode(int position, const QJsonValue &data);
    bool setBarcode(int position, const QJsonValue &data);
    void applyStyle();
    void setDefaultPrinterSettings();

private:
    bool runCommand(int position, const QJsonObject &command);
    void send(const QByteArray &bytes);
    // After a bit image: the printer reset, then the alignment and print mode that were in force.
    void resetKeepingStyle();
    // The code through the printer's QR engine, or drawn by Varnel as a bit image.
    void sendQrCode(const QrSymbol &symbol, const QByteArray &utf8, int level, int module, bool native);
    // The body of an image URL, or null when it could not be had within the bounds.
    std::unique_ptr<QIODevice> fetchImage(const QString &url);
    // The image, or a null one when it is too large; claim then holds its room until released.
    QImage decodeImage(QIODevice *data, const char *format, QSemaphoreReleaser *claim);
    // Room for bytes of decoded image among those of every job; blocks until there is.
    static QSemaphoreReleaser claimImageMemory(qint64 bytes);

    NativeESCFakeSocket *m_device;
    QJsonArray m_commands;
    QString m_printerName;
    int m_normalLineWidth = 48;
    int m_condensedLineWidth = 64;
    int m_dotWidth = 576;
    bool m_hasCutter = true;
    bool m_hasDrawer = true;
    bool m_lowDensity = false;
    int m_imagePrintMode = 0;
    bool m_alternativeCharset = false;
    bool m_replaceAccentedChars = false;
    bool m_doubleWidth = false;
    bool m_doubleHeight = false;
    bool m_condensed = false;
    bool m_emphasized = false;
    bool m_underlined = false;
    int m_alignment = -1;
    bool m_compatibilityMode;

    bool m_translated = false;
    QList<QByteArray> m_blocks;
    qint64 m_size = 0;
    QString m_error;
    bool m_writeRefused = false;
    int m_fetchTimeoutMs = fetchTimeoutMs();
    qint64 m_fetchMaxBytes = defaultFetchMaxBytes;
    int m_imageMaxSide;
    qint64 m_imageMaxBytes;
};
