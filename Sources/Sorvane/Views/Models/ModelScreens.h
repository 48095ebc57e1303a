#pragma once

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

class AppState;

// The Models screen's, the sheets' and the onboarding's texts and choices, for QML: each
// is one of the tested functions of the core.
class ModelScreens : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The trailing controls of a sheet row (ModelSheetRules::TrailingControl).
    Q_PROPERTY(int progressControl READ progressControl CONSTANT)
    Q_PROPERTY(int activeControl READ activeControl CONSTANT)
    Q_PROPERTY(int keyControl READ keyControl CONSTANT)
    Q_PROPERTY(int useControl READ useControl CONSTANT)
    Q_PROPERTY(int getControl READ getControl CONSTANT)
    Q_PROPERTY(QString speechSheetNote READ speechSheetNote CONSTANT)
    Q_PROPERTY(QString writingSheetNote READ writingSheetNote CONSTANT)
    Q_PROPERTY(int onboardingSteps READ onboardingSteps CONSTANT)

public:
    using QObject::QObject;

    static int progressControl();
    static int activeControl();
    static int keyControl();
    static int useControl();
    static int getControl();
    static QString speechSheetNote();
    static QString writingSheetNote();
    static int onboardingSteps();

    // The Models screen's blocks (bind them together with the values they read).
    Q_INVOKABLE static QString speechFact(sorvane::AppState *state);
    Q_INVOKABLE static QString writingFact(sorvane::AppState *state);
    // `writingModel` is AppState.selectedAgentModel (null without one).
    Q_INVOKABLE static QString writingLocationTag(const QVariant &writingModel);
    Q_INVOKABLE static QString speechLocationTag();
    // [speed, quality] of AppState.selectedModel / selectedAgentModel; [0, 0] without one.
    Q_INVOKABLE static QVariantList speechRatings(const QVariant &speechModel);
    Q_INVOKABLE static QVariantList writingRatings(const QVariant &writingModel);
    // Whether the error banner belongs on the Models screen.
    Q_INVOKABLE static bool showsErrorBanner(const QVariant &errorResolution);

    // {text, isError}; an empty text counts as none.
    Q_INVOKABLE static QVariantMap footerMessage(const QString &sheetError, const QVariant &onboardingError,
                                                 const QString &note);
    Q_INVOKABLE static QString removalTitle(const QString &modelName);
    Q_INVOKABLE static QString percentText(double progress);

    // The onboarding: {showsBack, primaryTitle, primaryIcon, finishes, primaryEnabled}.
    Q_INVOKABLE static QVariantMap onboardingFooter(int step, bool hasChosenModel);
    // One {wide, filled} per step.
    Q_INVOKABLE static QVariantList onboardingDots(int step);
    // 0 welcome, 1 microphone, 2 accessibility, 3 speech model.
    Q_INVOKABLE static int onboardingPage(int step);
    // {number, icon, title, explanation, buttonTitle, buttonIcon, buttonEnabled}.
    Q_INVOKABLE static QVariantMap permissionPage(bool microphone, bool granted);
    // {kind: "error" | "downloading" | "default", text}.
    Q_INVOKABLE static QVariantMap onboardingStatus(sorvane::AppState *state, const QString &chosenModelID);
    Q_INVOKABLE static bool isCatalogSpeechModel(sorvane::AppState *state, const QString &modelID);
    // The welcome picture's shortcut labels.
    Q_INVOKABLE static QString shortcutLabel(const QVariant &shortcut, const QString &role);
};

} // namespace sorvane
