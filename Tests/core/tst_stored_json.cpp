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
std::optional<Colour> colourFromText(const QString &text)
{
    if (text == QLatin1String("red"))
        return Colour::Red;
    if (text == QLatin1String("green"))
        return Colour::Green;
    return std::nullopt;
}
} // namespace

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
        const Colour colour = reader.enumeration<Colour>(QStringLiteral("colour"), colourFromText);
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
