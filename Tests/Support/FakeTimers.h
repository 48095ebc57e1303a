#pragma once

#include "Platform/Timers.h"

#include <QList>
#include <algorithm>
#include <memory>

namespace sorvane::testing {

// Time that moves only when the test says so. advance() runs every action that falls
// due, in order of due time (then of scheduling), with now() at its due time; actions
// scheduled while advancing run too when they fall due within the step.
class FakeTimers final : public Timers {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }

    std::unique_ptr<TimerHandle> start(std::chrono::milliseconds delay, std::function<void()> action) override
    {
        auto entry = std::make_shared<Entry>(Entry{m_now + std::max(delay, std::chrono::milliseconds(0)), m_sequence++,
                                                   std::move(action), true});
        m_entries.append(entry);
        return std::make_unique<Handle>(entry);
    }

    void advance(std::chrono::milliseconds step)
    {
        const auto end = m_now + step;
        while (auto next = nextDue(end)) {
            m_now = std::max(m_now, next->due);
            next->pending = false;
            m_entries.removeOne(next);
            // A copy: the action may drop (and so cancel) the handle that holds it.
            auto action = next->action;
            action();
        }
        m_now = end;
    }

    // Actions still waiting.
    int pendingCount() const
    {
        return int(std::count_if(m_entries.begin(), m_entries.end(), [](const auto &e) { return e->pending; }));
    }

    // Delays of the waiting actions from now, in milliseconds, soonest first.
    QList<qint64> pendingDelays() const
    {
        QList<qint64> delays;
        for (const auto &entry : m_entries)
            if (entry->pending)
                delays.append(std::chrono::duration_cast<std::chrono::milliseconds>(entry->due - m_now).count());
        std::sort(delays.begin(), delays.end());
        return delays;
    }

private:
    struct Entry {
        std::chrono::steady_clock::time_point due;
        quint64 sequence;
        std::function<void()> action;
        bool pending;
    };

    class Handle final : public TimerHandle {
    public:
        explicit Handle(std::weak_ptr<Entry> entry) : m_entry(std::move(entry)) {}
        ~Handle() override
        {
            if (auto entry = m_entry.lock())
                entry->pending = false;
        }
        bool isPending() const override
        {
            const auto entry = m_entry.lock();
            return entry && entry->pending;
        }

    private:
        std::weak_ptr<Entry> m_entry;
    };

    std::shared_ptr<Entry> nextDue(std::chrono::steady_clock::time_point end)
    {
        m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(), [](const auto &e) { return !e->pending; }),
                        m_entries.end());
        std::shared_ptr<Entry> best;
        for (const auto &entry : m_entries)
            if (entry->due <= end && (!best || entry->due < best->due
                                      || (entry->due == best->due && entry->sequence < best->sequence)))
                best = entry;
        return best;
    }

    std::chrono::steady_clock::time_point m_now{std::chrono::hours(1)};
    quint64 m_sequence = 0;
    QList<std::shared_ptr<Entry>> m_entries;
};

} // namespace sorvane::testing
