#include "Palette.h"

#include "Dictation/SpeechModel.h"

namespace sorvane {

QColor Palette::speechModelAccent(const QString &modelId)
{
    const AccentColor accent = SpeechModel::accentColor(modelId);
    if (accent.isSecondary)
        return secondary();
    return rgb(accent.red, accent.green, accent.blue);
}

} // namespace sorvane
