#pragma once

#include <QColor>
#include <QList>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// A row of capsule bars, centred vertically, each as high as `heights` says. It only
// draws: the heights come from OverlayPresentation through the view model.
class WaveformBars : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<qreal> heights READ heights WRITE setHeights NOTIFY heightsChanged)
    Q_PROPERTY(qreal barWidth READ barWidth WRITE setBarWidth NOTIFY geometryChanged)
    Q_PROPERTY(qreal spacing READ spacing WRITE setSpacing NOTIFY geometryChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    // How often the bars were painted (benchmarks and tests read it).
    Q_PROPERTY(int paintCount READ paintCount NOTIFY painted)

public:
    explicit WaveformBars(QQuickItem *parent = nullptr);

    const QList<qreal> &heights() const { return m_heights; }
    void setHeights(const QList<qreal> &heights);
    qreal barWidth() const { return m_barWidth; }
    void setBarWidth(qreal width);
    qreal spacing() const { return m_spacing; }
    void setSpacing(qreal spacing);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    int paintCount() const { return m_paintCount; }

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void heightsChanged();
    void geometryChanged();
    void colorChanged();
    void painted();

private:
    void updateImplicitWidth();

    QList<qreal> m_heights;
    qreal m_barWidth = 2;
    qreal m_spacing = 2.6;
    QColor m_color = Qt::white;
    int m_paintCount = 0;
};

// A small indeterminate spinner: a three-quarter ring turned by `turn` (0 to 1).
class Spinner : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal turn READ turn WRITE setTurn NOTIFY turnChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(qreal lineWidth READ lineWidth WRITE setLineWidth NOTIFY colorChanged)

public:
    explicit Spinner(QQuickItem *parent = nullptr);

    qreal turn() const { return m_turn; }
    void setTurn(qreal turn);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal lineWidth() const { return m_lineWidth; }
    void setLineWidth(qreal width);

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void turnChanged();
    void colorChanged();

private:
    qreal m_turn = 0;
    QColor m_color = Qt::white;
    qreal m_lineWidth = 1.6;
};

} // namespace sorvane
