// A 20 000-character answer streamed in 2 000 deltas into the open conversation window:
// the main thread's time for the deltas and for the frames, the longest frame, and the
// time per delta early and late in the answer (it should stay flat).
#include "State/AppState.h"
#include "Panels/AgentConversationViewModel.h"
#include "Panels/AgentResultPanelController.h"
#include "TestAppState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QQuickWindow>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <numeric>

using namespace sorvane;

int main(int argc, char **argv)
{
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    constexpr int deltas = 2000;
    constexpr int deltaLength = 10;

    testing::TestAppState t;
    AppState &state = t.build();
    AgentResultPanelController::Options options;
    options.systemPrefersDark = [] { return false; };
    options.activeWindowCentre = [] { return std::optional<QPoint>(); };
    AgentResultPanelController panel(state, options);
    const QUuid id = QUuid::createUuid();
    t.agentConversationStore->createConversation(id, QStringLiteral("Write a long story"), {}, QStringLiteral("Editor"));
    state.openAgentConversation(id);
    panel.ensureConversationWindow();
    panel.presentConversationPanel();
    QQuickWindow *window = panel.conversationWindow();

    QList<qint64> frameNs;
    QElapsedTimer frame;
    QObject::connect(window, &QQuickWindow::beforeSynchronizing, window, [&] { frame.start(); }, Qt::DirectConnection);
    QObject::connect(window, &QQuickWindow::afterRendering, window, [&] { frameNs.append(frame.nsecsElapsed()); },
                     Qt::DirectConnection);

    state.setAgentPhase(AgentPhase::LoadingModel);
    state.setAgentPhase(AgentPhase::Generating);

    // Words of ten characters, the way a model's deltas arrive: one every millisecond.
    const QString delta = QStringLiteral("lorem ips ");
    QList<qint64> deltaNs;
    deltaNs.reserve(deltas);
    QTimer arrival;
    arrival.setInterval(1);
    QObject::connect(&arrival, &QTimer::timeout, [&] {
        QElapsedTimer handling;
        handling.start();
        state.appendAgentStreamedText(delta);
        deltaNs.append(handling.nsecsElapsed());
        if (deltaNs.size() == deltas) {
            arrival.stop();
            // The last redraw, then done.
            QTimer::singleShot(100, &app, &QCoreApplication::quit);
        }
    });
    QElapsedTimer wall;
    wall.start();
    arrival.start();
    app.exec();
    const qint64 wallMs = wall.elapsed();
    const QString answer = state.agentStreamedText();
    panel.conversationModel()->flushStream();

    const auto sum = [](const QList<qint64> &values) { return std::accumulate(values.begin(), values.end(), qint64(0)); };
    const auto averageUs = [](const QList<qint64> &values, qsizetype from, qsizetype count) {
        qint64 total = 0;
        for (qsizetype i = from; i < from + count; ++i)
            total += values[i];
        return double(total) / double(count) / 1000.0;
    };
    const qint64 longestFrame = frameNs.isEmpty() ? 0 : *std::max_element(frameNs.begin(), frameNs.end());

    std::printf("answer: %lld characters in %d deltas, streamed over %lld ms\n",
                static_cast<long long>(answer.size()), deltas, static_cast<long long>(wallMs));
    std::printf("main thread: %.1f ms for the deltas, %.1f ms for %lld frames\n", sum(deltaNs) / 1e6,
                sum(frameNs) / 1e6, static_cast<long long>(frameNs.size()));
    std::printf("longest frame: %.2f ms (aim: at most 16 ms)\n", longestFrame / 1e6);
    std::printf("per delta: first 200 %.2f us, last 200 %.2f us\n", averageUs(deltaNs, 0, 200),
                averageUs(deltaNs, deltas - 200, 200));
    std::printf("bubble text at the end: %lld characters\n",
                static_cast<long long>(panel.conversationModel()->messages()->streamedText().size()));
    return answer.size() == deltas * deltaLength ? 0 : 1;
}
