#pragma once

#include "Platform/Accessibility.h"

#include <QDeadlineTimer>
#include <QList>
#include <chrono>
#include <functional>
#include <optional>

namespace sorvane {

// AT-SPI state bits.
namespace atspistate {
inline constexpr int active = 1;
inline constexpr int defunct = 6;
inline constexpr int focused = 12;
inline constexpr int showing = 25;
inline constexpr int managesDescendants = 31;
inline bool has(quint64 states, int bit) { return (states >> bit) & 1; }
} // namespace atspistate

// The limits of one search for the focused element, shared by every window it looks
// into: it gives up after a time or a number of elements, whichever comes first.
class FocusSearchLimit {
public:
    FocusSearchLimit(std::chrono::milliseconds time, int elements) : m_deadline(time), m_elements(elements) {}

    // Counts one more element; false once the search must stop.
    bool allowsAnother() { return --m_elements >= 0 && !m_deadline.hasExpired(); }
    bool isExhausted() const { return m_elements < 0 || m_deadline.hasExpired(); }

private:
    QDeadlineTimer m_deadline;
    int m_elements;
};

// How the search reads the tree: an element's states and children, absent when the
// element does not answer.
struct AccessibleTreeReader {
    std::function<std::optional<quint64>(const AccessibleElement &)> states;
    std::function<std::optional<QList<AccessibleElement>>(const AccessibleElement &)> children;
};

// The focused element below `window` (the window itself included), depth first in
// the order of the children. Defunct elements, what is not showing, and the rows of
// lists that make them on demand are not entered.
std::optional<AccessibleElement> searchFocusedElement(const AccessibleElement &window,
                                                      const AccessibleTreeReader &tree, FocusSearchLimit &limit);

} // namespace sorvane
