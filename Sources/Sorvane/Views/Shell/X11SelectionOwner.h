#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

namespace sorvane {

// Follows who owns one X selection of the default screen (a manager selection such as
// "_NET_WM_CM_S0" of the compositor or "_NET_SYSTEM_TRAY_S0" of the tray), through
// XFixes' selection events on the toolkit's own connection. Without X11 it never has
// an owner and never changes.
class X11SelectionOwner : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // `prefix` gets the default screen's number appended ("_NET_WM_CM_S" → "_NET_WM_CM_S0").
    explicit X11SelectionOwner(const QByteArray &prefix, QObject *parent = nullptr);
    ~X11SelectionOwner() override;

    bool hasOwner() const { return m_owned; }
    QByteArray selection() const { return m_selection; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void ownerChanged(bool owned);

private:
    bool readOwner() const;

    QByteArray m_selection;
    unsigned long m_atom = 0;
    int m_eventBase = -1;
    bool m_owned = false;
};

} // namespace sorvane
