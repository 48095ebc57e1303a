#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace sorvane {

// An application's desktop file, reduced to what names a window's application.
struct DesktopEntry {
    QString id;             // "org.gnome.gedit" for org.gnome.gedit.desktop
    QString name;           // Name, in the user's language where the file has it
    QString startupWmClass; // StartupWMClass, may be empty
    friend bool operator==(const DesktopEntry &, const DesktopEntry &) = default;
};

// What a window says about its application.
struct WindowNameHints {
    QString desktopId;     // from _GTK_APPLICATION_ID, _KDE_NET_WM_DESKTOP_FILE or _BAMF_DESKTOP_FILE
    QString windowClass;   // WM_CLASS class ("Gedit")
    QString windowInstance; // WM_CLASS instance ("gedit")
};

// The application's name for people: the Name of the desktop file that the window
// names or whose StartupWMClass or file name matches its class; else the window
// class itself; else the empty text.
QString applicationName(const QList<DesktopEntry> &entries, const WindowNameHints &hints);

// Reads one desktop file's text. Absent (an empty id) when it is not a visible
// application entry. `locale` is like "de_DE".
DesktopEntry parseDesktopEntry(const QString &id, const QByteArray &contents, const QString &locale);

// Every application desktop file in the XDG data folders; earlier folders win.
QList<DesktopEntry> loadDesktopEntries(const QStringList &applicationFolders, const QString &locale);

} // namespace sorvane
