#pragma once

#include "Platform/Keystrokes.h"

#include <chrono>
#include <memory>

namespace sorvane {

class X11Connection;

// Synthetic keystrokes through the XTest extension.
class XTestKeystrokeSender final : public KeystrokeSender {
public:
    explicit XTestKeystrokeSender(std::shared_ptr<X11Connection> connection);

    bool isAvailable() override;
    QCoro::Task<bool> send(KeyChord chord) override;

    // How long the user may keep holding keys before a keystroke is given up.
    static constexpr std::chrono::milliseconds keyReleaseWait{1000};

private:
    std::shared_ptr<X11Connection> m_x;
};

} // namespace sorvane
