#pragma once

#include <QString>
#include <optional>

namespace sorvane {

// A text range counted in UTF-16 code units of an element's value.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;
    friend bool operator==(const TextRange &, const TextRange &) = default;
};

// One element of another application's user interface, as the accessibility
// service names it (on Linux: the AT-SPI bus name and object path).
struct AccessibleElement {
    QString service;
    QString path;
    friend bool operator==(const AccessibleElement &, const AccessibleElement &) = default;
};

// What the capture services ask of the system's accessibility layer. Every call is
// synchronous, made on the main thread, and bounded in time.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether we may read other applications' elements and send them keystrokes.
    virtual bool isTrusted() = 0;
    // The "Allow" action: switches the system's accessibility on where that is ours
    // to do, then answers isTrusted() again.
    virtual bool requestTrust() = 0;

    // The element with keyboard focus. The application with the given process id
    // (the one in front) is searched first.
    virtual std::optional<AccessibleElement> focusedElement(qint64 frontmostProcessId) = 0;
    virtual std::optional<qint64> processId(const AccessibleElement &element) = 0;

    // The selection, or the caret as an empty range; absent when the element has no text.
    virtual std::optional<TextRange> selectedRange(const AccessibleElement &element) = 0;
    virtual std::optional<QString> selectedText(const AccessibleElement &element) = 0;
    // The element's whole text; absent when it has none.
    virtual std::optional<QString> value(const AccessibleElement &element) = 0;
    virtual bool setSelectedRange(const AccessibleElement &element, TextRange range) = 0;
};

} // namespace sorvane
