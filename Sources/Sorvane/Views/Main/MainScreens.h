#pragma once

#include "Dictation/DictationTypes.h"
#include "MainWindow/HistoryListModel.h"
#include "MainWindow/ImmediateActionGuard.h"
#include "MainWindow/TermListModel.h"

#include <QObject>
#include <QQuickTextDocument>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

class AppState;

// The texts and choices of the main window's screens, for QML: each is one of the
// tested functions of the core.
class MainScreens : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QStringList sectionTitles READ sectionTitles CONSTANT)
    Q_PROPERTY(QString versionString READ versionString CONSTANT)
    // The values of AppSection, in order, for the screens to compare and assign.
    Q_PROPERTY(int homeSection READ homeSection CONSTANT)
    Q_PROPERTY(int historySection READ historySection CONSTANT)
    Q_PROPERTY(int modelsSection READ modelsSection CONSTANT)
    Q_PROPERTY(int settingsSection READ settingsSection CONSTANT)

public:
    using QObject::QObject;

    static QStringList sectionTitles();
    static QString versionString();
    static int homeSection() { return int(AppSection::Home); }
    static int historySection() { return int(AppSection::History); }
    static int modelsSection() { return int(AppSection::Models); }
    static int settingsSection() { return int(AppSection::Settings); }

    Q_INVOKABLE static bool showsMainShell(bool onboardingComplete);
    Q_INVOKABLE static QString sectionAccessibilityValue(bool selected);
    Q_INVOKABLE static QString readinessLabel(bool canDictate);
    Q_INVOKABLE static QString weeklyMinutesLabel(int minutes);
    // Whether this desktop session can have global shortcuts (not on Wayland).
    Q_INVOKABLE static bool globalShortcutsAvailable();
    Q_INVOKABLE static QString shortcutHeadline(const QString &displayName);
    Q_INVOKABLE static QString commandShortcutValue(const QString &displayName);
    Q_INVOKABLE static QString promiseLine();
    // `status` is AppState.status (a CaptureStatus).
    Q_INVOKABLE static QString dictationButtonTitle(const QVariant &status);
    // `selectedModel` is AppState.selectedModel (a SpeechModel, or null).
    Q_INVOKABLE static QString vocabularyBehaviourSentence(const QVariant &selectedModel);
    Q_INVOKABLE static bool canAddVocabularyTerm(const QString &fieldText);
    // The "Model" fact of the home screen.
    Q_INVOKABLE static QString selectedModelName(const QVariant &selectedModel);

    // Adds `extra` logical pixels between the lines of a text edit's document (Qt Quick's
    // TextEdit has no line-height of its own). Call again after the text changes.
    Q_INVOKABLE static void setLineSpacing(QQuickTextDocument *document, qreal extra);

    // Copies through the program's clipboard, so its change count sees the copy (a
    // pending clipboard restore then leaves it alone).
    Q_INVOKABLE static void copyText(sorvane::AppState *state, const QString &text);
    // Deletes a history row's record: a dictation from the history, a conversation
    // through the state (which refuses one that is in use). False when nothing was deleted.
    Q_INVOKABLE static bool deleteHistoryEntry(sorvane::AppState *state, const QString &entryId, bool isCommand);
};

// The core's list models and helpers, as QML types of the module.
class HistoryListModelItem : public HistoryListModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(HistoryListModel)
public:
    using HistoryListModel::HistoryListModel;
};

class TermListModelItem : public TermListModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(TermListModel)
public:
    using TermListModel::TermListModel;
};

class ImmediateActionGuardItem : public ImmediateActionGuard {
    Q_OBJECT
    QML_NAMED_ELEMENT(ImmediateActionGuard)
public:
    using ImmediateActionGuard::ImmediateActionGuard;
};

} // namespace sorvane
