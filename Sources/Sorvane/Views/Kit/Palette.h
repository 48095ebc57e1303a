#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The application's named colours, all sRGB with opacity 1, and the few toolkit
// colours that screens use beside them. C++ reads the static functions; QML reads the
// same values through the singleton `Colors` (Colors.sorvane, Colors.sorvaneSignal, ...;
// QtQuick already has a type named Palette). A lighter variant is made where it is used
// (Qt.alpha(Colors.sorvane, 0.2)); the palette has no dark variants.
class Palette : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Colors)
    QML_SINGLETON
    Q_PROPERTY(QColor sorvane READ sorvane CONSTANT)
    Q_PROPERTY(QColor sorvaneSignal READ sorvaneSignal CONSTANT)
    Q_PROPERTY(QColor sorvanePaper READ sorvanePaper CONSTANT)
    Q_PROPERTY(QColor sorvaneBrightPaper READ sorvaneBrightPaper CONSTANT)
    Q_PROPERTY(QColor sorvaneMuted READ sorvaneMuted CONSTANT)
    Q_PROPERTY(QColor sorvaneBody READ sorvaneBody CONSTANT)
    Q_PROPERTY(QColor sorvaneError READ sorvaneError CONSTANT)
    // Toolkit colours of the light scheme the main window is drawn in.
    Q_PROPERTY(QColor primary READ primary CONSTANT)
    Q_PROPERTY(QColor secondary READ secondary CONSTANT)
    Q_PROPERTY(QColor windowBackground READ windowBackground CONSTANT)
    Q_PROPERTY(QColor systemGreen READ systemGreen CONSTANT)
    Q_PROPERTY(QColor systemRed READ systemRed CONSTANT)

public:
    using QObject::QObject;

    // Ink: near-black for text, fills and lines.
    static QColor sorvane() { return rgb(0.04, 0.04, 0.038); }
    // Signal: the accent (window tint, "ready" dot).
    static QColor sorvaneSignal() { return rgb(0.875, 1.0, 0.263); }
    static QColor sorvanePaper() { return rgb(0.949, 0.941, 0.914); }
    static QColor sorvaneBrightPaper() { return rgb(0.984, 0.98, 0.961); }
    static QColor sorvaneMuted() { return rgb(0.408, 0.404, 0.376); }
    static QColor sorvaneBody() { return rgb(0.227, 0.224, 0.204); }
    static QColor sorvaneError() { return rgb(0.76, 0.18, 0.14); }

    static QColor primary() { return QColor::fromRgbF(0, 0, 0, 0.85f); }
    static QColor secondary() { return QColor::fromRgbF(0, 0, 0, 0.5f); }
    static QColor windowBackground() { return rgb(0.925, 0.925, 0.925); }
    static QColor systemGreen() { return rgb(0.204, 0.78, 0.349); }
    static QColor systemRed() { return rgb(1.0, 0.231, 0.188); }

    // A speech model's accent colour by its id (the secondary colour for an unknown id).
    Q_INVOKABLE static QColor speechModelAccent(const QString &modelId);

    // The one builder of every colour above.
    static QColor rgb(double red, double green, double blue)
    {
        return QColor::fromRgbF(float(red), float(green), float(blue), 1.0f);
    }
};

} // namespace sorvane
