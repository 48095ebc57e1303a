#include "QmlScene.h"
#include "ShortcutCapture.h"
#include "TestAppState.h"

#include <QKeyEvent>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;
using sorvane::test::QmlScene;

namespace {

constexpr quint32 ControlMask = 4, Mod1Mask = 8;

QByteArray areaScene(const char *area)
{
    return QByteArray("import QtQuick\nimport Sorvane\nItem { width: 720; height: 2000\n") + "    " + area
        + " { id: area; width: 700 }\n}\n";
}

void click(QmlScene &scene, const QString &objectName)
{
    QQuickItem *item = scene.find(objectName);
    QVERIFY2(item, qPrintable(objectName));
    QTest::mouseClick(scene.window(), Qt::LeftButton, {}, item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
}

} // namespace

class SettingsAreasTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> t;
    std::unique_ptr<QmlScene> scene;

    AppState &load(const char *area)
    {
        AppState &state = t->build();
        scene = std::make_unique<QmlScene>(&state);
        if (!scene->load(areaScene(area)))
            qWarning("%s", scene->errors());
        scene->window()->requestActivate();
        (void)QTest::qWaitForWindowActive(scene->window());
        return state;
    }

    int settingsWrites(const QString &key) const
    {
        return int(t->log.count(QStringLiteral("set ") + key));
    }

private Q_SLOTS:
    void init() { t = std::make_unique<TestAppState>(); }
    void cleanup()
    {
        scene.reset();
        t.reset();
    }

    void theDimmingTable_data()
    {
        QTest::addColumn<bool>("paste");
        QTest::addColumn<bool>("restore");
        QTest::addColumn<bool>("switchEnabled");
        QTest::addColumn<bool>("stepperEnabled");
        QTest::newRow("paste off") << false << true << false << false;
        QTest::newRow("paste on, restore off") << true << false << true << false;
        QTest::newRow("both on") << true << true << true << true;
    }
    void theDimmingTable()
    {
        QFETCH(bool, paste);
        QFETCH(bool, restore);
        QFETCH(bool, switchEnabled);
        QFETCH(bool, stepperEnabled);
        AppState &state = load("BehaviourArea");
        QVERIFY2(scene->root(), scene->errors());
        state.setAutomaticPaste(paste);
        state.setClipboardRestoreEnabled(restore);
        QCOMPARE(scene->read("restoreSwitch", "enabled").toBool(), switchEnabled);
        QCOMPARE(scene->read("restoreSwitch", "opacity").toDouble(), switchEnabled ? 1.0 : 0.46);
        QCOMPARE(scene->read("restoreDelayStepper", "enabled").toBool(), stepperEnabled);
        QCOMPARE(scene->read("restoreDelayStepper", "opacity").toDouble(), stepperEnabled ? 1.0 : 0.46);
        // The rows' texts are never dimmed.
        QCOMPARE(scene->find("restoreDelayRow")->opacity(), 1.0);
        QCOMPARE(scene->read("restoreDelayStepper", "from").toInt(), 1);
        QCOMPARE(scene->read("restoreDelayStepper", "to").toInt(), 60);
    }

    void reasoningRowsFollowTheProviderWithoutWriting()
    {
        AppState &state = load("BehaviourArea");
        QVERIFY2(scene->root(), scene->errors());
        QVERIFY(!scene->isShown("reasoningRow"));
        AgentSettings settings = state.agentSettings();
        settings.writingProvider = AgentWritingProvider::OpenAI;
        settings.openAIReasoningEffort = AgentReasoningEffort::Minimal;
        t->log.clear();
        state.setAgentSettings(settings);
        QVERIFY(scene->isShown("reasoningRow"));
        QCOMPARE(scene->read("reasoningPicker", "count").toInt(), 7);
        QCOMPARE(scene->read("reasoningPicker", "currentIndex").toInt(), -1);
        QCOMPARE(scene->read("reasoningRow", "detail").toString(),
                 QStringLiteral("No extra thinking \u2014 the fastest responses"));
        settings.writingProvider = AgentWritingProvider::Mistral;
        state.setAgentSettings(settings);
        QCOMPARE(scene->read("reasoningPicker", "count").toInt(), 3);
        QCOMPARE(scene->read("reasoningRow", "title").toString(), QStringLiteral("Mistral thinking level"));
        // Only the two assignments above were stored: the picker wrote nothing back.
        QCoreApplication::processEvents();
        QCOMPARE(settingsWrites(QStringLiteral("agentSettings")), 2);
    }

