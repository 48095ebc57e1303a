#pragma once

#include "Platform/Keystrokes.h"
#include <QCoroTask>
#include <QList>
#include <functional>

namespace sorvane::testing {

// Records the chords sent; `onSend` plays the application that receives them.
class FakeKeystrokes final : public KeystrokeSender {
public:
    bool isAvailable() override { return true; }
    QCoro::Task<bool> send(KeyChord chord) override
    {
        sent.append(chord);
        if (!delivers)
            co_return false;
        if (onSend)
            onSend(chord);
        co_return true;
    }

    bool delivers = true;
    std::function<void(const KeyChord &)> onSend;
    QList<KeyChord> sent;
};

} // namespace sorvane::testing
