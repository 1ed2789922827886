#include "qrsymbol.h"

#include <qrencode.h>

#include <memory>

QrSymbol QrSymbol::encode(const QByteArray &data, Level level, int minimumVersion)
{
    QrSymbol symbol;
    if (data.isEmpty())
        return symbol;
    static const QRecLevel levels[] = { QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H };
    const QRecLevel qrLevel = levels[level];
    // The string form mixes numeric, alphanumeric and byte segments like a printer's QR engine
    // does, but stops at a NUL; data holding one is encoded as bytes throughout.
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(data.contains('\0')
            ? QRcode_encodeData(data.size(), reinterpret_cast<const unsigned char *>(data.constData()),
                minimumVersion, qrLevel)
            : QRcode_encodeString(data.constData(), minimumVersion, qrLevel, QR_MODE_8, 1),
        &QRcode_free);
    if (!code)
        return symbol;
    symbol.m_size = code->width;
    symbol.m_modules.resize(code->width * code->width);
    for (int i = 0; i < symbol.m_modules.size(); ++i)
        symbol.m_modules[i] = char(code->data[i] & 1);
    return symbol;
}

QImage QrSymbol::image(int moduleWidth, int moduleHeight) const
{
    const int side = m_size + 2 * quietZone;
    QImage out(side * moduleWidth, side * moduleHeight, QImage::Format_Grayscale8);
    out.fill(255);
    for (int y = 0; y < m_size; ++y) {
        for (int row = 0; row < moduleHeight; ++row) {
            uchar *line = out.scanLine((y + quietZone) * moduleHeight + row) + quietZone * moduleWidth;
            for (int x = 0; x < m_size; ++x) {
                if (dark(x, y))
                    memset(line + x * moduleWidth, 0, size_t(moduleWidth));
            }
        }
    }
    return out;
}
