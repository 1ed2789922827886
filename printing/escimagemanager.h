#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

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
    // RGBA bytes of every pixel of an RGB16 image, row by row.
    static QByteArray rgbaBytes(QImage image);
    // The bands framed for page mode.
    QByteArray paged(QByteArray bands) const;
    // The image at the target size.
    QImage scaled() const;
    // Rows of it painted onto white.
    static QImage flattened(const QImage &image);
    // Header and band framing with every dot clear.
    QByteArray emptyBands(const QByteArray &header, const QByteArray &trailer) const;
    QByteArray packBands(QByteArray data, bool compatibilityMode) const;
    // The two loops every path goes through. Rows y0 .. y0 + rows - 1 of the image, held as RGBA
    // from px on; the dithering errors carry over to the next rows in current and next (empty
    // before the first row), the dots go into the bands that start at dots.
    void ditherRows(
        uchar *px, int y0, int rows, std::vector<qint32> &current, std::vector<qint32> &next) const;
    void packRows(const char *px, int y0, int rows, char *dots, int trailerSize) const;

    QImage m_image;
    int m_width = 0;
    int m_height = 0;
    int m_printMode = 0;
    bool m_highDensity = false;
    bool m_compatibilityMode = false;
};
