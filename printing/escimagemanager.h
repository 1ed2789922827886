#pragma once

#include <QByteArray>
#include <QImage>

// Turns one image into ESC/POS bit-image bands: scaled, flattened onto white, reduced to
// 16-bit colour, dithered to black and white and packed eight dots to a byte.
class ESCImageManager
{
public:
    // Larger targets would need an unreasonable working buffer; they print as a null image.
    static constexpr int maxSide = 8192;
    static constexpr qint64 maxBufferBytes = 256ll * 1024 * 1024;

    void setImage(
        QImage image, int width, int height, bool highDensity, int printMode, bool compatibilityMode);
    QByteArray bytes() const;
    // For an image that is black and white already and of the target size, such as a QR code:
    // every dark pixel a dot, without scaling or dithering.
    QByteArray blackAndWhiteBytes() const;

private:
    // The bands framed for page mode.
    QByteArray paged(QByteArray bands) const;
    // The image at the target size.
    QImage scaled() const;
    // Rows of it painted onto white.
    static QImage flattened(const QImage &image);
    // Header and band framing with every dot clear.
    QByteArray emptyBands() const;
    // After row y: each column's dots of the rows since the last stored byte, shifted in one a row
    // with 1 for a dot, go into the bands made by emptyBands() once the byte is complete or the image ends.
    void storeDots(const quint16 *dots, int y, QByteArray &bands) const;

    QImage m_image;
    int m_width = 0;
    int m_height = 0;
    int m_printMode = 0;
    bool m_highDensity = false;
    bool m_compatibilityMode = false;
};
