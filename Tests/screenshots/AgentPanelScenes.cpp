#include "ScreenshotScenes.h"

#include "State/AppState.h"
#include "Panels/AgentConversationViewModel.h"
#include "Panels/AgentResultPanelController.h"
#include "TestAppState.h"

using namespace sorvane;
using namespace sorvane::test;
using namespace sorvane::testing;

namespace {

// A state over fakes with the panels' controller and the conversation window's model.
struct PanelPicture {
    TestAppState t;
    std::unique_ptr<AgentResultPanelController> panel;
    std::unique_ptr<AgentConversationViewModel> model;

    AppState &state() { return t.state(); }
    AgentConversationStore &store() { return *t.agentConversationStore; }
};

std::shared_ptr<PanelPicture> makePicture(QmlScene &scene)
{
    auto picture = std::make_shared<PanelPicture>();
    AppState &state = picture->t.build();
    AgentResultPanelController::Options options;
    options.systemPrefersDark = [] { return false; };
    picture->panel = std::make_unique<AgentResultPanelController>(state, options);
    picture->model = std::make_unique<AgentConversationViewModel>(state);
    scene.setContextProperty(QStringLiteral("appState"), &state);
    scene.setContextProperty(QStringLiteral("resultPanel"), picture->panel.get());
    scene.setContextProperty(QStringLiteral("conversationModel"), picture->model.get());
    return picture;
}

AgentContextAttachment attachment(AgentAttachmentKind kind, const QString &name)
{
    AgentContextAttachment value;
    value.id = QUuid::createUuid();
    value.kind = kind;
    value.displayName = name;
    if (kind == AgentAttachmentKind::SelectedText)
        value.text = QStringLiteral("Hi team, the launch moves to Thursday.");
    value.createdAt = QDateTime::currentDateTimeUtc();
    return value;
}

QUuid firstTurn(PanelPicture &picture, bool answered)
{
    const QUuid id = QUuid::createUuid();
    picture.store().createConversation(id, QStringLiteral("Make this announcement friendlier"),
                                       {attachment(AgentAttachmentKind::SelectedText, QStringLiteral("Selected text")),
                                        attachment(AgentAttachmentKind::Screenshot, QStringLiteral("Window screenshot"))},
                                       QStringLiteral("Text Editor"));
    if (answered)
        picture.store().addAssistantMessage(
            QStringLiteral("Hi everyone! Quick heads-up: we're moving the launch to Thursday so we can polish the "
                           "last details. Thanks for your patience, it'll be worth it."),
            id);
    picture.state().setActiveAgentConversationID(id);
    return id;
}

std::shared_ptr<void> toast(QmlScene &scene, bool dark)
{
    auto picture = makePicture(scene);
    picture->state().setOverlayAppearance(dark ? OverlayAppearance::Dark : OverlayAppearance::Light);
    picture->state().setAgentResultText(
        QStringLiteral("Hi everyone! Quick heads-up: we're moving the launch to Thursday so we can polish it."));
    picture->state().setAgentResultNeedsPaste(dark);
    // On a grey backdrop, so both cards show their edges.
    scene.load(R"(
import QtQuick
import Sorvane
Rectangle {
    color: "#8c9099"
    width: 374
    height: 140
    AgentResultToast { x: 12; y: 12 }
}
)");
    return picture;
}

void loadWindow(QmlScene &scene)
{
    scene.load("import Sorvane\nAgentConversationPanelView { width: 560; height: 680 }\n", QSize(560, 680));
}

QList<ScreenshotScene> agentPanelScenes()
{
    QList<ScreenshotScene> scenes;
    scenes << ScreenshotScene{QStringLiteral("command-toast-light"), [](QmlScene &scene) { return toast(scene, false); }};
    scenes << ScreenshotScene{QStringLiteral("command-toast-dark"), [](QmlScene &scene) { return toast(scene, true); }};
    scenes << ScreenshotScene{QStringLiteral("command-conversation-empty"), [](QmlScene &scene) {
                                  auto picture = makePicture(scene);
                                  const QUuid id = QUuid::createUuid();
                                  picture->store().createConversation(id, QStringLiteral("Summarise this page"), {},
                                                                      QStringLiteral("Web Browser"));
                                  picture->state().setActiveAgentConversationID(id);
                                  loadWindow(scene);
                                  return std::shared_ptr<void>(picture);
                              }};
    scenes << ScreenshotScene{QStringLiteral("command-conversation-two-turns"), [](QmlScene &scene) {
                                  auto picture = makePicture(scene);
                                  const QUuid id = firstTurn(*picture, true);
                                  picture->store().addUserMessage(QStringLiteral("Shorter, and keep the thanks"), {}, id);
                                  picture->store().addAssistantMessage(
                                      QStringLiteral("Hi everyone! The launch moves to Thursday. Thanks for your patience!"), id);
                                  picture->model->setFollowUp(QStringLiteral("Add an emoji at the end"));
                                  loadWindow(scene);
                                  return std::shared_ptr<void>(picture);
                              }};
    scenes << ScreenshotScene{QStringLiteral("command-conversation-streaming"), [](QmlScene &scene) {
                                  auto picture = makePicture(scene);
                                  const QUuid id = firstTurn(*picture, true);
                                  picture->store().addUserMessage(QStringLiteral("Shorter, and keep the thanks"), {}, id);
                                  AppState &state = picture->state();
                                  state.setAgentPhase(AgentPhase::LoadingModel);
                                  state.setAgentPhase(AgentPhase::Generating);
                                  state.setAgentStreamedText(QStringLiteral("Hi everyone! The launch moves to Thurs"));
                                  picture->model->flushStream();
                                  loadWindow(scene);
                                  return std::shared_ptr<void>(picture);
                              }};
    scenes << ScreenshotScene{QStringLiteral("command-conversation-error"), [](QmlScene &scene) {
                                  auto picture = makePicture(scene);
                                  firstTurn(*picture, true);
                                  // The camera with a model that takes no images: its message shows in red.
                                  picture->model->attachScreenshot();
                                  picture->model->setFollowUp(QStringLiteral("Look at the chart too"));
                                  loadWindow(scene);
                                  return std::shared_ptr<void>(picture);
                              }};
    scenes << ScreenshotScene{QStringLiteral("command-conversation-missing"), [](QmlScene &scene) {
                                  auto picture = makePicture(scene);
                                  picture->state().setActiveAgentConversationID(QUuid::createUuid());
                                  loadWindow(scene);
                                  return std::shared_ptr<void>(picture);
                              }};
    return scenes;
}

} // namespace

SORVANE_SCREENSHOTS(agentPanelScenes);
