#include "Platform/DBus/FocusSearch.h"

namespace sorvane {

std::optional<AccessibleElement> searchFocusedElement(const AccessibleElement &window,
                                                      const AccessibleTreeReader &tree, FocusSearchLimit &limit)
{
    using namespace atspistate;
    QList<AccessibleElement> pending{window};
    while (!pending.isEmpty()) {
        if (!limit.allowsAnother())
            return std::nullopt;
        const AccessibleElement element = pending.takeLast();
        const auto bits = tree.states(element);
        if (!bits)
            continue;
        if (has(*bits, defunct))
            continue;
        if (has(*bits, focused))
            return element;
        if (element != window && !has(*bits, showing))
            continue; // focus does not hide in what is not on screen
        if (has(*bits, managesDescendants))
            continue; // a huge list or table; its rows are made on demand
        const auto list = tree.children(element);
        if (!list)
            continue;
        for (auto it = list->crbegin(); it != list->crend(); ++it)
            pending.append(*it);
    }
    return std::nullopt;
}

} // namespace sorvane
