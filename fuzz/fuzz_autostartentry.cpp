// Feeds arbitrary bytes to the reader of the autostart entry, which a person may have edited.
#include "loginitem.h"

#include <QByteArray>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray entry(reinterpret_cast<const char *>(data), int(size));
    const QString executable = LoginItem::autostartExecutable(entry);
    // Only an entry this program would write for that very executable names one.
    if (!executable.isEmpty() && LoginItem::autostartEntry(executable) != entry)
        std::abort();
    return 0;
}
