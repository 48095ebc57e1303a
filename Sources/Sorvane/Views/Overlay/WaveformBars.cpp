#include "WaveformBars.h"

#include <QPainter>
#include <QPainterPath>

namespace sorvane {

WaveformBars::WaveformBars(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void WaveformBars::setHeights(const QList<qreal> &heights)
{
    if (heights == m_heights)
        return;
    const bool countChanged = heights.size() != m_heights.size();
    m_heights = heights;
    if (countChanged)
        updateImplicitWidth();
    Q_EMIT heightsChanged();
    update();
}

void WaveformBars::setBarWidth(qreal width)
{
    if (qFuzzyCompare(width, m_barWidth))
        return;
    m_barWidth = width;
    updateImplicitWidth();
    Q_EMIT geometryChanged();
    update();
}

void WaveformBars::setSpacing(qreal spacing)
{
    if (qFuzzyCompare(spacing, m_spacing))
        return;
    m_spacing = spacing;
    updateImplicitWidth();
    Q_EMIT geometryChanged();
    update();
}

void WaveformBars::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    Q_EMIT colorChanged();
    update();
}

void WaveformBars::updateImplicitWidth()
{
    const qsizetype n = m_heights.size();
    setImplicitWidth(n > 0 ? n * m_barWidth + (n - 1) * m_spacing : 0);
}

void WaveformBars::paint(QPainter *painter)
{
    ++m_paintCount;
    const qsizetype n = m_heights.size();
    if (n > 0) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(m_color);
        const qreal rowWidth = n * m_barWidth + (n - 1) * m_spacing;
        qreal x = (width() - rowWidth) / 2;
        const qreal middle = height() / 2;
        for (qreal barHeight : m_heights) {
            const qreal h = qBound<qreal>(0, barHeight, height());
            const QRectF bar(x, middle - h / 2, m_barWidth, h);
            const qreal radius = qMin(m_barWidth, h) / 2;
            painter->drawRoundedRect(bar, radius, radius);
            x += m_barWidth + m_spacing;
        }
    }
    Q_EMIT painted();
}

Spinner::Spinner(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void Spinner::setTurn(qreal turn)
{
    if (qFuzzyCompare(turn, m_turn))
        return;
    m_turn = turn;
    Q_EMIT turnChanged();
    update();
}

void Spinner::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    Q_EMIT colorChanged();
    update();
}

void Spinner::setLineWidth(qreal width)
{
    if (qFuzzyCompare(width, m_lineWidth))
        return;
    m_lineWidth = width;
    Q_EMIT colorChanged();
    update();
}

void Spinner::paint(QPainter *painter)
{
    painter->setRenderHint(QPainter::Antialiasing);
    QPen pen(m_color, m_lineWidth);
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    const qreal inset = m_lineWidth / 2 + 0.5;
    const QRectF ring = boundingRect().adjusted(inset, inset, -inset, -inset);
    // Qt counts angles in sixteenths of a degree, anticlockwise from three o'clock.
    const int start = int(-m_turn * 360 * 16) + 90 * 16;
    painter->drawArc(ring, start, -270 * 16);
}

} // namespace sorvane
