// The one way every store treats its file: read, kept aside when unreadable, and never
// overwritten while it could not be kept.
#include "Support/StoredFile.h"
#include "TestPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class StoredFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsAndWrites()
    {
        QTemporaryDir dir;
        StoredFile file(dir.filePath(QStringLiteral("deep/er/a.json")), QStringLiteral("test"));
        QCOMPARE(file.read(), std::nullopt);
        QVERIFY(!file.isUnreadable());
        QVERIFY(file.write("[1]"));
        QCOMPARE(file.read(), std::optional<QByteArray>("[1]"));
        QVERIFY(file.write("[2]"));
        QCOMPARE(readFile(file.path()), QByteArray("[2]"));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("deep/er"))).entryList(QDir::Files), QStringList{"a.json"});
    }

    void anUnreadableFileIsKeptAsideOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.json"));
        QVERIFY(writeFile(path, "{ broken"));
        StoredFile file(path, QStringLiteral("test"));
        QCOMPARE(file.read(), std::optional<QByteArray>("{ broken"));
        file.markUnreadable();
        QVERIFY(file.write("[]"));
        QVERIFY(!file.isUnreadable());
        QVERIFY(file.write("[1]")); // later saves replace the new file only
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("a.json.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(dir.filePath(aside.first())), QByteArray("{ broken"));
        QCOMPARE(readFile(path), QByteArray("[1]"));
    }

    void anUnreadableFileThatCannotBeMovedIsNeverOverwritten()
    {
        QTemporaryDir dir;
        // No "<name>.unreadable-<time>" fits beside a name this long, whoever runs the test.
        const QString path = dir.filePath(QString(240, QLatin1Char('s')));
        QVERIFY(writeFile(path, "{ broken"));
        StoredFile file(path, QStringLiteral("test"));
        QVERIFY(file.read());
        file.markUnreadable();
        QVERIFY(!file.write("[]"));
        QVERIFY(!file.write("[]")); // and again at the next save
        QVERIFY(file.isUnreadable());
        QCOMPARE(readFile(path), QByteArray("{ broken"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(StoredFileTest)
#include "tst_stored_file.moc"
