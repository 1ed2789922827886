#pragma once

#include <QByteArray>

// Where ESC/POS commands begin and end in a stream of bytes, without interpreting them: a status
// request may go between two commands, never into the data of one (some printers take a DLE EOT
// inside an image's bytes as a request and lose it from the image).
class EscPosCommand
{
public:
    enum Kind {
        // Text, a line feed, or a command that prints or sets something.
        Print,
        // DLE EOT, DLE ENQ, DLE DC4: taken at once when received.
        RealTime,
        // GS a or GS r: a status command taken in order.
        Status,
    };

    // The length of the command (or run of one text byte) starting at pos, or 0 when the bytes
    // end before it does. Unknown commands count as their introducer and one byte.
    static int length(const QByteArray &bytes, int pos, Kind *kind = nullptr);
};
