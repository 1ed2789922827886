// Arbitrary bytes as a printer's input for the preview: the first byte chooses the paper width,
// the second where the bytes are split into two deliveries, the third the paper's bounds and the
// budget, the rest is ESC/POS. The paper must come out as wide as asked and within its bounds,
// whatever the commands say, and no input may take longer than the budget allows.
#include "escinterpreter.h"
#include "workbudget.h"

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
    if (size < 3)
        return 0;
    static const int widths[] = { 576, 384, 512, 8, 0, 5000 };
    const int dotWidth = widths[data[0] % 6];
    // Small bounds as often as the preview's own; the budget is spent from the start, when the
    // caller has left, or a second of time.
    static const int heights[] = { ESCInterpreter::defaultMaxHeight, 1, 300 };
    static const qint64 memories[] = { ESCInterpreter::defaultMaxBytes, 50000, 1000000 };
    const int maxHeight = heights[data[2] % 3];
    const qint64 maxBytes = memories[data[2] / 3 % 3];
    const int budgetKind = data[2] / 9 % 3;
    WorkBudget budget(budgetKind == 0 ? 0 : 1000, [budgetKind] { return budgetKind == 1; });
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data + 3), int(size - 3));
    const int split = input.isEmpty() ? 0 : data[1] % input.size();

    ESCInterpreter interpreter(dotWidth, maxHeight, maxBytes);
    interpreter.setBudget(&budget);
    interpreter.feed(input.left(split));
    interpreter.feed(input.mid(split));
    const QImage paper = interpreter.paper();
    const int expectedWidth = (dotWidth >= 1 && dotWidth <= ESCInterpreter::maxDotWidth ? dotWidth : 576)
        + 2 * ESCInterpreter::margin;
    if (paper.width() != expectedWidth || paper.height() > maxHeight
        || 2 * qint64(paper.width()) * paper.height() > maxBytes)
        abort();
    if (interpreter.stopped() != (budget.end() != WorkBudget::End::None))
        abort();
    return 0;
}
