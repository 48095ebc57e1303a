#include "Fonts.h"

#include "Platform/ResourceLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

namespace sorvane {

namespace {

enum class FontKind { Text, Monospaced, Symbols };

struct FontFile {
    const char *fileName;
    FontKind kind;
};

// The text font's weights the screens use, the monospaced font and the symbol font.
constexpr FontFile kFontFiles[] = {
    {"Inter-Regular.otf", FontKind::Text},
    {"Inter-Medium.otf", FontKind::Text},
    {"Inter-SemiBold.otf", FontKind::Text},
    {"Inter-Bold.otf", FontKind::Text},
    {"DejaVuSansMono.ttf", FontKind::Monospaced},
    {"DejaVuSansMono-Bold.ttf", FontKind::Monospaced},
    {"materialdesignicons-webfont.ttf", FontKind::Symbols},
};

struct LoadedFonts {
    bool attempted = false;
    bool text = false;
    bool symbols = false;
    QStringList files;
};

LoadedFonts &loadedFonts()
{
    static LoadedFonts fonts;
    return fonts;
}

} // namespace

QStringList Fonts::searchFolders()
{
    QStringList folders;
    const QString fromEnvironment = qEnvironmentVariable("SORVANE_FONT_DIR");
    if (!fromEnvironment.isEmpty())
        folders << fromEnvironment;
    if (const auto shared = ResourceLocator::file(QStringLiteral("fonts")))
        folders << *shared;
    folders << QStringLiteral("/usr/share/fonts/opentype/inter")
            << QStringLiteral("/usr/share/fonts/truetype/dejavu")
            << QStringLiteral("/usr/share/fonts/truetype/materialdesignicons-webfont")
            << QStringLiteral("/usr/share/fonts-materialdesignicons-webfont/fonts");
    return folders;
}

bool Fonts::load()
{
    LoadedFonts &fonts = loadedFonts();
    if (fonts.attempted)
        return fonts.text && fonts.symbols;
    fonts.attempted = true;
    const QStringList folders = searchFolders();
    for (const FontFile &file : kFontFiles) {
        for (const QString &folder : folders) {
            const QString path = QDir(folder).filePath(QString::fromLatin1(file.fileName));
            if (!QFileInfo::exists(path))
                continue;
            if (QFontDatabase::addApplicationFont(path) < 0)
                continue;
            fonts.files << path;
            if (file.kind == FontKind::Text)
                fonts.text = true;
            else if (file.kind == FontKind::Symbols)
                fonts.symbols = true;
            break;
        }
    }
    if (!fonts.text || !fonts.symbols)
        qWarning("sorvane: the Inter or Material Design icon font was not found; install "
                 "fonts-inter and fonts-materialdesignicons-webfont");
    return fonts.text && fonts.symbols;
}

bool Fonts::isLoaded()
{
    return loadedFonts().text && loadedFonts().symbols;
}

QStringList Fonts::loadedFiles()
{
    return loadedFonts().files;
}

QString Fonts::textFamily()
{
    return QStringLiteral("Inter");
}

QString Fonts::monospacedFamily()
{
    return QStringLiteral("DejaVu Sans Mono");
}

QString Fonts::symbolFamily()
{
    return QStringLiteral("Material Design Icons");
}

qreal Fonts::pointSizeForPixels(qreal pixels)
{
    // Qt Quick turns point sizes into pixels with the primary screen's logical DPI.
    qreal dpi = 96;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        dpi = screen->logicalDotsPerInchY();
    return pixels * 72.0 / dpi;
}

QFont Fonts::font(qreal pixels, int weight)
{
    QFont font(textFamily());
    font.setPointSizeF(pointSizeForPixels(pixels));
    font.setWeight(QFont::Weight(weight));
    font.setKerning(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont Fonts::monospaced(qreal pixels, int weight)
{
    QFont font(monospacedFamily());
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSizeForPixels(pixels));
    font.setWeight(QFont::Weight(weight));
    return font;
}

QFont Fonts::symbol(qreal pixels)
{
    QFont font(symbolFamily());
    font.setPointSizeF(pointSizeForPixels(pixels));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace sorvane
