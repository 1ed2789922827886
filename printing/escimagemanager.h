#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>

// Turns one image into ESC/POS bit-image bands: scaled, flattened onto white, reduced to
// 16-bit colour, dithered to black and white and packed eight dots to a byte.
class ESCImageManager : public QObject
{
    Q_OBJECT

public:
    // Larger targets would need an unreasonable working buffer; they print as a null image.
    static constexpr int maxSide = 8192;
    static constexpr qint64 maxBufferBytes = 256ll * 1024 * 1024;

    explicit ESCImageManager(QObject *parent = nullptr);

    void setImage(
        QImage image, int width, int height, bool highDensity, int printMode, bool compatibilityMode);
    QByteArray getBytesToSend();
    // For an image that is black and white already and of the target size, such as a QR code:
    // every dark pixel a dot, without scaling or dithering.
    QByteArray getBlackAndWhiteBytes();

    // RGBA bytes of every pixel of an RGB16 image, row by row.
    QByteArray getImageBytes(QImage image);
    // Serpentine Floyd–Steinberg over RGBA bytes; every pixel becomes 0 or 255.
    QByteArray floydSteinbergDithering(QByteArray data);
    QByteArray makeMono(QByteArray data);
    QByteArray makeMonoCompatibilityMode(QByteArray data);
    QByteArray pagedPrinting(QByteArray data);
    // 1 (a dot) unless all three channels are 128 or more.
    static int getMonoDot(char r, char g, char b);

private:
    QByteArray framed(QByteArray bands);
    // The scaled image flattened onto white, in a 32-bit format or RGB16.
    QImage flattened() const;
    QByteArray ditheredBands();
    // Header and band framing with every dot clear.
    QByteArray emptyBands(const QByteArray &header, const QByteArray &trailer) const;
    QByteArray packBands(const QByteArray &data, bool compatibilityMode) const;

    QImage m_image;
    int m_width = 0;
    int m_height = 0;
    int m_printMode = 0;
    bool m_highDensity = false;
    bool m_compatibilityMode = false;
};
