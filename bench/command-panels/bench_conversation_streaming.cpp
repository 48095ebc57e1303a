// A long answer streamed into the open conversation window, the way a model's deltas
// arrive (a word at a time, one every millisecond): the main thread's longest busy
// stretch (what holds up a frame), the render thread's longest frame, and the time per
// delta early and late in the answer (it should stay flat). Two answers: 4 000 words in
// paragraphs, and 20 000 characters in one paragraph, each streamed three times.
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
#include <array>
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
    qsizetype frames = 0;
    double medianFrameMs = 0;
    double p95FrameMs = 0;
    std::array<double, 3> longestPhasesMs{}; // polish, sync, render of the longest frame
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
    // Where each frame's time went: the polish (layouts), the sync, the render.
    struct Phases { qint64 polish = 0, sync = 0, render = 0; };
    QList<Phases> phases;
    Phases current;
    QElapsedTimer frame;
    // From the end of the animations (then come the layouts of the polish) to the swap.
    const auto synchronizing = QObject::connect(window, &QQuickWindow::afterAnimating, window,
                                                [&] { frame.start(); current = {}; }, Qt::DirectConnection);
    const auto polished = QObject::connect(window, &QQuickWindow::beforeSynchronizing, window,
                                           [&] { if (frame.isValid()) current.polish = frame.nsecsElapsed(); },
                                           Qt::DirectConnection);
    const auto synced = QObject::connect(window, &QQuickWindow::afterSynchronizing, window,
                                         [&] { if (frame.isValid()) current.sync = frame.nsecsElapsed(); },
                                         Qt::DirectConnection);
    const auto drawn = QObject::connect(window, &QQuickWindow::afterRendering, window,
                                        [&] { if (frame.isValid()) current.render = frame.nsecsElapsed(); },
                                        Qt::DirectConnection);
    const auto rendered = QObject::connect(window, &QQuickWindow::frameSwapped, window,
                                           [&] {
                                               if (!frame.isValid())
                                                   return;
                                               frameNs.append(frame.nsecsElapsed());
                                               phases.append({current.polish, current.sync - current.polish,
                                                              current.render - current.sync});
                                           },
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
    if (!frameNs.isEmpty()) {
        const qsizetype longest = std::max_element(frameNs.begin(), frameNs.end()) - frameNs.begin();
        figures.longestPhasesMs = {phases.at(longest).polish / 1e6, phases.at(longest).sync / 1e6,
                                   phases.at(longest).render / 1e6};
        QList<qint64> sorted = frameNs;
        std::sort(sorted.begin(), sorted.end());
        figures.frames = sorted.size();
        figures.medianFrameMs = sorted.at(sorted.size() / 2) / 1e6;
        figures.p95FrameMs = sorted.at(sorted.size() * 95 / 100) / 1e6;
    }
    const auto averageUs = [&](qsizetype from, qsizetype count) {
        return std::accumulate(deltaNs.begin() + from, deltaNs.begin() + from + count, qint64(0)) / double(count) / 1000.0;
    };
    figures.firstDeltasUs = averageUs(0, 200);
    figures.lastDeltasUs = averageUs(deltaNs.size() - 200, 200);
    for (const auto &connection : {synchronizing, polished, synced, drawn, rendered})
        QObject::disconnect(connection);
    return figures;
}

void print(const char *name, const Figures &f)
{
    std::printf("%s: %lld characters, streamed over %lld ms\n", name, static_cast<long long>(f.characters),
                static_cast<long long>(f.wallMs));
    std::printf("  longest main-thread stall:   %.2f ms between deltas due every 1 ms (aim: at most 16 ms)\n", f.longestBusyNs / 1e6);
    std::printf("  longest frame (layout, sync, render): %.2f ms (%.2f + %.2f + %.2f)\n", f.longestFrameNs / 1e6,
                f.longestPhasesMs[0], f.longestPhasesMs[1], f.longestPhasesMs[2]);
    std::printf("  frames: %lld, median %.2f ms, 95th percentile %.2f ms\n", static_cast<long long>(f.frames),
                f.medianFrameMs, f.p95FrameMs);
    std::printf("  per delta: first 200 %.2f us, last 200 %.2f us\n", f.firstDeltasUs, f.lastDeltasUs);
}

// Streams the answer a few times; the figure is the longest frame of each run.
bool measure(const char *name, const QStringList &deltas)
{
    constexpr int runs = 3;
    QList<double> longest;
    bool complete = true;
    for (int run = 0; run < runs; ++run) {
        const Figures figures = stream(deltas);
        print(name, figures);
        longest.append(figures.longestFrameNs / 1e6);
        complete = complete && figures.complete;
    }
    const QByteArray figure = QByteArray(name) + ": longest frame while it streams";
    bench::printFigure(figure.constData(), longest, "ms", "<= 16");
    return complete;
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
    const QStringList onePieceDeltas(2000, QStringLiteral("lorem ips "));

    const bool paragraphed = measure("4 000 words in paragraphs of 60", paragraphs);
    const bool onePiece = measure("20 000 characters in one paragraph", onePieceDeltas);
    return paragraphed && onePiece ? 0 : 1;
}
