#include "MainScreens.h"

#include "State/AppState.h"
#include "BuildConfig.h"
#include "MainWindow/HomeAttention.h"
#include "MainWindow/MainWindowLayout.h"
#include "MainWindow/Vocabulary.h"
#include "Shell/SessionNotice.h"
#include "Platform/SystemClipboard.h"
#include "Support/StoredJson.h"

#include <QDir>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace sorvane {

namespace {

std::optional<SpeechModel> speechModelOf(const QVariant &value)
{
    if (value.canConvert<SpeechModel>() && !value.isNull())
        return value.value<SpeechModel>();
    return std::nullopt;
}

} // namespace

QStringList MainScreens::sectionTitles()
{
    QStringList titles;
    for (AppSection section : allCases<AppSection>())
        titles.append(toText(section));
    return titles;
}

QString MainScreens::versionString()
{
    return MainWindowLayout::versionString(QStringLiteral(SORVANE_VERSION));
}

bool MainScreens::showsMainShell(bool onboardingComplete)
{
    return MainWindowLayout::chooseRoot(onboardingComplete, false).screen == RootScreen::MainShell;
}

QString MainScreens::sectionAccessibilityValue(bool selected)
{
    return MainWindowLayout::sectionAccessibilityValue(selected);
}

QString MainScreens::readinessLabel(bool canDictate)
{
    return HomeScreen::readinessLabel(canDictate);
}

bool MainScreens::globalShortcutsAvailable()
{
    return !shortcutsUnavailableNotice(QProcessEnvironment::systemEnvironment()).has_value();
}

QString MainScreens::shortcutHeadline(const QString &displayName)
{
    return HomeScreen::shortcutHeadline(displayName, globalShortcutsAvailable());
}

QString MainScreens::commandShortcutValue(const QString &displayName)
{
    return HomeScreen::commandShortcutValue(displayName, globalShortcutsAvailable());
}

QString MainScreens::promiseLine()
{
    return HomeScreen::promiseLine(globalShortcutsAvailable());
}

QString MainScreens::weeklyMinutesLabel(int minutes)
{
    return HomeScreen::weeklyMinutesLabel(minutes);
}

QString MainScreens::dictationButtonTitle(const QVariant &status)
{
    return HomeScreen::dictationButtonTitle(status.value<CaptureStatus>().kind());
}

QString MainScreens::vocabularyBehaviourSentence(const QVariant &selectedModel)
{
    const auto model = speechModelOf(selectedModel);
    return Vocabulary::behaviourSentence(model ? &*model : nullptr);
}

bool MainScreens::canAddVocabularyTerm(const QString &fieldText)
{
    return Vocabulary::canAdd(fieldText);
}

QString MainScreens::selectedModelName(const QVariant &selectedModel)
{
    const auto model = speechModelOf(selectedModel);
    return model ? model->name : QStringLiteral("None");
}

void MainScreens::setLineSpacing(QQuickTextDocument *document, qreal extra)
{
    QTextDocument *text = document ? document->textDocument() : nullptr;
    if (!text)
        return;
    QTextBlockFormat format;
    format.setLineHeight(extra, QTextBlockFormat::LineDistanceHeight);
    for (QTextBlock block = text->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().lineHeight() == extra
            && block.blockFormat().lineHeightType() == QTextBlockFormat::LineDistanceHeight)
            continue;
        QTextCursor(block).mergeBlockFormat(format);
    }
}

void MainScreens::copyText(AppState *state, const QString &text)
{
    if (!state)
        return;
    SystemClipboard &clipboard = state->clipboard();
    clipboard.clear();
    clipboard.setText(text);
}

bool MainScreens::deleteHistoryEntry(AppState *state, const QString &entryId, bool isCommand)
{
    if (!state)
        return false;
    const auto id = storedjson::parseUuid(entryId);
    if (!id)
        return false;
    if (isCommand)
        return state->deleteAgentConversation(*id);
    HistoryStore &history = state->historyStore();
    for (const HistoryItem &item : history.items()) {
        if (item.id == *id) {
            history.deleteItem(item);
            return true;
        }
    }
    return false;
}

} // namespace sorvane
