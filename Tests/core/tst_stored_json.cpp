#include "Support/StoredJson.h"
#include "TestPaths.h"

#include <QJsonDocument>
#include <QTimeZone>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::storedjson;
using namespace sorvane::testing;

namespace {
enum class Colour { Red, Green };
constexpr TextTable<Colour, 2> colours{{{Colour::Red, "red"}, {Colour::Green, "green"}}};
} // namespace

namespace sorvane {
template <>
struct EnumText<Colour> {
    static TextEntries<Colour> table() { return colours; }
};
} // namespace sorvane

class StoredJsonTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void uuidsAreUpperCase()
    {
        const QUuid id = QUuid::fromString(QStringLiteral("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"));
        QCOMPARE(uuidText(id), QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8"));
        QCOMPARE(parseUuid(QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8")), id);
        QVERIFY(!parseUuid(QStringLiteral("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}")));
        QVERIFY(!parseUuid(QStringLiteral("not-a-uuid")));
    }

    void everyDateReadCanBeWrittenBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written"); // empty: not accepted
        QTest::newRow("UTC") << "2026-03-04T09:20:30Z" << "2026-03-04T09:20:30Z";
        QTest::newRow("offset") << "2026-03-04T10:20:30+01:00" << "2026-03-04T09:20:30Z";
        QTest::newRow("fraction") << "2026-03-04T10:20:30.5+01:00" << "2026-03-04T09:20:30Z";
        QTest::newRow("comma fraction") << "2026-03-04T10:20:30,5Z" << "2026-03-04T10:20:30Z";
        QTest::newRow("no seconds") << "2026-03-04T10:20Z" << "2026-03-04T10:20:00Z";
        QTest::newRow("end of day") << "2026-03-04T24:00:00Z" << "2026-03-05T00:00:00Z";
        QTest::newRow("short offset") << "2026-01-01T23-1" << "2026-01-02T00:00:00Z";
        QTest::newRow("last second") << "9999-12-31T23:59:59Z" << "9999-12-31T23:59:59Z";
        QTest::newRow("past 9999 in UTC") << "9999-12-31T23:59:59-14:00" << "";
        QTest::newRow("past 9999 by a short offset") << "9999-12-31T23-1" << "";
        QTest::newRow("before year 1 in UTC") << "0001-01-01T00:00:00+14:00" << "";
    }

    void everyDateReadCanBeWrittenBack()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        const auto date = parseDate(text);
        if (written.isEmpty()) {
            QVERIFY(!date);
            return;
        }
        QVERIFY(date);
        QCOMPARE(dateText(*date), written);
        // And what is written reads back as the same instant, to the second.
        const auto again = parseDate(dateText(*date));
        QVERIFY(again);
        QCOMPARE(dateText(*again), written);
    }

    void datesAreWholeSecondsUtc()
    {
        const QDateTime local(QDate(2026, 3, 4), QTime(10, 20, 30, 999), QTimeZone(3600));
        QCOMPARE(dateText(local), QStringLiteral("2026-03-04T09:20:30Z"));
        QCOMPARE(parseDate(QStringLiteral("2026-03-04T09:20:30Z")),
                 QDateTime(QDate(2026, 3, 4), QTime(9, 20, 30), Qt::UTC));
        QCOMPARE(parseDate(QStringLiteral("2026-03-04T10:20:30+01:00")),
                 QDateTime(QDate(2026, 3, 4), QTime(9, 20, 30), Qt::UTC));
        QVERIFY(!parseDate(QStringLiteral("2026-03-04T09:20:30")));
        QVERIFY(!parseDate(QStringLiteral("yesterday")));
    }

    void encodingIsPrettyWithSortedKeys()
    {
        const QByteArray bytes = encode(QJsonObject{{QStringLiteral("b"), 1}, {QStringLiteral("a"), 2}});
        QVERIFY(bytes.indexOf("\"a\"") < bytes.indexOf("\"b\""));
        QVERIFY(bytes.contains('\n'));
    }

    void readerFailsTheWholeRecord_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("failedKey");
        QTest::newRow("complete") << QByteArray(R"({"name":"a","count":2,"colour":"red"})") << true << QString();
        QTest::newRow("optional null") << QByteArray(R"({"name":"a","count":2,"colour":"red","note":null})") << true << QString();
        QTest::newRow("required missing") << QByteArray(R"({"count":2,"colour":"red"})") << false << "name";
        QTest::newRow("required null") << QByteArray(R"({"name":null,"count":2,"colour":"red"})") << false << "name";
        QTest::newRow("wrong type") << QByteArray(R"({"name":"a","count":"2","colour":"red"})") << false << "count";
        QTest::newRow("fraction for an integer") << QByteArray(R"({"name":"a","count":2.5,"colour":"red"})") << false << "count";
        QTest::newRow("unknown enumeration value") << QByteArray(R"({"name":"a","count":2,"colour":"Red"})") << false << "colour";
        QTest::newRow("optional of wrong type") << QByteArray(R"({"name":"a","count":2,"colour":"red","note":3})") << false << "note";
    }

    void readerFailsTheWholeRecord()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, ok);
        QFETCH(QString, failedKey);
        ObjectReader reader(objectFrom(json));
        const QString name = reader.string(QStringLiteral("name"));
        const qint64 count = reader.integer(QStringLiteral("count"));
        const Colour colour = reader.enumeration<Colour>(QStringLiteral("colour"));
        const auto note = reader.optionalString(QStringLiteral("note"));
        QCOMPARE(reader.ok(), ok);
        QCOMPARE(reader.failedKey(), failedKey);
        if (ok) {
            QCOMPARE(name, QStringLiteral("a"));
            QCOMPARE(count, 2);
            QCOMPARE(colour, Colour::Red);
            QVERIFY(!note);
        }
    }

    void atomicWriteReplacesTheWholeFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.json"));
        QVERIFY(writeFileAtomically(path, "first, longer content"));
        QVERIFY(writeFileAtomically(path, "second"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("second"));
        QString error;
        QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("missing/f.json")), "x", &error));
        QVERIFY(!error.isEmpty());
    }

    void unreadableFilesAreMovedAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.json"));
        QVERIFY(!moveAside(path));
        QVERIFY(writeFileAtomically(path, "garbage"));
        const auto first = moveAside(path);
        QVERIFY(first);
        QVERIFY(first->startsWith(path + QStringLiteral(".unreadable-")));
        QVERIFY(!QFile::exists(path));
        QVERIFY(writeFileAtomically(path, "more garbage"));
        const auto second = moveAside(path);
        QVERIFY(second && *second != *first);
        QVERIFY(QFile::exists(*first) && QFile::exists(*second));
    }
};

QTEST_GUILESS_MAIN(StoredJsonTest)
#include "tst_stored_json.moc"
