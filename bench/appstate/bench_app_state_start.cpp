// Start to a constructed application state (stores loaded, settings migrated and read,
// hot keys registered, runtime launch requested) with a large history and many
// conversations on disk. System services are the tests' fakes; stores, settings file
// and runtime process are real.
#include "Shared/AppPaths.h"
#include "Platform/SettingsStore.h"
#include "Support/StoredJson.h"
#include "TestAppState.h"
#include "BenchTools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace sorvane;
using namespace sorvane::testing;
using namespace sorvane::bench;

namespace {

void writeConversations(int count)
{
    AgentConversationStore store(AgentConversationStore::defaultOptions());
    for (int i = 0; i < count; ++i) {
        const QUuid id = QUuid::createUuid();
        store.createConversation(id, QStringLiteral("Rewrite this paragraph so that it reads more clearly, number %1").arg(i),
                                 {}, QStringLiteral("Editor"));
        store.addAssistantMessage(QStringLiteral("Here is the paragraph, rewritten to read more clearly. ").repeated(8), id);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    QCoreApplication app(argc, argv);
    (void)AppPaths::prepare();

    constexpr int historyRecords = 10000;
    constexpr int conversations = 200;
    writeHistory(AppPaths::history(), historyRecords);
    writeConversations(conversations);

    std::printf("application state start: %d history records, %d conversations on disk; median of 7 runs "
                "(aim: < 250 ms)\n",
                historyRecords, conversations);
    QList<double> totals;
    for (int run = 0; run < 7; ++run) {
        JsonFileSettingsStore settings(JsonFileSettingsStore::defaultPath());
        TestAppState t;
        t.storesAtDefaultLocations = true;
        t.settingsOverride = &settings;
        // A program that stays up reading its input stands in for the runtime.
        t.runtimeExecutable = QStringLiteral("/bin/cat");
        QElapsedTimer clock;
        clock.start();
        AppState &state = t.build();
        totals.append(clock.nsecsElapsed() / 1e6);
        if (state.historyStore().items().size() != historyRecords
            || state.agentConversationStore().conversations().size() != conversations
            || t.fakes.hotKeys->registrations.isEmpty() || t.runtime->processId() <= 0) {
            std::fprintf(stderr, "the state did not start as expected\n");
            return 1;
        }
    }
    std::printf("%18s %10.1f\n", "start ms (median)", median(totals));
    std::printf("%18s %10.1f\n", "start ms (slowest)", *std::max_element(totals.begin(), totals.end()));
    return 0;
}
