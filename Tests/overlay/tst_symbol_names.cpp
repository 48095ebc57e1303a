#include "Kit/Fonts.h"
#include "Kit/Symbols.h"
#include "SpeechModel.h"
#include "QmlScene.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace sorvane;
using sorvane::test::QmlScene;

// Every symbol name the screens use resolves to a glyph of the icon font.
class SymbolNamesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyNameInTheScreensResolves()
    {
        const QString folder = qEnvironmentVariable("SORVANE_VIEWS_SOURCE_DIR");
        QVERIFY(!folder.isEmpty());
        // `name: "…"` of a SymbolIcon, `iconName: "…"` of a button, and every quoted
        // symbol-looking string handed to a *Symbol/*Icon property.
        const QRegularExpression use(QStringLiteral(
            R"re((?:\bname|iconName|symbol\w*|\w*Icon\w*)\s*:\s*"([a-z][a-z0-9]*(?:\.[a-z0-9]+)*)")re"));
        QStringList missing;
        int seen = 0;
        QDirIterator files(folder, {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (auto match = use.globalMatch(text); match.hasNext();) {
                const QString name = match.next().captured(1);
                ++seen;
                if (!Symbols::isKnown(name))
                    missing << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), name);
            }
        }
        QVERIFY(seen > 0);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

    void everySpeechModelSymbolResolves()
    {
        for (const QString &id : {"pocket", "velocity", "swift", "balanced", "studio", "unknown-model"})
            QVERIFY2(Symbols::isKnown(SpeechModel::symbolName(id)), qPrintable(id));
    }

    void knownNameDrawsTheGlyphAndUnknownDrawsThePlaceholder()
    {
        QmlScene scene;
        QVERIFY2(scene.load("import QtQuick\nimport Sorvane\nRow {\n"
                            " SymbolIcon { objectName: 'known'; name: 'checkmark' }\n"
                            " SymbolIcon { objectName: 'unknown'; name: 'no.such.symbol' }\n}"),
                 scene.errors());
        QCOMPARE(scene.find("known")->property("known").toBool(), true);
        QCOMPARE(Symbols::glyph(QStringLiteral("checkmark")), QString(QChar(0xF12C)));
        QVERIFY(!scene.find("known")->findChild<QQuickItem *>("unknownSymbol")->isVisible());
        QCOMPARE(scene.find("unknown")->property("known").toBool(), false);
        QVERIFY(scene.find("unknown")->findChild<QQuickItem *>("unknownSymbol")->isVisible());
        QVERIFY(Symbols::glyph(QStringLiteral("no.such.symbol")).isEmpty());
    }

    void theIconFontHasTheGlyphs()
    {
        QVERIFY(Fonts::load());
        const QFontMetricsF metrics(Fonts::symbol(20));
        for (const QString &name : Symbols::names())
            QVERIFY2(metrics.inFontUcs4(Symbols::glyph(name).toUcs4().value(0)), qPrintable(name));
    }
};

QTEST_MAIN(SymbolNamesTest)
#include "tst_symbol_names.moc"