    void exactlyOneTileIsSelected()
    {
        AppState &state = load("BehaviourArea");
        QVERIFY2(scene->root(), scene->errors());
        auto selected = [&] {
            return QList<bool>{scene->read("sizeTile_0", "selected").toBool(),
                               scene->read("sizeTile_1", "selected").toBool()};
        };
        QCOMPARE(selected(), (QList<bool>{state.overlaySize() == OverlaySize::Classic,
                                          state.overlaySize() == OverlaySize::Mini}));
        state.setOverlaySize(OverlaySize::Classic);
        QCOMPARE(selected(), (QList<bool>{true, false}));
        click(*scene, QStringLiteral("sizeTile_1"));
        QCOMPARE(state.overlaySize(), OverlaySize::Mini);
        QCOMPARE(selected(), (QList<bool>{false, true}));
    }

    void resetWorksBeforeTheOverlayWasEverShown()
    {
        load("BehaviourArea");
        QVERIFY2(scene->root(), scene->errors());
        QVERIFY(!t->overlay);
        QVERIFY(QMetaObject::invokeMethod(scene->find("resetOverlay"), "clicked"));
        QVERIFY(t->overlay);
        QCOMPARE(t->overlay->calls, QStringList{QStringLiteral("resetPosition")});
    }

    void aRefusedShortcutSaysWhyAndANewOneIsRecorded()
    {
        t->fakes.hotKeys->takenElsewhere.append({49, HotKeyModifier::Option});
        AppState &state = load("ShortcutsArea");
        QVERIFY2(scene->root(), scene->errors());
        QCOMPARE(scene->find("toggleRecorder")->findChild<QQuickItem *>("recorderHint")->property("text").toString(),
                 QStringLiteral("In use by another program"));
        // Four rows: no writing model that takes images.
        QVERIFY(!scene->isShown("agentScreenshotRow"));

        auto *capture = scene->find("toggleRecorder")->findChild<ShortcutCapture *>("recorderButton");
        QVERIFY(capture);
        click(*scene, QStringLiteral("toggleRecorder"));
        QTRY_VERIFY(capture->isCapturing());
        QVERIFY(state.hotKeysSuspended());
        QVERIFY(t->fakes.hotKeys->registrations.isEmpty());
        QCOMPARE(capture->findChild<QQuickItem *>("recorderTitle")->property("text").toString(),
                 QStringLiteral("Press keys\u2026"));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier, 40, 0,
                        ControlMask | Mod1Mask);
        QCoreApplication::sendEvent(scene->window(), &press);
        QCOMPARE(state.toggleShortcut().displayName(), QStringLiteral("Ctrl+Alt+D"));
        QVERIFY(!state.hotKeysSuspended());
        QVERIFY(t->fakes.hotKeys->key(2, HotKeyModifier::Control | HotKeyModifier::Option));
        QCOMPARE(scene->find("toggleRecorder")->findChild<QQuickItem *>("recorderHint")->property("text").toString(),
                 QString());
    }

    void typingAProfileNameKeepsItsEditor()
    {
        AppState &state = load("ShortcutsArea");
        QVERIFY2(scene->root(), scene->errors());
        QVERIFY(!scene->isShown("profileEditors"));
        click(*scene, QStringLiteral("addProfile"));
        QTRY_VERIFY(scene->isShown("profileEditor_0"));
        QQuickItem *field = scene->find("profileEditor_0")->findChild<QQuickItem *>("profileName");
        QVERIFY(field);
        field->forceActiveFocus();
        field->setProperty("text", QString());
        t->log.clear();
        for (char c : {'M', 'a', 'i', 'l'})
            QTest::keyClick(scene->window(), c);
        QCOMPARE(state.agentSettings().promptProfiles.first().name, QStringLiteral("Mail"));
        // The same editor, still focused; nothing was grabbed again.
        QCOMPARE(scene->find("profileEditor_0")->findChild<QQuickItem *>("profileName"), field);
        QVERIFY(field->hasActiveFocus());
        QVERIFY(!t->log.join(' ').contains(QLatin1String("hotkey")));
        QCOMPARE(settingsWrites(QStringLiteral("agentSettings")), 4);
    }
};

QTEST_MAIN(SettingsAreasTest)
#include "tst_settings_areas.moc"
