// What the screens read and set through QML reaches the state: value types, optionals,
// enumerations, lists and operations.

#include "TestAppState.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class AppStateQmlTest : public QObject {
    Q_OBJECT

    QVariant evaluate(QQmlEngine &engine, const QString &script)
    {
        QQmlExpression expression(engine.rootContext(), nullptr, script);
        bool undefined = false;
        const QVariant value = expression.evaluate(&undefined);
        if (expression.hasError())
            qWarning() << expression.error().toString();
        return value;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qmlRegisterUncreatableMetaObject(sorvane::staticMetaObject, "Sorvane", 1, 0, "Sorvane",
                                         QStringLiteral("enumerations only"));
    }

    void valuesReadFromQml()
    {
        TestAppState t;
        AppState &state = t.build();
        QQmlEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("appState"), &state);

        QCOMPARE(evaluate(engine, QStringLiteral("appState.status.kind")).toInt(), int(CaptureStatus::Kind::Idle));
        QCOMPARE(evaluate(engine, QStringLiteral("appState.toggleShortcut.displayName")).toString(),
                 QStringLiteral("Alt+Space"));
        QCOMPARE(evaluate(engine, QStringLiteral("appState.selectedModel === null")).toBool(), false);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.selectedModel.id")).toString(), QStringLiteral("pocket"));
        QCOMPARE(evaluate(engine, QStringLiteral("appState.errorResolution === null")).toBool(), true);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.agentSettings.copyResult")).toBool(), true);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.selectedAgentModel.takesImages")).toBool(), false);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.configuredCloudProviders.length")).toInt(), 0);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.isAPIKeyConfigured(0)")).toBool(), true);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.vocabulary.length")).toInt(), 0);
        QCOMPARE(evaluate(engine, QStringLiteral("appState.recorder.samples.length")).toInt(), AudioRecorder::sampleCount);

        state.setStatus(CaptureStatus::error(QStringLiteral("Choose a downloaded model.")));
        QCOMPARE(evaluate(engine, QStringLiteral("appState.status.text")).toString(),
                 QStringLiteral("Choose a downloaded model."));
        state.setErrorResolution(ErrorResolution(QStringLiteral("Choose or download a Dictation model."),
                                                 ErrorResolutionDestination::dictationModels()));
        QCOMPARE(evaluate(engine, QStringLiteral("appState.errorResolution.message")).toString(),
                 QStringLiteral("Choose or download a Dictation model."));
    }

    void valuesSetFromQml()
    {
        TestAppState t;
        AppState &state = t.build();
        QQmlEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("appState"), &state);

        // A changed copy of a value type, assigned back, runs the writer.
        t.log.clear();
        evaluate(engine, QStringLiteral("(function() { var s = appState.agentSettings; s.copyResult = false; "
                                        "appState.agentSettings = s; })()"));
        QCOMPARE(state.agentSettings().copyResult, false);
        QVERIFY(t.log.contains(QStringLiteral("set agentSettings")));

        evaluate(engine, QStringLiteral("(function() { var k = appState.toggleShortcut; k.control = true; "
                                        "appState.toggleShortcut = k; })()"));
        QVERIFY(state.toggleShortcut().control);
        QVERIFY(state.toggleShortcut().option);

        evaluate(engine, QStringLiteral("appState.clipboardRestoreDelay = 90"));
        QCOMPARE(state.clipboardRestoreDelay(), 60);
        evaluate(engine, QStringLiteral("appState.overlaySize = 1"));
        QCOMPARE(state.overlaySize(), OverlaySize::Mini);

        state.setErrorResolution(ErrorResolution(QStringLiteral("x"), ErrorResolutionDestination::permissions()));
        evaluate(engine, QStringLiteral("appState.errorResolution = null"));
        QVERIFY(!state.errorResolution());

        evaluate(engine, QStringLiteral("appState.openAPIKeySettings(2)"));
        QCOMPARE(state.selectedSection(), AppSection::Settings);
        QCOMPARE(state.selectedAPIKeyProvider(), AgentWritingProvider::Gemini);
    }

    void enumerationsByName()
    {
        TestAppState t;
        AppState &state = t.build();
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(QByteArrayLiteral("import QtQuick\n"
                                            "import Sorvane\n"
                                            "QtObject {\n"
                                            "  required property var appState\n"
                                            "  property bool generating: appState.agentPhase === Sorvane.AgentPhase.Generating\n"
                                            "  property bool mini: appState.overlaySize === Sorvane.OverlaySize.Mini\n"
                                            "  function chooseDark() { appState.overlayAppearance = Sorvane.OverlayAppearance.Dark }\n"
                                            "  function chooseLight() { appState.overlayAppearance = Sorvane.OverlayAppearance.Light }\n"
                                            "}\n"),
                          QUrl(QStringLiteral("file:///enumerations.qml")));
        QVERIFY2(component.isReady(), qPrintable(component.errorString()));
        std::unique_ptr<QObject> object(
            component.createWithInitialProperties({{QStringLiteral("appState"), QVariant::fromValue(&state)}}));
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("generating").toBool(), false);

        // Bindings follow the state's NOTIFY signals.
        state.setAgentPhase(AgentPhase::Generating);
        QCOMPARE(object->property("generating").toBool(), true);
        state.setOverlaySize(OverlaySize::Mini);
        QCOMPARE(object->property("mini").toBool(), true);

        QMetaObject::invokeMethod(object.get(), "chooseLight");
        QCOMPARE(state.overlayAppearance(), OverlayAppearance::Light);
    }
};

QTEST_GUILESS_MAIN(AppStateQmlTest)
#include "tst_app_state_qml.moc"
