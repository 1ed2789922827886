// Arbitrary bytes as a printer's input for the preview: the first byte chooses the paper width,
// the second where the bytes are split into two deliveries, the rest is ESC/POS. The paper must
// come out as wide as asked and no taller than the interpreter's bound, whatever the commands say.
#include "escinterpreter.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

} // namespace

// Fontconfig keeps allocations of its own set-up until exit, out of reach of the leak checker.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: the font database outlives every test input.
    new QGuiApplication(*argc, *argv);
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const int widths[] = { 576, 384, 512, 8, 0, 5000 };
    const int dotWidth = widths[data[0] % 6];
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 2), int(size - 2));
    const int split = input.isEmpty() ? 0 : data[1] % input.size();

    ESCInterpreter interpreter(dotWidth);
    interpreter.feed(input.left(split));
    interpreter.feed(input.mid(split));
    const QImage paper = interpreter.paper();
    const int expectedWidth
        = (dotWidth >= 1 && dotWidth <= 4096 ? dotWidth : 576) + 2 * ESCInterpreter::margin;
    if (paper.width() != expectedWidth || qint64(paper.width()) * paper.height() > 48ll * 1024 * 1024)
        abort();
    return 0;
}
