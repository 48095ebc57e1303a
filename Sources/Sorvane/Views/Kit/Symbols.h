#pragma once

#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The one table from the symbol names screens use ("checkmark", "arrow.up.right",
// "wand.and.stars", ...) to glyphs of the Material Design icon font. SymbolIcon draws
// through it; a name missing here draws a visible placeholder, and a test walks the
// QML files so that every name they use is in the table.
class Symbols : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // The glyph's text, empty for an unknown name.
    Q_INVOKABLE static QString glyph(const QString &name);
    Q_INVOKABLE static bool isKnown(const QString &name);
    static QStringList names();
    // The symbol of a speech model by its id.
    Q_INVOKABLE static QString speechModelSymbol(const QString &modelId);
};

} // namespace sorvane
