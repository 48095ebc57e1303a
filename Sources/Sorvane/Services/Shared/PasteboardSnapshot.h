#pragma once

#include "Platform/SystemClipboard.h"

namespace sorvane {

// A full copy of the clipboard, to put it back later.
struct PasteboardSnapshot {
    // One entry per clipboard item: every format with its bytes. Formats without
    // data are left out; an item with none left is an empty map.
    QList<ClipboardItem> items;

    friend bool operator==(const PasteboardSnapshot &, const PasteboardSnapshot &) = default;

    static PasteboardSnapshot capture(SystemClipboard &clipboard);
    // Clears the clipboard, then writes the items back when there are any; an empty
    // snapshot leaves the clipboard cleared (its change count still moves).
    void restore(SystemClipboard &clipboard) const;
};

} // namespace sorvane
