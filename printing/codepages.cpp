#include "codepages.h"

#include <array>
#include <memory>

namespace {

constexpr int pageCount = 20;
constexpr int windowsLatin1 = 16;
constexpr int pc858 = 19;

using ChoiceTable = std::array<quint16, 0x10000>;

std::unique_ptr<ChoiceTable> buildChoices(bool alternativeCharset)
{
    auto table = std::make_unique<ChoiceTable>();
    table->fill(0);
    // The candidate pages are 0, 3, 16 normally and 0, 3, 19 with the alternative charset.
    const int skipped = alternativeCharset ? windowsLatin1 : pc858;
    // Visiting pages backwards and characters backwards leaves the first match in place.
    for (int page = pageCount - 1; page >= 0; --page) {
        if (page == skipped)
            continue;
        const QString &chars = CodePages::chars[page];
        for (int k = chars.size() - 1; k >= 0; --k)
            (*table)[chars.at(k).unicode()] = quint16(page << 8 | (k + 1));
    }
    return table;
}

} // namespace

quint16 CodePages::firstChoice(QChar c, bool alternativeCharset)
{
    static const std::unique_ptr<ChoiceTable> normal = buildChoices(false);
    static const std::unique_ptr<ChoiceTable> alternative = buildChoices(true);
    return (alternativeCharset ? *alternative : *normal)[c.unicode()];
}
