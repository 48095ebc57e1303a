#pragma once

#include <QFont>
#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The fonts every screen is drawn with: Inter for text, DejaVu Sans Mono for monospaced
// labels and the Material Design icon font for symbols, all from Debian (fonts-inter,
// fonts-dejavu-core, fonts-materialdesignicons-webfont).
// They are loaded from their files at start rather than looked up by name, so that
// every machine draws the same whatever else its font configuration holds.
//
// Sizes are logical pixels: one point of the designs is one logical pixel. Qt's pixel
// sizes are whole numbers, so half sizes (12.5, 9.5) go through font(): it is the one
// place that turns a length into a font size.
class Fonts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString textFamily READ textFamily CONSTANT)
    Q_PROPERTY(QString symbolFamily READ symbolFamily CONSTANT)
    Q_PROPERTY(bool loaded READ isLoaded CONSTANT)

public:
    using QObject::QObject;

    // Adds the font files to the application's font database (once); true when both
    // the text font and the symbol font were found.
    static bool load();
    static bool isLoaded();
    // The files that were added, for diagnostics.
    static QStringList loadedFiles();
    // Folders searched, first match wins: $SORVANE_FONT_DIR, share/sorvane/fonts of the
    // install, then Debian's font folders.
    static QStringList searchFolders();

    static QString textFamily();
    static QString monospacedFamily();
    static QString symbolFamily();

    // The text font at `pixels` logical pixels (fractions kept) and the given weight
    // (QFont::Weight, the same numbers as QML's Font.Medium, Font.DemiBold, ...).
    Q_INVOKABLE static QFont font(qreal pixels, int weight = QFont::Normal);
    // The monospaced font (labels tracked in capitals, timers where tabular digits matter).
    Q_INVOKABLE static QFont monospaced(qreal pixels, int weight = QFont::Normal);
    // The symbol font at `pixels`.
    Q_INVOKABLE static QFont symbol(qreal pixels);
    // The point size that Qt draws at `pixels` logical pixels.
    static qreal pointSizeForPixels(qreal pixels);
    // The same for QML (minimumPointSize of a text that shrinks to fit).
    Q_INVOKABLE static qreal pointSizeFor(qreal pixels) { return pointSizeForPixels(pixels); }
};

} // namespace sorvane
