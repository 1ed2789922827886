#include "escposcommand.h"

#include <climits>
#include <string_view>

namespace {

bool among(uchar c, std::string_view set)
{
    return set.find(char(c)) != std::string_view::npos;
}

// Bytes after ESC x for the commands with fixed arguments; any other takes one.
int escArguments(uchar command)
{
    if (among(command, "@<LS\x0Cim2"))
        return 0;
    if (among(command, "$\\c"))
        return 2;
    return command == 'p' ? 3 : command == 'W' ? 8 : 1;
}

// Bytes after GS x for the commands with fixed arguments; any other takes one.
int gsArguments(uchar command)
{
    if (command == ':')
        return 0;
    return among(command, "$LPW\\^") ? 2 : 1;
}

int bounded(qint64 length)
{
    return int(length > INT_MAX / 2 ? INT_MAX / 2 : length);
}

} // namespace

int EscPosCommand::length(const QByteArray &bytes, int pos, Kind *kind)
{
    Kind dummy;
    Kind &k = kind ? *kind : dummy;
    k = Print;
    const int available = bytes.size() - pos;
    if (available <= 0)
        return 0;
    const auto at = [&](int i) { return uchar(bytes.at(pos + i)); };
    const auto need = [&](qint64 n) { return available >= n ? int(n) : 0; };
    const uchar c = at(0);

    if (c == 0x10) {
        k = RealTime;
        if (!need(2))
            return 0;
        // DLE DC4 fn a b; DLE EOT n and DLE ENQ n.
        return at(1) == 0x14 ? need(5) : need(3);
    }
    if (c == 0x1B) {
        if (!need(2))
            return 0;
        const uchar command = at(1);
        if (command == '*') {
            if (!need(5))
                return 0;
            const qint64 columns = at(3) | at(4) << 8;
            return need(bounded(5 + columns * (at(2) & 32 ? 3 : 1)));
        }
        return need(2 + escArguments(command));
    }
    if (c == 0x1D) {
        if (!need(2))
            return 0;
        const uchar command = at(1);
        if (command == 'a' || command == 'r')
            k = Status;
        if (command == 'v') {
            if (!need(8))
                return 0;
            return need(bounded(8 + qint64(at(4) | at(5) << 8) * (at(6) | at(7) << 8)));
        }
        if (command == '*') {
            if (!need(4))
                return 0;
            return need(bounded(4 + qint64(at(2)) * at(3) * 8));
        }
        if (command == '(' || command == 'D') {
            if (!need(5))
                return 0;
            return need(5 + (at(3) | at(4) << 8));
        }
        if (command == '8') {
            // GS 8 L p1 p2 p3 p4: a four-byte length.
            if (!need(7))
                return 0;
            return need(bounded(
                7 + (qint64(at(3)) | qint64(at(4)) << 8 | qint64(at(5)) << 16 | qint64(at(6)) << 24)));
        }
        if (command == 'V') {
            if (!need(3))
                return 0;
            return among(at(2), "ABabgh") ? need(4) : 3;
        }
        if (command == 'k') {
            if (!need(3))
                return 0;
            if (at(2) <= 6) {
                const int end = bytes.indexOf('\0', pos + 3);
                return end < 0 ? 0 : end - pos + 1;
            }
            if (!need(4))
                return 0;
            return need(4 + at(3));
        }
        return need(2 + gsArguments(command));
    }
    if (c == 0x1C) {
        if (!need(2))
            return 0;
        const uchar command = at(1);
        if (command == '(') {
            if (!need(5))
                return 0;
            return need(5 + (at(3) | at(4) << 8));
        }
        // FS & and FS . (kanji on and off) take nothing, FS ! and FS C one byte, FS p two.
        if (command == '&' || command == '.')
            return 2;
        if (command == 'p')
            return need(4);
        return need(3);
    }
    return 1;
}
