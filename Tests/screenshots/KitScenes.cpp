#include "ScreenshotScenes.h"

using namespace sorvane::test;

namespace {

QList<ScreenshotScene> kitScenes()
{
    return {{QStringLiteral("design-kit"), [](QmlScene &scene) -> std::shared_ptr<void> {
                 scene.load(R"(
import QtQuick
import Sorvane

Rectangle {
    width: 640
    height: 760
    color: Colors.sorvaneBrightPaper

    Column {
        x: 32
        y: 28
        spacing: 18
        ScreenTitle { title: "Design kit" }
        Eyebrow { text: "Buttons"; size: 10; tracking: 1.2 }
        Row {
            spacing: 12
            PrimaryButton { title: "Download"; iconName: "arrow.right" }
            PrimaryButton { title: "Continue" }
            PrimaryButton { title: "Not yet"; disabled: true }
        }
        Row {
            spacing: 12
            QuietButton { title: "Copy"; iconName: "doc.on.doc" }
            QuietButton { title: "Later" }
            BorderedRowButton { title: "Use"; buttonHeight: 30; horizontalPadding: 14; cornerRadius: 8; fontSize: 12 }
            BorderedRowButton { title: "Remove"; buttonHeight: 30; horizontalPadding: 14; cornerRadius: 8; fontSize: 12; disabled: true }
        }
        Hairline { width: 576; lineOpacity: 0.1 }
        Eyebrow { text: "Needs you"; size: 10; tracking: 1.2 }
        ErrorResolutionBanner {
            width: 576
            message: "The Gemini API key was refused. Enter a valid key in the Account settings, then try the Command again; a long message is cut after its second line like this one."
        }
        Row {
            spacing: 18
            ModelGlyph { modelId: "pocket"; size: 40 }
            ModelGlyph { modelId: "velocity"; size: 40 }
            ModelGlyph { modelId: "swift"; size: 40 }
            ModelGlyph { modelId: "balanced"; size: 40 }
            ModelGlyph { modelId: "studio"; size: 40 }
            ModelGlyph { modelId: "other"; size: 40 }
            BrandMark { size: 40 }
            BrandMark { size: 24; anchors.verticalCenter: parent.verticalCenter }
        }
        Row {
            spacing: 28
            RatingMeter { label: "Speed"; value: 4 }
            RatingMeter { label: "Quality"; value: 2 }
            RatingMeter { label: "Hidden"; value: 5; showsLabel: false; anchors.bottom: parent.bottom }
            Row {
                spacing: 8
                anchors.bottom: parent.bottom
                StatusDot { active: true; size: 8 }
                StatusDot { active: false; size: 8 }
                StatusDot { active: true; size: 12 }
            }
        }
        Item {
            width: 576
            height: 96
            CardBackground { anchors.fill: parent }
            Column {
                x: 18
                y: 16
                spacing: 6
                Text { text: "Card"; font: Fonts.font(15, Font.DemiBold); color: Colors.sorvane }
                Text { text: "Muted text in the card's body."; font: Fonts.font(12); color: Colors.sorvaneMuted }
                Text { text: "Body text 12.5 at a half size."; font: Fonts.font(12.5); color: Colors.sorvaneBody }
            }
        }
        Row {
            spacing: 10
            Repeater {
                model: ["checkmark", "xmark", "arrow.up.right", "wand.and.stars", "mic.fill", "trash",
                        "waveform", "ellipsis", "exclamationmark.triangle.fill", "keyboard"]
                SymbolIcon { required property string modelData; name: modelData; size: 16; color: Colors.sorvane }
            }
        }
        Row {
            spacing: 6
            Repeater {
                model: [Colors.sorvane, Colors.sorvaneSignal, Colors.sorvanePaper, Colors.sorvaneBrightPaper,
                        Colors.sorvaneMuted, Colors.sorvaneBody, Colors.sorvaneError]
                Rectangle { required property color modelData; width: 44; height: 28; radius: 6; color: modelData; border.color: Qt.alpha(Colors.sorvane, 0.15) }
            }
        }
    }
}
)");
                 return nullptr;
             }}};
}

} // namespace

SORVANE_SCREENSHOTS(kitScenes);
