#include "TrayGlyph.h"

#include "Overlay/DesktopColorScheme.h"
#include "Platform/ResourceLocator.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace sorvane {

namespace {

// A shipped template keeps its shape (alpha) and takes the ink.
QImage tinted(const QImage &shape, const QColor &ink)
{
    QImage out = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), ink);
    return out;
}

} // namespace

QImage TrayGlyph::glyph(int size, const QColor &ink)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    QPainterPath path;
    path.addEllipse(QRectF(0.5, 0.5, 15, 15));
    // Bar centres and heights, in a 16-unit square.
    const struct { qreal x, height; } bars[] = {{4, 2.8}, {6, 6.2}, {8, 9.2}, {10, 6.2}, {12, 2.8}};
    QPainterPath cut;
    for (const auto &bar : bars)
        cut.addRoundedRect(QRectF(bar.x - 0.7, 8 - bar.height / 2, 1.4, bar.height), 0.7, 0.7);
    painter.fillPath(path.subtracted(cut), ink);
    return image;
}

QIcon TrayGlyph::icon(const QColor &ink)
{
    QIcon icon;
    if (const auto file = ResourceLocator::file(QStringLiteral("SorvaneMenuBarTemplate.png"))) {
        const QImage shape(*file);
        if (!shape.isNull()) {
            icon.addPixmap(QPixmap::fromImage(tinted(shape.scaled(18, 18, Qt::KeepAspectRatio, Qt::SmoothTransformation), ink)));
            icon.addPixmap(QPixmap::fromImage(tinted(shape.scaled(36, 36, Qt::KeepAspectRatio, Qt::SmoothTransformation), ink)));
            return icon;
        }
    }
    for (int size : {16, 18, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(glyph(size, ink)));
    return icon;
}

QColor TrayGlyph::inkFor(int colorScheme, const QColor &paletteText)
{
    if (colorScheme == 1)
        return QColor(0xf2, 0xf2, 0xf2);
    if (colorScheme == 2)
        return QColor(0x1e, 0x1e, 0x1e);
    return paletteText;
}

TrayAppearance::TrayAppearance(QObject *parent) : QObject(parent)
{
    connect(qGuiApp, &QGuiApplication::paletteChanged, this, &TrayAppearance::inkChanged);
    connect(&DesktopColorScheme::shared(), &DesktopColorScheme::changed, this, &TrayAppearance::inkChanged);
}

QColor TrayAppearance::ink() const
{
    const int scheme = int(DesktopColorScheme::shared().scheme().value_or(0));
    return TrayGlyph::inkFor(scheme, QGuiApplication::palette().color(QPalette::WindowText));
}

} // namespace sorvane
