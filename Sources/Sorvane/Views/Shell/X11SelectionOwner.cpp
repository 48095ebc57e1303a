#include "X11SelectionOwner.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace sorvane {

namespace {

Display *toolkitDisplay()
{
    if (!qGuiApp)
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

// The wire layout of an XFixes selection event as the toolkit hands it over.
struct SelectionNotifyWire {
    quint8 responseType;
    quint8 subtype;
    quint16 sequence;
    quint32 window;
    quint32 owner;
    quint32 selection;
};

} // namespace

X11SelectionOwner::X11SelectionOwner(const QByteArray &prefix, QObject *parent) : QObject(parent)
{
    Display *dpy = toolkitDisplay();
    m_selection = prefix + QByteArray::number(dpy ? DefaultScreen(dpy) : 0);
    if (!dpy)
        return;
    m_atom = XInternAtom(dpy, m_selection.constData(), False);
    int errorBase = 0;
    if (XFixesQueryExtension(dpy, &m_eventBase, &errorBase)) {
        XFixesSelectSelectionInput(dpy, DefaultRootWindow(dpy), m_atom,
                                   XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask
                                       | XFixesSelectionClientCloseNotifyMask);
        XFlush(dpy);
        qGuiApp->installNativeEventFilter(this);
    } else {
        m_eventBase = -1;
    }
    m_owned = readOwner();
}

X11SelectionOwner::~X11SelectionOwner()
{
    if (m_eventBase >= 0 && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11SelectionOwner::readOwner() const
{
    Display *dpy = toolkitDisplay();
    return dpy && XGetSelectionOwner(dpy, m_atom) != None;
}

bool X11SelectionOwner::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_eventBase < 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const SelectionNotifyWire *>(message);
    if ((event->responseType & 0x7f) != m_eventBase + XFixesSelectionNotify || event->selection != m_atom)
        return false;
    const bool owned = event->subtype == XFixesSetSelectionOwnerNotify && event->owner != None;
    if (owned != m_owned) {
        m_owned = owned;
        Q_EMIT ownerChanged(owned);
    }
    // The toolkit watches selections of its own (the clipboard): let it see this too.
    return false;
}

} // namespace sorvane
