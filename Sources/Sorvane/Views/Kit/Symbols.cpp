#include "Symbols.h"

#include "Dictation/SpeechModel.h"

#include <QHash>

namespace sorvane {

namespace {

// Name -> code point in materialdesignicons-webfont 1.6 (Debian 12), with the icon's
// own name beside it.
const QHash<QString, char32_t> &symbolTable()
{
    static const QHash<QString, char32_t> table{
        {QStringLiteral("checkmark"), 0xF12C},                    // check
        {QStringLiteral("checkmark.circle"), 0xF5E1},             // check-circle-outline
        {QStringLiteral("checkmark.circle.fill"), 0xF5E0},        // check-circle
        {QStringLiteral("xmark"), 0xF156},                        // close
        {QStringLiteral("arrow.up.right"), 0xF05C},               // arrow-top-right
        {QStringLiteral("arrow.right"), 0xF054},                  // arrow-right
        {QStringLiteral("arrow.up"), 0xF05D},                     // arrow-up
        {QStringLiteral("chevron.left"), 0xF141},                 // chevron-left
        {QStringLiteral("exclamationmark"), 0xF205},              // exclamation
        {QStringLiteral("exclamationmark.triangle.fill"), 0xF026}, // alert
        {QStringLiteral("waveform"), 0xF430},                     // pulse
        {QStringLiteral("waveform.circle.fill"), 0xF430},         // pulse
        {QStringLiteral("circle.fill"), 0xF12F},                  // checkbox-blank-circle
        {QStringLiteral("circle"), 0xF130},                       // checkbox-blank-circle-outline
        {QStringLiteral("ellipsis"), 0xF1D8},                     // dots-horizontal
        {QStringLiteral("wand.and.stars"), 0xF068},               // auto-fix
        {QStringLiteral("mic.fill"), 0xF36C},                     // microphone
        {QStringLiteral("stop.fill"), 0xF4DB},                    // stop
        {QStringLiteral("trash"), 0xF1C0},                        // delete
        {QStringLiteral("photo"), 0xF2E9},                        // image
        {QStringLiteral("camera"), 0xF100},                       // camera
        {QStringLiteral("doc.on.doc"), 0xF18F},                   // content-copy
        {QStringLiteral("text.bubble"), 0xF189},                  // comment-text-outline
        {QStringLiteral("text.quote"), 0xF27E},                   // format-quote
        {QStringLiteral("magnifyingglass"), 0xF349},              // magnify
        {QStringLiteral("keyboard"), 0xF30C},                     // keyboard
        {QStringLiteral("hand.tap.fill"), 0xF1B7},                // cursor-pointer
        {QStringLiteral("cursorarrow.motionlines"), 0xF1B5},      // cursor-default-outline
        {QStringLiteral("folder.fill"), 0xF24B},                  // folder
        {QStringLiteral("hare.fill"), 0xF46E},                    // run
        {QStringLiteral("bird.fill"), 0xF3D2},                    // owl
        {QStringLiteral("bolt.fill"), 0xF241},                    // flash
        {QStringLiteral("globe.europe.africa.fill"), 0xF1E7},     // earth
        {QStringLiteral("sparkles"), 0xF4CE},                     // star
        {QStringLiteral("internaldrive"), 0xF2CA},                // harddisk
        {QStringLiteral("cloud"), 0xF15F},                        // cloud
        {QStringLiteral("circle"), 0xF130},                       // checkbox-blank-circle-outline
        {QStringLiteral("minus"), 0xF374},                        // minus
        {QStringLiteral("plus"), 0xF415},                         // plus
        {QStringLiteral("chevron.up.chevron.down"), 0xF54F},      // unfold-more
        // The on-device model's mark: a computer, never a maker's logo.
        {QStringLiteral("apple.logo"), 0xF322},                   // laptop
    };
    return table;
}

} // namespace

QString Symbols::glyph(const QString &name)
{
    const auto found = symbolTable().constFind(name);
    if (found == symbolTable().constEnd())
        return {};
    const char32_t codePoint = found.value();
    return QString::fromUcs4(&codePoint, 1);
}

bool Symbols::isKnown(const QString &name)
{
    return symbolTable().contains(name);
}

QStringList Symbols::names()
{
    QStringList names = symbolTable().keys();
    names.sort();
    return names;
}

QString Symbols::speechModelSymbol(const QString &modelId)
{
    return SpeechModel::symbolName(modelId);
}

} // namespace sorvane
