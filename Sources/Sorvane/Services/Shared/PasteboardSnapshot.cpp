#include "Services/Shared/PasteboardSnapshot.h"

namespace sorvane {

PasteboardSnapshot PasteboardSnapshot::capture(SystemClipboard &clipboard)
{
    return PasteboardSnapshot{clipboard.items()};
}

void PasteboardSnapshot::restore(SystemClipboard &clipboard) const
{
    clipboard.clear();
    if (!items.isEmpty())
        clipboard.write(items);
}

} // namespace sorvane
