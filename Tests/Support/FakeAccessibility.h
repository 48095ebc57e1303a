#pragma once

#include "Platform/Accessibility.h"
#include <QList>

namespace sorvane::testing {

// The target's text field.
struct FakeTextField {
    QString value;
    TextRange selection;

    QString selectedText() const { return value.mid(selection.location, selection.length); }
    void replaceSelection(const QString &text)
    {
        value.replace(selection.location, selection.length, text);
        selection = TextRange{selection.location + text.size(), 0};
    }
};

// The accessibility layer with one focused element: a text field.
class FakeAccessibility final : public Accessibility {
public:
    FakeAccessibility() = default;
    explicit FakeAccessibility(FakeTextField &field) : m_field(&field) {}
    // Reads and selects in another field from now on.
    void useField(FakeTextField &field) { m_field = &field; }

    bool isTrusted() override { return trusted; }
    bool requestTrust() override { return trusted = grantsTrust; }
    std::optional<AccessibleElement> focusedElement(qint64) override { return focused; }
    std::optional<qint64> processId(const AccessibleElement &) override { return elementProcess; }
    std::optional<TextRange> selectedRange(const AccessibleElement &) override
    {
        if (!hasText)
            return std::nullopt;
        return m_field->selection;
    }
    std::optional<QString> selectedText(const AccessibleElement &) override
    {
        if (reportedSelectedText)
            return reportedSelectedText;
        if (!hasText)
            return std::nullopt;
        return m_field->selectedText();
    }
    std::optional<QString> value(const AccessibleElement &) override
    {
        if (!hasText)
            return std::nullopt;
        return m_field->value;
    }
    bool setSelectedRange(const AccessibleElement &, TextRange range) override
    {
        selectionRequests.append(range);
        if (!selectionSettable)
            return false;
        m_field->selection = range;
        return true;
    }

    bool trusted = true;
    bool grantsTrust = true;
    std::optional<AccessibleElement> focused = AccessibleElement{QStringLiteral(":1.5"), QStringLiteral("/field")};
    std::optional<qint64> elementProcess = 100;
    bool hasText = true;
    // What the element says is selected, when it says something else than the field
    // (some applications report the empty text for a selection they have).
    std::optional<QString> reportedSelectedText;
    bool selectionSettable = true;
    QList<TextRange> selectionRequests;

private:
    FakeTextField m_ownField;
    FakeTextField *m_field = &m_ownField;
};

} // namespace sorvane::testing
