#include "TrayGlyph.h"

#include "Platform/ResourceLocator.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace sorvane {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

// A shipped template keeps its shape (alpha) and takes the ink.
QImage tinted(const QImage &shape, const QColor &ink)
{
    QImage out = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(out.rect(), ink);
    return out;
}

int schemeOf(const QVariant &value)
{
    QVariant v = value;
    // The portal wraps the value in one or two variants.
    while (v.canConvert<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v.toInt();
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
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        QDBusPendingReply<QVariant> reply = *w;
        if (!reply.isError())
            setScheme(schemeOf(reply.value()));
    });
}

QColor TrayAppearance::ink() const
{
    return TrayGlyph::inkFor(m_scheme, QGuiApplication::palette().color(QPalette::WindowText));
}

void TrayAppearance::settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme"))
        setScheme(schemeOf(value.variant()));
}

void TrayAppearance::setScheme(int scheme)
{
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    Q_EMIT inkChanged();
}

} // namespace sorvane
