#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The desktop's light or dark preference for QML (the overlay preview's "Automatic"),
// from the program's one colour-scheme reader.
class DesktopAppearance : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool dark READ isDark NOTIFY changed)
public:
    explicit DesktopAppearance(QObject *parent = nullptr);
    bool isDark() const;
Q_SIGNALS:
    void changed();
};

} // namespace sorvane
