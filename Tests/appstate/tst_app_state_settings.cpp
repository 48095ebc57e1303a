#include "TestAppState.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

namespace {

SettingValue settingValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool: return value.toBool();
    case QMetaType::LongLong: return value.toLongLong();
    case QMetaType::Double: return value.toDouble();
    case QMetaType::QStringList: return value.toStringList();
    case QMetaType::QByteArray: return value.toByteArray();
    default: return value.toString();
    }
}

KeyboardShortcutSetting storedShortcut(TestAppState &t, const QString &key)
{
    const auto bytes = t.fakes.settings->bytesValue(key);
    if (!bytes)
        return {};
    return KeyboardShortcutSetting::fromJson(QJsonDocument::fromJson(*bytes).object()).value_or(KeyboardShortcutSetting{});
}

bool registered(const TestAppState &t, quint32 id) { return t.fakes.hotKeys->registration(id) != nullptr; }

} // namespace

class AppStateSettingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readingStoredValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("expected"); // the property's value as text

        const auto row = [](const char *name, const char *key, const QVariant &stored, const char *property,
                            const char *expected) {
            QTest::newRow(name) << QString::fromLatin1(key) << stored << QByteArray(property)
                                << QString::fromUtf8(expected);
        };
        row("delay absent", "clipboardRestoreDelay", {}, "clipboardRestoreDelay", "3");
        row("delay in range", "clipboardRestoreDelay", qint64(7), "clipboardRestoreDelay", "7");
        row("delay too long", "clipboardRestoreDelay", qint64(90), "clipboardRestoreDelay", "60");
        row("delay zero", "clipboardRestoreDelay", qint64(0), "clipboardRestoreDelay", "1");
        row("delay as text", "clipboardRestoreDelay", QStringLiteral("5"), "clipboardRestoreDelay", "3");
        row("delay as a fraction", "clipboardRestoreDelay", 5.5, "clipboardRestoreDelay", "3");
        row("appearance absent", "overlayAppearance", {}, "overlayAppearance", "Dark");
        row("appearance automatic", "overlayAppearance", QStringLiteral("Automatic"), "overlayAppearance", "Automatic");
        row("appearance light", "overlayAppearance", QStringLiteral("Light"), "overlayAppearance", "Light");
        row("appearance unknown", "overlayAppearance", QStringLiteral("Sepia"), "overlayAppearance", "Dark");
        row("size mini", "overlaySize", QStringLiteral("Mini"), "overlaySize", "Mini");
        row("size in other case", "overlaySize", QStringLiteral("mini"), "overlaySize", "Classic");
        row("sound absent", "completionSound", {}, "completionSound", "GlassChime");
        row("sound soft pop", "completionSound", QStringLiteral("Soft pop"), "completionSound", "SoftPop");
        row("sound gentle tap", "completionSound", QStringLiteral("Gentle tap"), "completionSound", "GentleTap");
        row("sound by its file name", "completionSound", QStringLiteral("Tink"), "completionSound", "GlassChime");
        row("paste absent", "automaticPaste", {}, "automaticPaste", "true");
        row("paste off", "automaticPaste", false, "automaticPaste", "false");
        row("paste as a number", "automaticPaste", qint64(0), "automaticPaste", "true");
        row("sound switch as text", "completionSoundEnabled", QStringLiteral("false"), "completionSoundEnabled", "true");
        row("sound switch off", "completionSoundEnabled", false, "completionSoundEnabled", "false");
        row("onboarding absent", "onboardingComplete", {}, "onboardingComplete", "false");
        row("onboarding as a number", "onboardingComplete", qint64(1), "onboardingComplete", "true");
        row("onboarding as text", "onboardingComplete", QStringLiteral("YES"), "onboardingComplete", "true");
        row("restore as text no", "clipboardRestoreEnabled", QStringLiteral("no"), "clipboardRestoreEnabled", "false");
        row("smart dictation key", "smartDictation", true, "smartDictationEnabled", "true");
        row("smart dictation by the property name", "smartDictationEnabled", true, "smartDictationEnabled", "false");
        row("model absent", "selectedModelID", {}, "selectedModelID", "pocket");
        row("model stored", "selectedModelID", QStringLiteral("balanced"), "selectedModelID", "balanced");
        row("vocabulary", "vocabulary", QStringList{QStringLiteral("Qt"), QStringLiteral("Sorvane")}, "vocabulary",
            "Qt,Sorvane");
        row("vocabulary of another type", "vocabulary", QStringLiteral("Qt"), "vocabulary", "");
    }

    void readingStoredValues()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QByteArray, property);
        QFETCH(QString, expected);

        TestAppState t;
        if (stored.isValid())
            t.fakes.settings->values.insert(key, settingValue(stored));
        AppState &state = t.build();

        const QVariant value = state.property(property.constData());
        const QString text = value.metaType() == QMetaType::fromType<QStringList>() ? value.toStringList().join(',')
                                                                                   : value.toString();
        QCOMPARE(text, expected);
        // Reading stores nothing (the migration flag is the migration's own).
        QCOMPARE(t.log.filter(QStringLiteral("set ")), QStringList{QStringLiteral("set didMigrateProductIdentityToSorvane")});
    }

    void shortcutsReadWithTheirFallbacks()
    {
        TestAppState t;
        const auto finish = shortcut(12, QStringLiteral("Q"), true, true, false);
        finish.save(*t.fakes.settings, QStringLiteral("finishShortcut"));
        t.fakes.settings->values.insert(QStringLiteral("toggleShortcut"), QByteArrayLiteral("{not json"));
        AppState &state = t.build();

        QCOMPARE(state.toggleShortcut(), shortcut(49, QStringLiteral("Space"), true, false, false));
        QCOMPARE(state.pushToTalkShortcut(), shortcut(49, QStringLiteral("Space"), true, true, false));
        QCOMPARE(state.agentShortcut(), shortcut(49, QStringLiteral("Space"), true, false, true));
        QCOMPARE(state.agentScreenshotShortcut(), shortcut(49, QStringLiteral("Space"), true, true, true));
        // No cancel shortcut stored: the older finish shortcut stands in.
        QCOMPARE(state.cancelShortcut(), finish);

        const auto escape = shortcut(53, QStringLiteral("Esc"), false, false, false);
        state.setCancelShortcut(escape);
        QCOMPARE(storedShortcut(t, QStringLiteral("cancelShortcut")), escape);
        QCOMPARE(storedShortcut(t, QStringLiteral("finishShortcut")), finish);
    }

    void cancelShortcutDefaultsToEscape()
    {
        TestAppState t;
        AppState &state = t.build();
        QCOMPARE(state.cancelShortcut(), shortcut(53, QStringLiteral("Esc"), false, false, false));
    }

    void undecodableCommandSettingsGiveTheDefaults()
    {
        TestAppState t;
        t.fakes.settings->values.insert(QStringLiteral("agentSettings"), QByteArrayLiteral("{\"writingProvider\":\"teletype\"}"));
        AppState &state = t.build();
        QCOMPARE(state.agentSettings(), AgentSettings::defaults());
    }

    void clampingOnAssignment_data()
    {
        QTest::addColumn<int>("assigned");
        QTest::addColumn<int>("expected");
        QTest::newRow("zero") << 0 << 1;
        QTest::newRow("negative") << -5 << 1;
        QTest::newRow("lowest") << 1 << 1;
        QTest::newRow("highest") << 60 << 60;
        QTest::newRow("above") << 61 << 60;
    }

    void clampingOnAssignment()
    {
        QFETCH(int, assigned);
        QFETCH(int, expected);
        TestAppState t;
        AppState &state = t.build();
        state.setClipboardRestoreDelay(assigned);
        QCOMPARE(state.clipboardRestoreDelay(), expected);
        QCOMPARE(t.fakes.settings->integerValue(QStringLiteral("clipboardRestoreDelay")), qint64(expected));
    }

    void migrationCopiesTheEarlierSettingsOnce()
    {
        TestAppState t;
        t.withLegacySettings = true;
        t.legacySettings.values.insert(QStringLiteral("overlaySize"), QStringLiteral("Mini"));
        t.legacySettings.values.insert(QStringLiteral("clipboardRestoreDelay"), qint64(9));
        t.legacySettings.values.insert(QStringLiteral("someOtherKey"), qint64(5));
        t.fakes.settings->values.insert(QStringLiteral("clipboardRestoreDelay"), qint64(4));
        const auto legacyBefore = t.legacySettings.values;
        AppState &state = t.build();

        // Copied before the first read, overwriting, unknown keys too.
        QCOMPARE(state.overlaySize(), OverlaySize::Mini);
        QCOMPARE(state.clipboardRestoreDelay(), 9);
        QCOMPARE(t.fakes.settings->integerValue(QStringLiteral("someOtherKey")), qint64(5));
        QCOMPARE(t.fakes.settings->boolValue(QStringLiteral("didMigrateProductIdentityToSorvane")), true);
        // The earlier settings are never changed.
        QCOMPARE(t.legacySettings.values, legacyBefore);
        QCOMPARE(t.legacySettings.writes, 0);
    }

    void migrationDoesNotRunTwice()
    {
        TestAppState t;
        t.withLegacySettings = true;
        t.legacySettings.values.insert(QStringLiteral("overlaySize"), QStringLiteral("Mini"));
        t.fakes.settings->values.insert(QStringLiteral("didMigrateProductIdentityToSorvane"), true);
        AppState &state = t.build();
        QCOMPARE(state.overlaySize(), OverlaySize::Classic);
        QVERIFY(!t.fakes.settings->contains(QStringLiteral("overlaySize")));
    }

    void migrationWithoutEarlierSettingsStillMarksItself()
    {
        TestAppState t;
        t.withLegacySettings = true;
        t.build();
        QCOMPARE(t.fakes.settings->boolValue(QStringLiteral("didMigrateProductIdentityToSorvane")), true);
    }

    void writersStoreEveryAssignmentAndNotifyOnChange_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("same");
        QTest::addColumn<QVariant>("other");
        QTest::addColumn<QString>("storedOther");

        QTest::newRow("paste") << QByteArray("automaticPaste") << QStringLiteral("automaticPaste") << QVariant(true)
                               << QVariant(false) << QStringLiteral("false");
        QTest::newRow("restore") << QByteArray("clipboardRestoreEnabled") << QStringLiteral("clipboardRestoreEnabled")
                                 << QVariant(false) << QVariant(true) << QStringLiteral("true");
        QTest::newRow("smart dictation") << QByteArray("smartDictationEnabled") << QStringLiteral("smartDictation")
                                         << QVariant(false) << QVariant(true) << QStringLiteral("true");
        QTest::newRow("onboarding") << QByteArray("onboardingComplete") << QStringLiteral("onboardingComplete")
                                    << QVariant(false) << QVariant(true) << QStringLiteral("true");
        QTest::newRow("model") << QByteArray("selectedModelID") << QStringLiteral("selectedModelID")
                               << QVariant(QStringLiteral("pocket")) << QVariant(QStringLiteral("balanced"))
                               << QStringLiteral("balanced");
        QTest::newRow("appearance") << QByteArray("overlayAppearance") << QStringLiteral("overlayAppearance")
                                    << QVariant::fromValue(OverlayAppearance::Dark)
                                    << QVariant::fromValue(OverlayAppearance::Automatic) << QStringLiteral("Automatic");
        QTest::newRow("size") << QByteArray("overlaySize") << QStringLiteral("overlaySize")
                              << QVariant::fromValue(OverlaySize::Classic) << QVariant::fromValue(OverlaySize::Mini)
                              << QStringLiteral("Mini");
        QTest::newRow("sound") << QByteArray("completionSound") << QStringLiteral("completionSound")
                               << QVariant::fromValue(CompletionSound::GlassChime)
                               << QVariant::fromValue(CompletionSound::SoftPop) << QStringLiteral("Soft pop");
        QTest::newRow("delay") << QByteArray("clipboardRestoreDelay") << QStringLiteral("clipboardRestoreDelay")
                               << QVariant(3) << QVariant(12) << QStringLiteral("12");
        QTest::newRow("vocabulary") << QByteArray("vocabulary") << QStringLiteral("vocabulary")
                                    << QVariant(QStringList()) << QVariant(QStringList{QStringLiteral("Qt")})
                                    << QStringLiteral("Qt");
    }

    void writersStoreEveryAssignmentAndNotifyOnChange()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, key);
        QFETCH(QVariant, same);
        QFETCH(QVariant, other);
        QFETCH(QString, storedOther);

        TestAppState t;
        AppState &state = t.build();
        const QMetaProperty meta = state.metaObject()->property(state.metaObject()->indexOfProperty(property));
        QSignalSpy notified(&state, meta.notifySignal());

        // The value it already has: stored all the same, not announced.
        t.log.clear();
        QVERIFY(state.setProperty(property.constData(), same));
        QCOMPARE(t.log, QStringList{QStringLiteral("set ") + key});
        QCOMPARE(notified.count(), 0);

        QVERIFY(state.setProperty(property.constData(), other));
        QCOMPARE(notified.count(), 1);
        const auto stored = t.fakes.settings->value(key).value();
        QString storedText;
        if (const auto *flag = std::get_if<bool>(&stored))
            storedText = *flag ? QStringLiteral("true") : QStringLiteral("false");
        else if (const auto *number = std::get_if<qint64>(&stored))
            storedText = QString::number(*number);
        else if (const auto *text = std::get_if<QString>(&stored))
            storedText = *text;
        else if (const auto *list = std::get_if<QStringList>(&stored))
            storedText = list->join(',');
        QCOMPARE(storedText, storedOther);
    }

    void choosingAnotherModelClearsTheOnboardingWait()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setPendingPreferredSpeechModelID(QStringLiteral("balanced"));
        state.setSelectedModelID(QStringLiteral("balanced"));
        QCOMPARE(state.pendingPreferredSpeechModelID(), std::optional<QString>(QStringLiteral("balanced")));
        state.setSelectedModelID(QStringLiteral("pocket"));
        QCOMPARE(state.pendingPreferredSpeechModelID(), std::nullopt);
    }

    void switchingSoundsOffStopsThePlayingSound()
    {
        TestAppState t;
        AppState &state = t.build();
        state.playCompletionSound();
        QVERIFY(state.isCompletionSoundPlaying());
        state.setCompletionSoundEnabled(false);
        QVERIFY(!state.isCompletionSoundPlaying());
        QCOMPARE(t.sounds.calls.last(), QStringLiteral("stop"));
    }

    void shortcutWritersStoreAndRegister()
    {
        TestAppState t;
        AppState &state = t.build();
        const auto newToggle = shortcut(2, QStringLiteral("D"), true, true, false);
        t.log.clear();
        state.setToggleShortcut(newToggle);
        QCOMPARE(storedShortcut(t, QStringLiteral("toggleShortcut")), newToggle);
        QCOMPARE(t.log.first(), QStringLiteral("set toggleShortcut"));
        QVERIFY(t.log.contains(QStringLiteral("hotkey +1")));
        QVERIFY(registered(t, 1));
    }

    // Stored even unchanged; the shortcuts are registered again only when one changes
    // (a profile's name typed key by key must not re-grab every hot key).
    void commandSettingsAreStoredEvenUnchangedAndRegisteredWhenAShortcutChanges()
    {
        TestAppState t;
        AppState &state = t.build();
        QSignalSpy changed(&state, &AppState::agentSettingsChanged);
        t.log.clear();
        state.setAgentSettings(state.agentSettings());
        QCOMPARE(t.log, QStringList{QStringLiteral("set agentSettings")});
        QCOMPARE(changed.count(), 0);

        // A new profile's shortcut is registered at once, at id 100.
        AgentSettings settings = state.agentSettings();
        AgentPromptProfile profile;
        profile.id = QUuid::createUuid();
        profile.name = QStringLiteral("Profile 1");
        profile.shortcut = shortcut(18, QStringLiteral("1"), true, true, false);
        settings.promptProfiles.append(profile);
        state.setAgentSettings(settings);
        QCOMPARE(changed.count(), 1);
        QVERIFY(registered(t, 100));
        const auto decoded = AgentSettings::fromJson(
            QJsonDocument::fromJson(t.fakes.settings->bytesValue(QStringLiteral("agentSettings")).value()).object());
        QCOMPARE(decoded.value().promptProfiles.size(), 1);
    }

    void suspendedShortcutsStayUnregistered()
    {
        TestAppState t;
        AppState &state = t.build();
        state.setHotKeysSuspended(true);
        QVERIFY(t.fakes.hotKeys->registrations.isEmpty());
        state.setToggleShortcut(shortcut(2, QStringLiteral("D"), true, false, false));
        QVERIFY(t.fakes.hotKeys->registrations.isEmpty());
        state.setHotKeysSuspended(false);
        QVERIFY(registered(t, 1));
        QVERIFY(registered(t, 2));
        QVERIFY(registered(t, 4));
    }

    void cancelStaysRegisteredAcrossARefreshWhileRecording()
    {
        TestAppState t;
        AppState &state = t.build();
        QVERIFY(!registered(t, 3));
        state.setStatus(CaptureStatus::recording());
        state.setToggleShortcut(shortcut(2, QStringLiteral("D"), true, false, false));
        QVERIFY(registered(t, 3));
        state.setStatus(CaptureStatus::idle());
        state.setAgentPhase(AgentPhase::Generating);
        state.refreshHotKeys();
        QVERIFY(registered(t, 3));
        state.setAgentPhase(AgentPhase::Completed);
        state.refreshHotKeys();
        QVERIFY(!registered(t, 3));
    }
};

QTEST_GUILESS_MAIN(AppStateSettingsTest)
#include "tst_app_state_settings.moc"
