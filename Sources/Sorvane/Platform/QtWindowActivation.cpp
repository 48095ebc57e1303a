#include "Platform/QtWindowActivation.h"

#include <QGuiApplication>
#include <QWindow>

namespace sorvane {

namespace {

bool isPanel(const QWindow *window)
{
    switch (window->type()) {
    case Qt::Window:
    case Qt::Dialog:
        return false;
    default:
        return true;
    }
}

} // namespace

// An X11 program has no activation of its own apart from its windows': raising the
// main window asks the window manager to activate it (_NET_ACTIVE_WINDOW).
void QtWindowActivation::activateApplication() {}

bool QtWindowActivation::raiseMainWindow()
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (isPanel(window) || window->transientParent())
            continue;
        if (window->windowStates() & Qt::WindowMinimized)
            window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->requestActivate();
        return true;
    }
    return false;
}

} // namespace sorvane
