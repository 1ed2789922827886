#pragma once

#include <QByteArray>
#include <QImage>

// A model 2 QR code as libqrencode lays it out: the smallest version, from minimumVersion on, that
// holds the data at the error correction level, size × size modules.
class QrSymbol
{
public:
    enum Level { L, M, Q, H };

    // A null symbol when the data does not fit in any version at that level.
    static QrSymbol encode(const QByteArray &data, Level level, int minimumVersion = 0);

    bool isNull() const { return m_size == 0; }
    int size() const { return m_size; }
    int version() const { return (m_size - 17) / 4; }
    bool dark(int x, int y) const { return m_modules.at(y * m_size + x) != 0; }

    // Black on white, each module moduleWidth × moduleHeight pixels, with the quiet zone of four
    // modules around it that decoders need.
    QImage image(int moduleWidth, int moduleHeight) const;

    static constexpr int quietZone = 4;

private:
    int m_size = 0;
    QByteArray m_modules;
};
