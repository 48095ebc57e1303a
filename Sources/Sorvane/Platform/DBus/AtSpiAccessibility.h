#pragma once

#include "Platform/Accessibility.h"
#include "Platform/TextOffsets.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QVariantList>
#include <functional>

namespace sorvane {

// Accessibility through AT-SPI, the desktop's accessibility bus, over QtDBus.
// Trusted means the bus is switched on (org.a11y.Status.IsEnabled) and synthetic
// keystrokes can be sent. Calls are synchronous and each is bounded by a short
// time-out, so a hung application costs a moment, not the program.
class AtSpiAccessibility final : public Accessibility {
public:
    explicit AtSpiAccessibility(std::function<bool()> keystrokesAvailable);
    ~AtSpiAccessibility() override;

    bool isTrusted() override;
    bool requestTrust() override;
    std::optional<AccessibleElement> focusedElement(qint64 frontmostProcessId) override;
    std::optional<qint64> processId(const AccessibleElement &element) override;
    std::optional<TextRange> selectedRange(const AccessibleElement &element) override;
    std::optional<QString> selectedText(const AccessibleElement &element) override;
    std::optional<QString> value(const AccessibleElement &element) override;
    bool setSelectedRange(const AccessibleElement &element, TextRange range) override;

private:
    struct NativeSelection {
        qint64 start = 0;
        qint64 end = 0;
        int count = 0; // selections the element holds; 0 = a caret only
    };

    bool isEnabled();
    std::optional<QDBusConnection> bus();
    std::optional<QDBusMessage> call(const AccessibleElement &element, const QString &interface, const QString &method,
                                     const QVariantList &arguments = {});
    std::optional<QVariant> property(const AccessibleElement &element, const QString &interface, const QString &name);
    std::optional<QList<AccessibleElement>> children(const AccessibleElement &element);
    std::optional<quint64> states(const AccessibleElement &element);
    std::optional<NativeSelection> nativeSelection(const AccessibleElement &element);
    // The element's whole text and the unit its offsets are counted in.
    std::optional<std::pair<QString, TextOffsetUnit>> textAndUnit(const AccessibleElement &element);
    QString toolkitOf(const QString &service);

    std::function<bool()> m_keystrokesAvailable;
    QString m_connectionName;
    QHash<QString, QString> m_toolkits;
};

} // namespace sorvane
