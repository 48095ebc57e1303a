#pragma once

#include "Platform/SoundPlayer.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <memory>

class QSoundEffect;

namespace sorvane {

// The completion sounds through Qt Multimedia (QSoundEffect on the desktop's audio
// output). The three sounds are loaded once, at construction, from
// share/sorvane/sounds/ or the compiled-in resources.
class QtSoundPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    // `bell` sounds the desktop's bell (the program passes QApplication::beep).
    explicit QtSoundPlayer(std::function<void()> bell, QObject *parent = nullptr);
    ~QtSoundPlayer() override;

    bool play(CompletionSound sound, double volume) override;
    void stop() override;
    bool isPlaying() const override;
    void beep() override;

    // The effect of a sound, for tests that watch it play.
    QSoundEffect *effect(CompletionSound sound) const;

private:
    std::function<void()> m_bell;
    QHash<int, QSoundEffect *> m_effects;
    QSoundEffect *m_current = nullptr;
};

} // namespace sorvane
