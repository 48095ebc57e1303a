#pragma once

#include "Command/AgentSettings.h"
#include "Shared/Enumerations.h"
#include "Shared/KeyboardShortcutSetting.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// The texts and choices of the Shortcuts and Behaviour areas and the overlay's
// appearance block, for QML: which controls are dimmed, the thinking-level rows per
// provider, the stepper's labels, the preview's colours. Plain functions, tested by
// tables; the areas only bind to them.
class SettingsAreaRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(double dimmedOpacity READ dimmedOpacity CONSTANT)
    Q_PROPERTY(int minimumRestoreDelay READ minimumRestoreDelay CONSTANT)
    Q_PROPERTY(int maximumRestoreDelay READ maximumRestoreDelay CONSTANT)
    Q_PROPERTY(QStringList appearanceTitles READ appearanceTitles CONSTANT)
    Q_PROPERTY(QStringList soundTitles READ soundTitles CONSTANT)
    Q_PROPERTY(QVariantList previewBarHeights READ previewBarHeights CONSTANT)
    Q_PROPERTY(int maximumProfiles READ maximumProfiles CONSTANT)

public:
    using QObject::QObject;

    static double dimmedOpacity() { return 0.46; }
    static int minimumRestoreDelay();
    static int maximumRestoreDelay();
    static int maximumProfiles() { return 5; }

    // "Restore clipboard" needs automatic paste; "Restore after" needs both.
    Q_INVOKABLE static bool restoreSwitchEnabled(bool automaticPaste) { return automaticPaste; }
    Q_INVOKABLE static bool restoreDelayEnabled(bool automaticPaste, bool restoreEnabled)
    {
        return automaticPaste && restoreEnabled;
    }
    Q_INVOKABLE static double controlOpacity(bool enabled) { return enabled ? 1.0 : dimmedOpacity(); }
    // "3 s" and, for assistive tools, "3 seconds".
    Q_INVOKABLE static QString restoreDelayLabel(int seconds);
    Q_INVOKABLE static QString restoreDelayAccessibleValue(int seconds);
    // The controller's message when it has one, else the row's own detail.
    Q_INVOKABLE static QString loginDetail(const QString &message);
    Q_INVOKABLE static QString vocabularyDetail(int terms);

    // The thinking-level row: shown for the cloud providers only.
    static QList<AgentReasoningEffort> offeredEfforts(AgentWritingProvider provider);
    Q_INVOKABLE static bool showsReasoningRow(const sorvane::AgentSettings &settings);
    Q_INVOKABLE static QString reasoningRowTitle(const sorvane::AgentSettings &settings);
    Q_INVOKABLE static QStringList reasoningOptionTitles(const sorvane::AgentSettings &settings);
    // The stored effort's place among the offered ones; -1 for one that is not offered
    // (a stored "minimal" under OpenAI), which then still gives the detail.
    Q_INVOKABLE static int reasoningSelectedIndex(const sorvane::AgentSettings &settings);
    Q_INVOKABLE static QString reasoningDetail(const sorvane::AgentSettings &settings);
    // The record with the effort at `index` of the offered list stored for the current
    // provider; unchanged for an index outside it.
    Q_INVOKABLE static sorvane::AgentSettings withReasoningChoice(const sorvane::AgentSettings &settings, int index);
    static AgentReasoningEffort currentEffort(const AgentSettings &settings);
    static QString effortTitle(AgentReasoningEffort effort);
    static QString providerName(AgentWritingProvider provider);

    // Command settings with one field changed, for the switches of rows 6 to 8.
    Q_INVOKABLE static sorvane::AgentSettings withIncludeSelectedText(const sorvane::AgentSettings &settings, bool on);
    Q_INVOKABLE static sorvane::AgentSettings withAutomaticPaste(const sorvane::AgentSettings &settings, bool on);
    Q_INVOKABLE static sorvane::AgentSettings withNotifyOnCompletion(const sorvane::AgentSettings &settings, bool on);
    Q_INVOKABLE static sorvane::AgentSettings withRegularPrompt(const sorvane::AgentSettings &settings,
                                                                 const QString &prompt);

    // The Command-with-screenshot row follows the chosen writing model (AppState.selectedAgentModel).
    Q_INVOKABLE static bool showsScreenshotShortcut(const QVariant &selectedAgentModel);
    Q_INVOKABLE static bool canAddProfile(const sorvane::AgentSettings &settings);

    // Overlay appearance.
    static QStringList appearanceTitles();
    static QStringList soundTitles();
    Q_INVOKABLE static QString sizeTitle(int size);
    Q_INVOKABLE static QString sizeAccessibleName(int size) { return sizeTitle(size) + QStringLiteral(" overlay size"); }
    Q_INVOKABLE static QString selectionAccessibleValue(bool selected)
    {
        return selected ? QStringLiteral("Selected") : QStringLiteral("Not selected");
    }
    // Light, dark, or the desktop's own scheme for "Automatic".
    Q_INVOKABLE static bool previewUsesDark(int appearance, bool desktopDark);
    static QVariantList previewBarHeights();
    // The bars of a preview no taller than its waveform: the mini one cuts 20 to 17.
    Q_INVOKABLE static QVariantList previewBars(double maximumHeight);
};

} // namespace sorvane
