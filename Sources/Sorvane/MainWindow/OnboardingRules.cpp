#include "MainWindow/OnboardingRules.h"

#include "MainWindow/ModelSheetRules.h"

namespace sorvane::OnboardingRules {

Page pageFor(int step)
{
    switch (step) {
    case 0: return Page::Welcome;
    case 1: return Page::Microphone;
    case 2: return Page::Accessibility;
    default: return Page::SpeechModel;
    }
}

Footer footer(int step, bool hasChosenModel)
{
    Footer result;
    result.showsBack = step >= 1;
    if (step <= 2) {
        result.primaryTitle = QStringLiteral("Continue");
        result.primaryIcon = QStringLiteral("arrow.right");
    } else {
        result.primaryTitle = QStringLiteral("Finish setup");
        result.primaryIcon = QStringLiteral("checkmark");
        result.finishes = true;
        result.primaryEnabled = hasChosenModel;
    }
    return result;
}

QList<Dot> dots(int step, int steps)
{
    QList<Dot> result;
    for (int i = 0; i < steps; ++i)
        result.append(Dot{i == step, i <= step});
    return result;
}

StatusLine statusLine(const std::optional<QString> &downloadError, const std::optional<QString> &chosenModelName,
                      bool chosenDownloading, double chosenProgress, const std::optional<QString> &selectedModelName)
{
    if (downloadError && !downloadError->isEmpty())
        return {StatusLine::Kind::Error, *downloadError};
    if (chosenModelName && chosenDownloading)
        return {StatusLine::Kind::Downloading,
                *chosenModelName + QStringLiteral(" is downloading \u00b7 ")
                    + QString::number(ModelSheetRules::wholePercent(chosenProgress))
                    + QStringLiteral("%. Finish setup now; ")
                    + (selectedModelName ? *selectedModelName : QStringLiteral("your current model"))
                    + QStringLiteral(" stays active until it is ready.")};
    return {StatusLine::Kind::Default, QStringLiteral("You can switch or download more models later in Models.")};
}

namespace {

PermissionPage page(bool granted, const char *number, const char *icon, const char *title, const char *explanation,
                    const char *allow, const char *ready)
{
    return {QString::fromUtf8(number),
            granted ? QStringLiteral("checkmark") : QString::fromUtf8(icon),
            QString::fromUtf8(title),
            QString::fromUtf8(explanation),
            QString::fromUtf8(granted ? ready : allow),
            granted ? QStringLiteral("checkmark") : QStringLiteral("arrow.up.right"),
            !granted};
}

} // namespace

PermissionPage microphonePage(bool granted)
{
    return page(granted, "01", "mic.fill", "Let Sorvane hear you.",
                "Microphone access is used only while you dictate. Recordings never leave your computer.",
                "Allow microphone", "Microphone ready");
}

PermissionPage accessibilityPage(bool granted)
{
    return page(granted, "02", "cursorarrow.motionlines", "Put words at your cursor.",
                "Accessibility access lets Sorvane read selected text and paste finished results into the app you "
                "were using.",
                "Allow auto-paste", "Auto-paste ready");
}

} // namespace sorvane::OnboardingRules
