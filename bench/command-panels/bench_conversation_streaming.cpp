// A long answer streamed into the open conversation window, the way a model's deltas
// arrive (a word at a time, one every millisecond): the main thread's longest busy
// stretch (what holds up a frame), the render thread's longest frame, and the time per
// delta early and late in the answer (it should stay flat). Two answers: 4 000 words in
// paragraphs, and 20 000 characters in one paragraph.
#include "BenchTools.h"
#include "State/AppState.h"
#include "Panels/AgentConversationViewModel.h"
#include "Panels/AgentMessageListModel.h"
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

namespace {

struct Figures {
    qsizetype characters = 0;
    qint64 wallMs = 0;
    qint64 longestBusyNs = 0;
    qint64 longestFrameNs = 0;
    double firstDeltasUs = 0;
    double lastDeltasUs = 0;
    bool complete = false;
};

Figures stream(const QStringList &deltas)
{
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
    // From the end of the animations (then come the layouts of the polish) to the swap.
    const auto synchronizing = QObject::connect(window, &QQuickWindow::afterAnimating, window,
                                                [&] { frame.start(); }, Qt::DirectConnection);
    const auto rendered = QObject::connect(window, &QQuickWindow::frameSwapped, window,
                                           [&] { if (frame.isValid()) frameNs.append(frame.nsecsElapsed()); },
                                           Qt::DirectConnection);
    // The deltas are due every millisecond: the longest gap between two of them is the
    // longest the main thread was held up.
    QElapsedTimer sinceLast;
    qint64 longestGapNs = 0;

    state.setAgentPhase(AgentPhase::LoadingModel);
    state.setAgentPhase(AgentPhase::Generating);
    QList<qint64> deltaNs;
    deltaNs.reserve(deltas.size());
    QTimer arrival;
    arrival.setInterval(1);
    QEventLoop loop;
    arrival.setTimerType(Qt::PreciseTimer);
    QObject::connect(&arrival, &QTimer::timeout, [&] {
        if (sinceLast.isValid())
            longestGapNs = std::max(longestGapNs, sinceLast.nsecsElapsed());
        sinceLast.start();
        QElapsedTimer handling;
        handling.start();
        state.appendAgentStreamedText(deltas.at(deltaNs.size()));
        deltaNs.append(handling.nsecsElapsed());
        if (deltaNs.size() == deltas.size()) {
            arrival.stop();
            QTimer::singleShot(100, &loop, &QEventLoop::quit); // the last redraw, then done
        }
    });
    QElapsedTimer wall;
    wall.start();
    arrival.start();
    loop.exec();

    Figures figures;
    figures.wallMs = wall.elapsed();
    figures.characters = state.agentStreamedText().size();
    panel.conversationModel()->flushStream();
    figures.complete = panel.conversationModel()->messages()->streamedText() == state.agentStreamedText();
    figures.longestBusyNs = longestGapNs;
    figures.longestFrameNs = frameNs.isEmpty() ? 0 : *std::max_element(frameNs.begin(), frameNs.end());
    const auto averageUs = [&](qsizetype from, qsizetype count) {
        return std::accumulate(deltaNs.begin() + from, deltaNs.begin() + from + count, qint64(0)) / double(count) / 1000.0;
    };
    figures.firstDeltasUs = averageUs(0, 200);
    figures.lastDeltasUs = averageUs(deltaNs.size() - 200, 200);
    QObject::disconnect(synchronizing);
    QObject::disconnect(rendered);
    return figures;
}

void print(const char *name, const Figures &f)
{
    std::printf("%s: %lld characters, streamed over %lld ms\n", name, static_cast<long long>(f.characters),
                static_cast<long long>(f.wallMs));
    std::printf("  longest main-thread stall:   %.2f ms between deltas due every 1 ms (aim: at most 16 ms)\n", f.longestBusyNs / 1e6);
    std::printf("  longest frame (layout, sync, render): %.2f ms\n", f.longestFrameNs / 1e6);
    std::printf("  per delta: first 200 %.2f us, last 200 %.2f us\n", f.firstDeltasUs, f.lastDeltasUs);
    const QByteArray figure = QByteArray(name) + ": longest frame while it streams";
    bench::printFigure(figure.constData(), {f.longestFrameNs / 1e6}, "ms", "<= 16");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList words = {QStringLiteral("river "), QStringLiteral("stone "), QStringLiteral("lantern "),
                               QStringLiteral("morning "), QStringLiteral("quiet "), QStringLiteral("harbour ")};
    QStringList paragraphs;
    for (int i = 0; i < 4000; ++i)
        paragraphs.append(words.at(i % words.size()) + (i % 60 == 59 ? QStringLiteral("\n\n") : QString()));
    const QStringList onePiece(2000, QStringLiteral("lorem ips "));

    const Figures a = stream(paragraphs);
    const Figures b = stream(onePiece);
    print("4 000 words in paragraphs of 60", a);
    print("20 000 characters in one paragraph", b);
    return a.complete && b.complete ? 0 : 1;
}
