#pragma once

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

class NativeESCFakeSocket;

// One receipt: interprets the JSON command array once, in order, and writes the ESC/POS bytes
// of every command straight into a raw CUPS job on the named queue.
class PrintJob : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultFetchTimeoutMs = 10000;
    static constexpr qint64 defaultFetchMaxBytes = 10ll * 1024 * 1024;

    PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode, QObject *parent = nullptr);
    // Writes into the given device instead of CUPS; the job takes ownership of it.
    PrintJob(QJsonArray commands, QString printerName, bool compatibilityMode, NativeESCFakeSocket *device,
        QObject *parent = nullptr);

    // False when the printer could not be reached, or CUPS refused the job's data.
    bool execute();

    // Bounds for an "http" image: the whole download, and its body size.
    void setImageFetchLimits(int timeoutMs, qint64 maxBytes);
    // Bounds for a decoded image: pixels on a side, and bytes of the decoded image.
    void setImageSizeLimits(int maxSide, qint64 maxBytes);

    void setSettings(QJsonObject settings);
    void setTextDouble(QJsonObject data);
    void setCondensed(const bool &condensed);
    void setStyle(QJsonObject data);
    void setAlignment(const int &alignment);
    void setCut(const QString &mode);
    void setPulse(QJsonObject data);
    void setText(const QString &text);
    void setImage(const QString &source);
    void applyStyle();
    void setDefaultPrinterSettings();

private:
    void runCommand(const QJsonObject &command);
    void send(const QByteArray &bytes);
    QImage fetchImage(const QString &url);
    QImage decodeImage(const QByteArray &bytes, const char *format);

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

    bool m_writeRefused = false;
    int m_fetchTimeoutMs = defaultFetchTimeoutMs;
    qint64 m_fetchMaxBytes = defaultFetchMaxBytes;
    int m_imageMaxSide;
    qint64 m_imageMaxBytes;
};
