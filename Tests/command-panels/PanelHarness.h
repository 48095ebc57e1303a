#pragma once

#include "State/AppState.h"
#include "Panels/AgentConversationViewModel.h"
#include "Panels/AgentResultPanelController.h"
#include "QmlScene.h"
#include "TestAppState.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace sorvane::testing {

// A test state whose Command panels are the real controller (with the options given
// before build()), and a conversation to show.
struct PanelHarness {
    TestAppState t;
    AgentResultPanelController::Options options;
    AgentResultPanelController *panel = nullptr;

    PanelHarness()
    {
        // As the program does: the windows come and go, the program stays.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        options.systemPrefersDark = [] { return false; };
        t.resultPanelFactory = [this](AppState &state) -> std::unique_ptr<AgentResultPresenter> {
            auto controller = std::make_unique<AgentResultPanelController>(state, options);
            panel = controller.get();
            return controller;
        };
    }

    AppState &build()
    {
        AppState &state = t.build();
        state.agentResultController();
        return state;
    }
    AppState &state() { return t.state(); }
    AgentConversationStore &store() { return *t.agentConversationStore; }

    QUuid addConversation(const QString &instruction, const QString &answer = {})
    {
        const QUuid id = QUuid::createUuid();
        store().createConversation(id, instruction, {}, QStringLiteral("Text Editor"));
        if (!answer.isEmpty())
            store().addAssistantMessage(answer, id);
        return id;
    }

    QQuickItem *toastItem(const QString &name) const
    {
        return qobject_cast<QQuickItem *>(test::QmlScene::findObject(panel->toastWindow()->contentItem(), name));
    }
    QQuickItem *conversationItem(const QString &name) const
    {
        return qobject_cast<QQuickItem *>(
            test::QmlScene::findObject(panel->conversationWindow()->contentItem(), name));
    }
    // Whether the item and its ancestors are visible.
    static bool isShown(const QQuickItem *item)
    {
        return item && item->isVisible();
    }
    static void click(QQuickItem *item)
    {
        QVERIFY(item);
        QVERIFY(item->isVisible());
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre);
    }
};

} // namespace sorvane::testing
