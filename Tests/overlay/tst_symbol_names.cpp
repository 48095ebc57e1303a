#include "Kit/Fonts.h"
#include "Kit/Symbols.h"
#include "Dictation/SpeechModel.h"
#include "QmlScene.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace sorvane;
using sorvane::test::QmlScene;

namespace {

// Every symbol-looking text, in double or single quotes, given to `name` inside a
// SymbolIcon { … }, to an `iconName`, a `symbolName` or another `…Icon` property (each
// branch of a choice, `a ? "x" : "y"`, counts), and every text of a `model: [ … ]` list
// whose delegate is a SymbolIcon named by its `modelData`.
QStringList symbolNamesIn(const QString &text)
{
    // Not a raw string: moc reads a quote mark inside one as the start of a character.
    const QRegularExpression quoted(QStringLiteral("[\"\x27]([a-z][a-z0-9]*(?:\\.[a-z0-9]+)*)[\"\x27]"));
    // The rest of the line after the property's colon.
    const QString valueText = QStringLiteral(R"re(\s*:\s*([^\n;]*))re");
    const QRegularExpression nameInIcon(QStringLiteral(R"re(\bname)re") + valueText);
    const QRegularExpression iconProperty(QStringLiteral(R"re(\b(?:iconName|symbolName|\w*Icon))re") + valueText);
    const auto quotedIn = [&](const QString &value) {
        QStringList found;
        for (auto match = quoted.globalMatch(value); match.hasNext();)
            found << match.next().captured(1);
        return found;
    };
    const auto blockAt = [&](qsizetype at) {
        qsizetype end = text.indexOf(u'{', at) + 1;
        for (int depth = 1; end < text.size() && depth > 0; ++end)
            depth += text.at(end) == u'{' ? 1 : text.at(end) == u'}' ? -1 : 0;
        return text.mid(at, end - at);
    };
    QStringList names;
    for (auto match = iconProperty.globalMatch(text); match.hasNext();)
        names << quotedIn(match.next().captured(1));
    for (qsizetype at = text.indexOf(QLatin1String("SymbolIcon {")); at >= 0;
         at = text.indexOf(QLatin1String("SymbolIcon {"), at + 1)) {
        const QString block = blockAt(at);
        for (auto match = nameInIcon.globalMatch(block); match.hasNext();)
            names << quotedIn(match.next().captured(1));
    }
    const QRegularExpression listModel(QStringLiteral(R"re(\bmodel\s*:\s*\[([^\]]*)\])re"));
    const QRegularExpression namedByModel(QStringLiteral(R"re(SymbolIcon\s*\{[^}]*\bname\s*:\s*modelData\b)re"));
    for (auto match = listModel.globalMatch(text); match.hasNext();) {
        const auto list = match.next();
        // The delegate follows the list in the same Repeater.
        if (namedByModel.match(text.mid(list.capturedEnd(), 400)).hasMatch())
            names << quotedIn(list.captured(1));
    }
    return names;
}

} // namespace

// Every symbol name the screens use resolves to a glyph of the icon font.
class SymbolNamesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyNameInTheScreensResolves()
    {
        const QString folder = qEnvironmentVariable("SORVANE_VIEWS_SOURCE_DIR");
        QVERIFY(!folder.isEmpty());
        QStringList missing;
        int seen = 0;
        QDirIterator files(folder, {QStringLiteral("*.qml")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QStringList names = symbolNamesIn(QString::fromUtf8(file.readAll()));
            seen += int(names.size());
            for (const QString &name : names) {
                if (!Symbols::isKnown(name))
                    missing << QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), name);
            }
        }
        QVERIFY(seen > 0);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }

    void theWalkFindsTheNamesAndOnlyThose()
    {
        const QStringList names = symbolNamesIn(QStringLiteral(
            "Row {\n SymbolIcon { objectName: \"glyph\"; name: \"no.such.symbol\"; Item { } color: \"red\" }\n"
            " QuietButton { iconName: \"xmark\" }\n Text { property string name: \"label\" }\n}"));
        QCOMPARE(names, (QStringList{QStringLiteral("xmark"), QStringLiteral("no.such.symbol")}));
    }

    void theWalkFindsNamesInChoicesListsAndSingleQuotes()
    {
        const QStringList names = symbolNamesIn(QStringLiteral(
            "Column {\n QuietButton { iconName: busy ? \"stop.fill\" : 'play.fill' }\n"
            " SymbolIcon { name: open ? 'chevron.down' : \"chevron.right\"; size: 12 }\n"
            " Repeater {\n  model: [\"mic.fill\", 'no.such.bar']\n"
            "  SymbolIcon { required property string modelData; name: modelData }\n }\n"
            " Repeater { model: [\"Home\", \"not.a.symbol.list\"]; Text { text: modelData } }\n}"));
        QCOMPARE(names, (QStringList{"stop.fill", "play.fill", "chevron.down", "chevron.right", "mic.fill",
                                     "no.such.bar"}));
    }

    void everySpeechModelSymbolResolves()
    {
        const QStringList ids{QStringLiteral("pocket"), QStringLiteral("velocity"), QStringLiteral("swift"),
                              QStringLiteral("balanced"), QStringLiteral("studio"), QStringLiteral("unknown-model")};
        for (const QString &id : ids)
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
