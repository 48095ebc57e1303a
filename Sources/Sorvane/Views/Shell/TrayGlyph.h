#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QDBusVariant>
#include <QObject>

namespace sorvane {

// The tray item's glyph: one colour, a disc with five bars of a sound wave cut out of
// it, painted in the ink that suits the panel (dark ink on a light panel, light ink on
// a dark one). A shipped "SorvaneMenuBarTemplate.png" takes its place: its shape is
// kept and painted in the same ink.
class TrayGlyph {
public:
    static QImage glyph(int size, const QColor &ink);
    static QIcon icon(const QColor &ink);
    // The ink for a colour scheme of the desktop's appearance setting
    // (0 no preference, 1 dark, 2 light); with no preference, the palette's text colour.
    static QColor inkFor(int colorScheme, const QColor &paletteText);
};

// Follows the desktop's light or dark appearance (the shared DesktopColorScheme) and the
// palette, and says when the glyph's ink changes.
class TrayAppearance : public QObject {
    Q_OBJECT
public:
    explicit TrayAppearance(QObject *parent = nullptr);
    QColor ink() const;

Q_SIGNALS:
    void inkChanged();
};

} // namespace sorvane
