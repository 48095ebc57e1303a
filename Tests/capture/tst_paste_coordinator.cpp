#include "FakeDesktop.h"
#include "Services/Command/AgentPasteCoordinator.h"

#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

const QList<ClipboardItem> userClipboard = {ClipboardItem{{QStringLiteral("text/plain"), QByteArray("user text")},
                                                          {QStringLiteral("text/html"), QByteArray("<b>user</b>")}}};
const QString answer = QStringLiteral("Answer text");

AgentSettings switches(bool copy, bool paste, bool safeReplace)
{
    AgentSettings settings;
    settings.copyResult = copy;
    settings.automaticPaste = paste;
    settings.safelyReplaceRefinements = safeReplace;
    return settings;
}

} // namespace

class PasteCoordinatorTest : public QObject {
    Q_OBJECT
private:
    FakeDesktop desktop;
    std::unique_ptr<AgentContextCaptureService> service;
    std::unique_ptr<AgentPasteCoordinator> coordinator;

    AgentDeliveryResult deliver(const AgentSettings &settings, const AgentTargetSnapshot &target,
                                std::optional<QString> replacing = {})
    {
        return awaitTask(coordinator->deliver(answer, settings, target, replacing));
    }

private Q_SLOTS:
    void init()
    {
        desktop = FakeDesktop();
        service = std::make_unique<AgentContextCaptureService>(desktop.makePlatform());
        coordinator = std::make_unique<AgentPasteCoordinator>(*service, *desktop.clipboard);
        desktop.clipboard->writeByOtherProgram(userClipboard);
    }
    void cleanup()
    {
        coordinator.reset();
        service.reset();
    }

    // Every way a delivery can go. The field holds "Hello brave new world" with
    // "brave" selected; a refinement replaces "brave", the earlier answer.
    void delivery_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<bool>("safeReplace");
        QTest::addColumn<QString>("refinement"); // "", "intact", "edited", "unselectable"
        QTest::addColumn<bool>("pasteWorks");
        QTest::addColumn<bool>("answerOnClipboard"); // else the user's clipboard
        QTest::addColumn<AgentDeliveryResult>("result");
        QTest::addColumn<bool>("remembersTarget");

        const AgentDeliveryResult nothing{};
        const AgentDeliveryResult needsPaste{false, false, true};
        const AgentDeliveryResult pasted{true, false, false};
        const AgentDeliveryResult replaced{true, true, false};

