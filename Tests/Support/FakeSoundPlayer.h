#pragma once

#include "Platform/SoundPlayer.h"

#include <QStringList>

namespace sorvane::testing {

// Logs "play Glass 0.55", "stop" and "beep"; a sound plays until stopped or until the
// test calls finish(). Sounds named in `missing` cannot be loaded.
class FakeSoundPlayer final : public SoundPlayer {
public:
    QStringList calls;
    QStringList missing;

    bool play(CompletionSound sound, double volume) override
    {
        const QString name = QString::fromLatin1(soundName(sound));
        if (missing.contains(name)) {
            calls.append(QStringLiteral("missing ") + name);
            return false;
        }
        calls.append(QStringLiteral("play %1 %2").arg(name).arg(volume));
        m_playing = true;
        return true;
    }
    void stop() override
    {
        calls.append(QStringLiteral("stop"));
        m_playing = false;
    }
    bool isPlaying() const override { return m_playing; }
    void beep() override { calls.append(QStringLiteral("beep")); }

    void finish() { m_playing = false; }

private:
    bool m_playing = false;
};

} // namespace sorvane::testing
