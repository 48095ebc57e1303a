#pragma once

#include "Platform/SettingsStore.h"

namespace sorvane::testing {

// Settings held in memory, for tests.
class MemorySettingsStore final : public SettingsStore {
public:
    std::optional<SettingValue> value(const QString &key) const override
    {
        const auto it = values.constFind(key);
        return it == values.constEnd() ? std::nullopt : std::optional<SettingValue>(*it);
    }
    void setValue(const QString &key, const SettingValue &value) override
    {
        values.insert(key, value);
        ++writes;
    }
    void remove(const QString &key) override
    {
        values.remove(key);
        ++writes;
    }
    QStringList keys() const override { return values.keys(); }

    QMap<QString, SettingValue> values;
    int writes = 0;
};

} // namespace sorvane::testing
