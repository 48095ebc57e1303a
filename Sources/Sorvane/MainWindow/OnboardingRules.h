#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace sorvane {

// The first-run set-up's steps, footer, header dots and the model page's status line.
namespace OnboardingRules {

constexpr int stepCount = 4;
enum class Page { Welcome, Microphone, Accessibility, SpeechModel };
Page pageFor(int step);

struct Footer {
    bool showsBack = false;
    QString primaryTitle;
    QString primaryIcon;
    // The primary button ends the set-up (else it moves one step on).
    bool finishes = false;
    // Only the last step can be refused: it needs a model of the catalogue.
    bool primaryEnabled = true;
    friend bool operator==(const Footer &, const Footer &) = default;
};
Footer footer(int step, bool hasChosenModel);

struct Dot {
    bool wide = false;
    bool filled = false;
    friend bool operator==(const Dot &, const Dot &) = default;
};
QList<Dot> dots(int step, int steps = stepCount);

// The line under the model table.
struct StatusLine {
    enum class Kind { Error, Downloading, Default };
    Kind kind = Kind::Default;
    QString text;
    friend bool operator==(const StatusLine &, const StatusLine &) = default;
};
StatusLine statusLine(const std::optional<QString> &downloadError, const std::optional<QString> &chosenModelName,
                      bool chosenDownloading, double chosenProgress, const std::optional<QString> &selectedModelName);

// What a permission page shows.
struct PermissionPage {
    QString number;
    QString icon; // the page's own symbol, or "checkmark" when granted
    QString title;
    QString explanation;
    QString buttonTitle;
    QString buttonIcon;
    bool buttonEnabled = true;
    friend bool operator==(const PermissionPage &, const PermissionPage &) = default;
};
PermissionPage microphonePage(bool granted);
PermissionPage accessibilityPage(bool granted);

} // namespace OnboardingRules
} // namespace sorvane
