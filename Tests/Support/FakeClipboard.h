#pragma once

#include "Platform/SystemClipboard.h"
#include <QTimer>

namespace sorvane::testing {

// The clipboard in memory: other programs' writes and reads are played by the test.
class FakeClipboard final : public SystemClipboard {
public:
    using SystemClipboard::SystemClipboard;

    qint64 changeCount() const override { return m_changeCount; }
    QList<ClipboardItem> items() override { return m_items; }
    std::optional<QString> text() override
    {
        if (m_items.isEmpty() || !m_items.first().contains(QStringLiteral("text/plain")))
            return std::nullopt;
        return QString::fromUtf8(m_items.first().value(QStringLiteral("text/plain")));
    }
    void clear() override
    {
        m_items.clear();
        m_ours = false;
        changedNow();
    }
    void write(const QList<ClipboardItem> &items) override
    {
        m_items = items.mid(0, 1);
        m_ours = true;
        changedNow();
    }
    void setText(const QString &text) override
    {
        m_items = {ClipboardItem{{QStringLiteral("text/plain"), text.toUtf8()}}};
        m_ours = true;
        changedNow();
        if (managerReadsEveryWrite)
            QTimer::singleShot(10, this, [this] { fetchByOtherProgram(); });
    }
    qint64 fetchCount() const override { return m_fetchCount; }

    // Another program puts data on the clipboard.
    void writeByOtherProgram(const QList<ClipboardItem> &items)
    {
        m_items = items;
        m_ours = false;
        changedNow();
    }
    // Another program reads the plain text (counted as a fetch while it is ours).
    std::optional<QString> fetchByOtherProgram()
    {
        const auto value = text();
        if (m_ours) {
            ++m_fetchCount;
            QTimer::singleShot(0, this, [this] { Q_EMIT fetched(); });
        }
        return value;
    }

    // A clipboard manager that reads whatever we put on the clipboard as soon as it
    // hears of the change.
    bool managerReadsEveryWrite = false;

private:
    void changedNow()
    {
        ++m_changeCount;
        Q_EMIT changed();
    }
    QList<ClipboardItem> m_items;
    qint64 m_changeCount = 0;
    qint64 m_fetchCount = 0;
    bool m_ours = false;
};

} // namespace sorvane::testing