        QTest::newRow("refinement edited meanwhile") << true << true << true << "edited" << true << true << needsPaste << false;
        QTest::newRow("refinement, safe replace off") << true << true << false << "intact" << true << true << needsPaste
                                                      << false;
        QTest::newRow("refinement cannot be selected") << true << true << true << "unselectable" << true << true
                                                       << needsPaste << false;
        QTest::newRow("copy and paste off") << false << false << true << "" << true << false << nothing << true;
        QTest::newRow("copy only") << true << false << true << "" << true << true << nothing << true;
        QTest::newRow("copy only, refinement intact") << true << false << true << "intact" << true << true << nothing
                                                      << true;
        QTest::newRow("paste failed") << true << true << true << "" << false << true << needsPaste << true;
        QTest::newRow("paste failed, copy off") << false << true << true << "" << false << true << needsPaste << true;
        QTest::newRow("pasted, copy on") << true << true << true << "" << true << true << pasted << true;
        QTest::newRow("pasted, copy off") << false << true << true << "" << true << false << pasted << true;
        QTest::newRow("refinement replaced, copy on") << true << true << true << "intact" << true << true << replaced
                                                      << true;
        QTest::newRow("refinement replaced, copy off") << false << true << true << "intact" << true << false << replaced
                                                       << true;
    }
    void delivery()
    {
        QFETCH(bool, copy);
        QFETCH(bool, paste);
        QFETCH(bool, safeReplace);
        QFETCH(QString, refinement);
        QFETCH(bool, pasteWorks);
        QFETCH(bool, answerOnClipboard);
        QFETCH(AgentDeliveryResult, result);
        QFETCH(bool, remembersTarget);

        const AgentTargetSnapshot target = service->captureTarget();
        std::optional<QString> replacing;
        if (!refinement.isEmpty())
            replacing = QStringLiteral("brave");
        if (refinement == "edited")
            desktop.field.value = QStringLiteral("Hello grave new world");
        if (refinement == "unselectable")
            desktop.accessibility->selectionSettable = false;
        if (!pasteWorks) {
            desktop.windows->frontmost = desktop.other;
            desktop.windows->activationWorks = false;
        }
        // The user has put the caret elsewhere since: a new answer lands there, a
        // refinement where the earlier answer stands.
        desktop.field.selection = {0, 0};

        QCOMPARE(deliver(switches(copy, paste, safeReplace), target, replacing), result);

        const QList<ClipboardItem> expectedClipboard = answerOnClipboard ? QList{textItem(answer)} : userClipboard;
        QCOMPARE(desktop.clipboard->items(), expectedClipboard);
        QCOMPARE(coordinator->lastTarget().has_value(), remembersTarget);
        QCOMPARE(desktop.keystrokes->sent.size(), result.pasted ? 1 : 0);
        // The earlier answer is selected again only when a paste follows.
        const bool reselects = replacing && paste && safeReplace && refinement != "edited";
        QCOMPARE(desktop.accessibility->selectionRequests.size(), reselects ? 1 : 0);
        if (result.replacedPrevious)
            QCOMPARE(desktop.field.value, QStringLiteral("Hello Answer text new world"));
        else if (result.pasted)
            QCOMPARE(desktop.field.value, QStringLiteral("Answer textHello brave new world"));
        else if (refinement != "edited")
            QCOMPARE(desktop.field.value, QStringLiteral("Hello brave new world"));
    }

    void rememberedTargetCoversThePastedAnswer()
    {
        desktop.field.value = QString(40, QLatin1Char('x')) + QStringLiteral("old") + QString(20, QLatin1Char('y'));
        desktop.field.selection = {40, 3};
        const AgentTargetSnapshot target = service->captureTarget();
        const QString twelve = QStringLiteral("twelve units");
        QCOMPARE(twelve.size(), 12);
        QCOMPARE(awaitTask(coordinator->deliver(twelve, switches(true, true, true), target, {})),
                 (AgentDeliveryResult{true, false, false}));
        QCOMPARE(coordinator->lastTarget()->selectedRange, std::optional(TextRange{40, 12}));
        QCOMPARE(coordinator->lastTarget()->application, target.application);

        // The refinement finds the first answer where the remembered range says.
        const auto second = awaitTask(
            coordinator->deliver(QStringLiteral("new"), switches(true, true, true), *coordinator->lastTarget(), twelve));
        QCOMPARE(second, (AgentDeliveryResult{true, true, false}));
        QCOMPARE(desktop.field.value, QString(40, QLatin1Char('x')) + QStringLiteral("new") + QString(20, QLatin1Char('y')));

        // A target without a range is remembered as it was.
        AgentTargetSnapshot plain = target;
        plain.selectedRange.reset();
        deliver(switches(true, true, true), plain);
        QCOMPARE(coordinator->lastTarget(), std::optional(plain));
    }

    // A slow target reads the pasted answer well after the keystroke (and a clipboard
    // manager read it before the keystroke): the old clipboard comes back only after the
    // target has the answer.
    void clipboardReturnsOnlyAfterTheTargetFetchedTheAnswer()
    {
        desktop.pasteFetchDelayMs = 400;
        desktop.clipboard->managerReadsEveryWrite = true;
        const auto result = deliver(switches(false, true, true), service->captureTarget());
        QVERIFY(result.pasted);
        QCOMPARE(desktop.field.value, QStringLiteral("Hello Answer text new world"));
        QCOMPARE(desktop.clipboard->items(), userClipboard);
    }

    void clipboardReturnsAfterABoundedWaitWhenNeverFetched()
    {
        desktop.targetAnswersPaste = false;
        const auto result = deliver(switches(false, true, true), service->captureTarget());
        QVERIFY(result.pasted);
        QCOMPARE(desktop.clipboard->items(), userClipboard);
    }

    void aCopyMadeWhileWaitingIsKept()
    {
        desktop.targetAnswersPaste = false;
        const QList<ClipboardItem> copiedMeanwhile = {textItem(QStringLiteral("copied meanwhile"))};
        QTimer::singleShot(500, desktop.clipboard, [&] { desktop.clipboard->writeByOtherProgram(copiedMeanwhile); });
        QVERIFY(deliver(switches(false, true, true), service->captureTarget()).pasted);
        QCOMPARE(desktop.clipboard->items(), copiedMeanwhile);
    }

    // xterm and its kin insert PRIMARY with Shift+Insert: the answer goes on PRIMARY for
    // the keystroke, and PRIMARY is given back once the terminal has read it, unless
    // someone selected something meanwhile.
    void terminalWithoutClipboardKeysPastesThroughPrimary_data()
    {
        QTest::addColumn<QString>("earlierPrimary"); // "" = nothing on PRIMARY
        QTest::addColumn<int>("fetchDelayMs");       // -1 = the terminal never reads it
        QTest::addColumn<bool>("selectedMeanwhile");
        QTest::addColumn<bool>("inserted");

        QTest::newRow("read at once") << "terminal selection" << 0 << false << true;
        QTest::newRow("read late") << "terminal selection" << 400 << false << true;
        QTest::newRow("nothing was on PRIMARY") << "" << 0 << false << true;
        QTest::newRow("never read") << "terminal selection" << -1 << false << false;
        QTest::newRow("selected meanwhile") << "terminal selection" << -1 << true << false;
    }
    void terminalWithoutClipboardKeysPastesThroughPrimary()
    {
        QFETCH(QString, earlierPrimary);
        QFETCH(int, fetchDelayMs);
        QFETCH(bool, selectedMeanwhile);
        QFETCH(bool, inserted);

        desktop.target.windowClass = QStringLiteral("XTerm");
        desktop.target.windowInstance = QStringLiteral("xterm");
        desktop.windows->applications = {desktop.target, desktop.other};
        desktop.windows->frontmost = desktop.target;
        if (!earlierPrimary.isEmpty())
            desktop.primary->writeByOtherProgram({textItem(earlierPrimary)});
        desktop.targetAnswersPaste = fetchDelayMs >= 0;
        desktop.pasteFetchDelayMs = std::max(fetchDelayMs, 0);
        const QList<ClipboardItem> selection = {textItem(QStringLiteral("selected meanwhile"))};
        if (selectedMeanwhile)
            QTimer::singleShot(300, desktop.primary, [&] { desktop.primary->writeByOtherProgram(selection); });

        const AgentDeliveryResult result = deliver(switches(true, true, true), service->captureTarget());

        QVERIFY(result.pasted);
        KeyChord shiftInsert;
        shiftInsert.key = QStringLiteral("Insert");
        shiftInsert.shift = true;
        QCOMPARE(desktop.keystrokes->sent, QList{shiftInsert});
        QCOMPARE(desktop.field.value, inserted ? QStringLiteral("Hello Answer text new world")
                                               : QStringLiteral("Hello brave new world"));
        QCOMPARE(desktop.clipboard->items(), QList{textItem(answer)});
        const QList<ClipboardItem> primaryAfter = selectedMeanwhile ? selection
                                                  : earlierPrimary.isEmpty() ? QList<ClipboardItem>{}
                                                                             : QList{textItem(earlierPrimary)};
        QCOMPARE(desktop.primary->items(), primaryAfter);
    }

    void copyToClipboardLeavesOnlyThePlainText()
    {
        const qint64 before = desktop.clipboard->changeCount();
        coordinator->copyToClipboard(QStringLiteral("plain"));
        QCOMPARE(desktop.clipboard->items(), QList{textItem(QStringLiteral("plain"))});
        QVERIFY(desktop.clipboard->changeCount() > before);
        QVERIFY(!coordinator->lastTarget());
    }
};

QTEST_GUILESS_MAIN(PasteCoordinatorTest)
#include "tst_paste_coordinator.moc"
