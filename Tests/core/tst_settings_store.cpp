#include "Platform/SettingsStore.h"
#include "TestPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class SettingsStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void kindsSurviveAReload()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Sorvane/settings.json"));
        {
            JsonFileSettingsStore store(path);
            store.setValue(QStringLiteral("flag"), true);
            store.setValue(QStringLiteral("count"), qint64(9007199254740993));
            store.setValue(QStringLiteral("whole double"), 2.0);
            store.setValue(QStringLiteral("text"), QStringLiteral("Soft pop"));
            store.setValue(QStringLiteral("list"), QStringList{QStringLiteral("a"), QString()});
            store.setValue(QStringLiteral("bytes"), QByteArray("{\"keyCode\":49}\0x", 16));
            store.setValue(QStringLiteral("gone"), false);
            store.remove(QStringLiteral("gone"));
        }
        JsonFileSettingsStore store(path);
        QCOMPARE(store.boolValue(QStringLiteral("flag")), true);
        QCOMPARE(store.integerValue(QStringLiteral("count")), qint64(9007199254740993));
        QCOMPARE(store.doubleValue(QStringLiteral("whole double")), 2.0);
        QCOMPARE(store.stringValue(QStringLiteral("text")), QStringLiteral("Soft pop"));
        QCOMPARE(store.stringListValue(QStringLiteral("list")), (QStringList{QStringLiteral("a"), QString()}));
        QCOMPARE(store.bytesValue(QStringLiteral("bytes")), QByteArray("{\"keyCode\":49}\0x", 16));
        QVERIFY(!store.contains(QStringLiteral("gone")));

        // A value is only given back as the kind it was stored with.
        QVERIFY(!store.integerValue(QStringLiteral("whole double")));
        QVERIFY(!store.doubleValue(QStringLiteral("count")));
        QVERIFY(!store.bytesValue(QStringLiteral("text")));
        QVERIFY(!store.stringValue(QStringLiteral("bytes")));
        QVERIFY(!store.boolValue(QStringLiteral("count")));
    }

    void unknownEntriesAreSkipped()
    {
        const auto values = JsonFileSettingsStore::decode(
            R"({"a":{"bool":true},"b":{"colour":"red"},"c":7,"d":{"int":"x"},"e":{"strings":["a",1]}})");
        QVERIFY(values);
        QCOMPARE(values->keys(), QStringList{QStringLiteral("a")});
        QVERIFY(!JsonFileSettingsStore::decode("[1,2]"));
        QVERIFY(!JsonFileSettingsStore::decode("not json"));
    }

    void entriesOfAnUnknownKindAreKeptUnchanged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.json"));
        QVERIFY(writeFile(path, R"({"a":{"bool":true},"b":{"colour":"red"},"c":7,"d":{"int":"x"},"e":{"bool":true}})"));
        JsonFileSettingsStore store(path);
        QCOMPARE(store.keys(), (QStringList{QStringLiteral("a"), QStringLiteral("e")}));
        store.setValue(QStringLiteral("f"), QStringLiteral("new"));
        // A value set under an unknown entry's key replaces it; a removal removes it.
        store.setValue(QStringLiteral("c"), qint64(8));
        store.remove(QStringLiteral("d"));
        const QJsonObject saved = objectFrom(readFile(path));
        QCOMPARE(saved.value(QStringLiteral("b")).toObject(), (QJsonObject{{QStringLiteral("colour"), QStringLiteral("red")}}));
        QCOMPARE(saved.value(QStringLiteral("c")).toObject(), (QJsonObject{{QStringLiteral("int"), QStringLiteral("8")}}));
        QVERIFY(!saved.contains(QStringLiteral("d")));
        QCOMPARE(saved.keys(), (QStringList{"a", "b", "c", "e", "f"}));
        // And they survive the next start too.
        JsonFileSettingsStore again(path);
        again.setValue(QStringLiteral("a"), false);
        QCOMPARE(objectFrom(readFile(path)).value(QStringLiteral("b")), saved.value(QStringLiteral("b")));
    }

    void anUnreadableFileIsKeptAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("settings.json"));
        QVERIFY(writeFile(path, "{ truncated"));
        JsonFileSettingsStore store(path);
        QVERIFY(store.keys().isEmpty());
        store.setValue(QStringLiteral("x"), true);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 2);
        QVERIFY(files.filter(QStringLiteral("settings.json.unreadable-")).size() == 1);
        QCOMPARE(readFile(dir.filePath(files.filter(QStringLiteral("unreadable")).first())), QByteArray("{ truncated"));
        QCOMPARE(JsonFileSettingsStore(path).boolValue(QStringLiteral("x")), true);
    }

    void aReadOnlyStoreNeverWrites()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Brivel Plus/settings.json"));
        QVERIFY(writeFile(path, R"({"autoPaste":{"bool":false}})"));
        JsonFileSettingsStore store(path, JsonFileSettingsStore::Mode::ReadOnly);
        QCOMPARE(store.boolValue(QStringLiteral("autoPaste")), false);
        store.setValue(QStringLiteral("autoPaste"), true);
        store.remove(QStringLiteral("autoPaste"));
        QCOMPARE(readFile(path), QByteArray(R"({"autoPaste":{"bool":false}})"));
    }

    void pathsFollowXdgConfigHome()
    {
        QCOMPARE(JsonFileSettingsStore::defaultPath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Sorvane/settings.json"));
        QCOMPARE(JsonFileSettingsStore::legacyPath(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Brivel Plus/settings.json"));
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settings_store.moc"
