#pragma once

namespace sorvane {

// What the application state needs of the floating overlay. The screens side
// implements it with a window (OverlayPanelController); tests use a recording fake.
// The state makes one on first use and keeps it; it never owns the state.
class OverlayPresenter {
public:
    virtual ~OverlayPresenter() = default;
    // Brings the overlay up at its size for the current state, on the preferred
    // screen, at the user's saved place. Never takes keyboard focus.
    virtual void show() = 0;
    // Takes the overlay down at once; delays belong to the state's timed actions.
    virtual void hide() = 0;
    virtual bool isPresented() const = 0;
    // Forgets the user's saved place: the overlay goes back to its default place (also
    // before it was ever shown).
    virtual void resetPosition() = 0;
};

} // namespace sorvane
