#include "ProgramMark.h"

#include "Palette.h"

#include <QPainter>
#include <QPainterPath>

namespace sorvane::ProgramMark {

QImage image(int size)
{
    QImage out(size, size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // The same proportions as BrandMark.qml, on a tile inset like other application icons.
    const qreal inset = size * 8.0 / 128.0;
    const qreal tile = size - 2 * inset;
    painter.setBrush(Palette::sorvane());
    painter.drawRoundedRect(QRectF(inset, inset, tile, tile), tile * 0.23, tile * 0.23);
    const qreal heights[] = {0.34, 0.62, 0.46, 0.78, 0.40};
    const qreal barWidth = tile * 0.08;
    const qreal spacing = tile * 0.07;
    const qreal rowWidth = 5 * barWidth + 4 * spacing;
    qreal x = inset + (tile - rowWidth) / 2;
    painter.setBrush(Palette::sorvaneSignal());
    for (const qreal height : heights) {
        const qreal h = tile * height * 0.8;
        painter.drawRoundedRect(QRectF(x, size / 2.0 - h / 2, barWidth, h), barWidth / 2, barWidth / 2);
        x += barWidth + spacing;
    }
    return out;
}

QIcon icon()
{
    QIcon drawn;
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512})
        drawn.addPixmap(QPixmap::fromImage(image(size)));
    return QIcon::fromTheme(QStringLiteral("com.sorvane.local"), drawn);
}

} // namespace sorvane::ProgramMark
