#include "Platform/DesktopEntries.h"
#include "Platform/Keystrokes.h"
#include "Platform/TextOffsets.h"
#include "Platform/WindowCapture.h"
#include "Platform/WindowSystem.h"
#include "Services/Command/AgentTextRangeVerifier.h"

#include <QTest>

using namespace sorvane;

Q_DECLARE_METATYPE(sorvane::TextOffsetUnit)
Q_DECLARE_METATYPE(std::optional<sorvane::KeyChord>)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// "a😀b": the emoji is one code point and two UTF-16 units.
const QString emojiText = QStringLiteral("a\U0001F600b");

WindowInfo window(quint64 id, qint64 pid, QRect geometry, bool viewable = true, bool desktop = false)
{
    WindowInfo info;
    info.id = id;
    info.processId = pid;
    info.geometry = geometry;
    info.isViewable = viewable;
    info.isDesktop = desktop;
    return info;
}

KeyChord chord(const char *key, bool shift)
{
    KeyChord value;
    value.key = QString::fromLatin1(key);
    value.control = true;
    value.shift = shift;
    return value;
}

KeyChord shiftInsert()
{
    KeyChord value;
    value.key = QStringLiteral("Insert");
    value.shift = true;
    return value;
}

} // namespace

class CaptureTablesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rangeCheck_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("value");
        QTest::addColumn<qint64>("location");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<bool>("matches");

        QTest::newRow("empty at start of anything") << "" << "whatever" << 0LL << 0LL << true;
        QTest::newRow("empty in empty") << "" << "" << 0LL << 0LL << true;
        QTest::newRow("exact middle") << "brave" << "Hello brave world" << 6LL << 5LL << true;
        QTest::newRow("text differs") << "brave" << "Hello grave world" << 6LL << 5LL << false;
        QTest::newRow("shifted by one") << "brave" << "Hello brave world" << 5LL << 5LL << false;
        QTest::newRow("negative location") << "" << "abc" << -1LL << 0LL << false;
        QTest::newRow("length mismatch") << "abc" << "abcdef" << 0LL << 2LL << false;
        QTest::newRow("past the end") << "abc" << "1234567" << 5LL << 3LL << false;
        QTest::newRow("ends exactly at the end") << "567" << "1234567" << 4LL << 3LL << true;
        QTest::newRow("huge location does not wrap") << "ab" << "abab" << (std::numeric_limits<qint64>::max)() << 2LL
                                                     << false;
        QTest::newRow("surrogate pair counts two") << QStringLiteral("\U0001F600") << emojiText << 1LL << 2LL << true;
        QTest::newRow("surrogate pair as one unit") << QStringLiteral("\U0001F600") << emojiText << 1LL << 1LL << false;
        QTest::newRow("after the pair") << "b" << emojiText << 3LL << 1LL << true;
    }
    void rangeCheck()
    {
        QFETCH(QString, expected);
        QFETCH(QString, value);
        QFETCH(qint64, location);
        QFETCH(qint64, length);
        QFETCH(bool, matches);
        QCOMPARE(AgentTextRangeVerifier::matches(expected, value, TextRange{location, length}), matches);
    }

    void offsetConversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextOffsetUnit>("unit");
        QTest::addColumn<qint64>("native");
        QTest::addColumn<qint64>("utf16");

        QTest::newRow("code point before pair") << emojiText << TextOffsetUnit::CodePoint << 1LL << 1LL;
        QTest::newRow("code point after pair") << emojiText << TextOffsetUnit::CodePoint << 2LL << 3LL;
        QTest::newRow("code point at end") << emojiText << TextOffsetUnit::CodePoint << 3LL << 4LL;
        QTest::newRow("two pairs") << QStringLiteral("\U0001F600\U0001F601x") << TextOffsetUnit::CodePoint << 2LL << 4LL;
        QTest::newRow("utf16 is unchanged") << emojiText << TextOffsetUnit::Utf16 << 3LL << 3LL;
        QTest::newRow("start") << emojiText << TextOffsetUnit::CodePoint << 0LL << 0LL;
    }
    void offsetConversion()
    {
        QFETCH(QString, text);
        QFETCH(TextOffsetUnit, unit);
        QFETCH(qint64, native);
        QFETCH(qint64, utf16);
        QCOMPARE(toUtf16Offset(text, native, unit), utf16);
        QCOMPARE(fromUtf16Offset(text, utf16, unit), native);
    }

    void offsetConversionClampsAndRoundsDown()
    {
        QCOMPARE(toUtf16Offset(emojiText, 99, TextOffsetUnit::CodePoint), qint64(emojiText.size()));
        QCOMPARE(toUtf16Offset(emojiText, 99, TextOffsetUnit::Utf16), qint64(emojiText.size()));
        QCOMPARE(toUtf16Offset(emojiText, -3, TextOffsetUnit::CodePoint), 0LL);
        QCOMPARE(fromUtf16Offset(emojiText, 99, TextOffsetUnit::CodePoint), 3LL);
        // Between the two halves of the emoji: the emoji's own start.
        QCOMPARE(fromUtf16Offset(emojiText, 2, TextOffsetUnit::CodePoint), 1LL);
        QCOMPARE(fromUtf16Offset(emojiText, 2, TextOffsetUnit::Utf16), 1LL);
        // A lone high surrogate at the end is one character.
        const QString broken = QStringLiteral("a") + QChar(0xD83D);
        QCOMPARE(toUtf16Offset(broken, 2, TextOffsetUnit::CodePoint), 2LL);
    }

    void offsetUnitDetection_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("toolkit");
        QTest::addColumn<TextOffsetUnit>("unit");

        QTest::newRow("count in code points") << emojiText << 3LL << "GAIL" << TextOffsetUnit::CodePoint;
        QTest::newRow("count in utf16 (Qt's habit)") << emojiText << 4LL << "GAIL" << TextOffsetUnit::Utf16;
        QTest::newRow("unknown count, Qt") << emojiText << -1LL << "Qt" << TextOffsetUnit::Utf16;
        QTest::newRow("unknown count, other") << emojiText << -1LL << "Gecko" << TextOffsetUnit::CodePoint;
        QTest::newRow("no pairs: either is right") << "plain" << 5LL << "GTK" << TextOffsetUnit::Utf16;
    }
    void offsetUnitDetection()
    {
        QFETCH(QString, text);
        QFETCH(qint64, count);
        QFETCH(QString, toolkit);
        QFETCH(TextOffsetUnit, unit);
        QCOMPARE(detectTextOffsetUnit(text, count, toolkit), unit);
    }

    void windowChoice()
    {
        const QRect normal(0, 0, 300, 200);
        // Front to back: another process on top, then the target's tiny, hidden and
        // desktop windows, then its real window, then a second real one further back.
        const QList<WindowInfo> windows = {
            window(1, 99, normal),
            window(2, 7, QRect(0, 0, 1, 500)),
            window(3, 7, QRect(0, 0, 500, 1)),
            window(4, 7, normal, false),
            window(5, 7, normal, true, true),
            window(6, 7, QRect(10, 10, 2, 2)),
            window(7, 7, normal),
        };
        const auto app = [](qint64 pid, quint64 window = 0) {
            RunningApplication application;
            application.processId = pid;
            application.window = window;
            return application;
        };
        QCOMPARE(chooseCaptureWindow(windows, app(7))->id, quint64(6));
        QCOMPARE(chooseCaptureWindow(windows, app(99))->id, quint64(1));
        QVERIFY(!chooseCaptureWindow(windows, app(42)));
        QVERIFY(!chooseCaptureWindow(windows.mid(1, 4), app(7)));
        // Without a process, only the application's own window is its.
        const QList<WindowInfo> anonymous = {window(8, 0, normal), window(9, 0, normal)};
        QCOMPARE(chooseCaptureWindow(anonymous, app(0, 9))->id, quint64(9));
        QVERIFY(!chooseCaptureWindow(anonymous, app(0, 0)));
    }

    void screenshotSize_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QSize>("captured");

        QTest::newRow("ordinary window keeps its pixels") << QSize(800, 600) << QSize(800, 600);
        QTest::newRow("2500 wide stays") << QSize(2500, 1400) << QSize(2500, 1400);
        QTest::newRow("exactly the maximum") << QSize(4096, 100) << QSize(4096, 100);
        QTest::newRow("too wide scales evenly") << QSize(5000, 2500) << QSize(4096, 2048);
        QTest::newRow("too tall scales evenly") << QSize(1000, 8192) << QSize(500, 4096);
        QTest::newRow("thin strip keeps one pixel") << QSize(10000, 1) << QSize(4096, 1);
        QTest::newRow("empty becomes one pixel") << QSize(0, 0) << QSize(1, 1);
    }
    void screenshotSize()
    {
        QFETCH(QSize, window);
        QFETCH(QSize, captured);
        QCOMPARE(screenshotPixelSize(window), captured);
    }

    void clipboardKeystrokes_data()
    {
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("windowInstance");
        QTest::addColumn<std::optional<KeyChord>>("copy");
        QTest::addColumn<std::optional<KeyChord>>("paste");

        QTest::newRow("editor") << "Gedit" << "gedit" << std::optional(chord("c", false)) << std::optional(chord("v", false));
        QTest::newRow("no class") << "" << "" << std::optional(chord("c", false)) << std::optional(chord("v", false));
        QTest::newRow("terminal by class") << "Gnome-terminal" << "gnome-terminal-server"
                                           << std::optional(chord("c", true)) << std::optional(chord("v", true));
        QTest::newRow("terminal by instance") << "UnknownClass" << "kitty" << std::optional(chord("c", true))
                                              << std::optional(chord("v", true));
        QTest::newRow("konsole") << "konsole" << "konsole" << std::optional(chord("c", true)) << std::optional(chord("v", true));
        QTest::newRow("xterm: no copy, Shift+Insert") << "XTerm" << "xterm" << std::optional<KeyChord>()
                                                       << std::optional(shiftInsert());
        QTest::newRow("urxvt: no copy, Shift+Insert") << "URxvt" << "urxvt" << std::optional<KeyChord>()
                                                       << std::optional(shiftInsert());
        QTest::newRow("xterm by instance") << "UnknownClass" << "uxterm" << std::optional<KeyChord>()
                                           << std::optional(shiftInsert());
    }
    void clipboardKeystrokes()
    {
        QFETCH(QString, windowClass);
        QFETCH(QString, windowInstance);
        QFETCH(std::optional<KeyChord>, copy);
        QFETCH(std::optional<KeyChord>, paste);
        QCOMPARE(standardShortcut(StandardShortcut::Copy, windowClass, windowInstance), copy);
        QCOMPARE(standardShortcut(StandardShortcut::Paste, windowClass, windowInstance), paste);
        // Only the terminals without a copy keystroke paste from PRIMARY.
        QCOMPARE(pastesPrimarySelection(windowClass, windowInstance), !copy.has_value());
    }

    // The key the user is told to paste the clipboard with; none where the paste key
    // inserts PRIMARY.
    void clipboardPasteKeyNames_data()
    {
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("windowInstance");
        QTest::addColumn<std::optional<QString>>("name");

        QTest::newRow("editor") << "Mousepad" << "mousepad" << std::optional(QStringLiteral("Ctrl+V"));
        QTest::newRow("no window") << "" << "" << std::optional(QStringLiteral("Ctrl+V"));
        QTest::newRow("terminal") << "Lxterminal" << "lxterminal" << std::optional(QStringLiteral("Ctrl+Shift+V"));
        QTest::newRow("xterm") << "XTerm" << "xterm" << std::optional<QString>();
    }
    void clipboardPasteKeyNames()
    {
        QFETCH(QString, windowClass);
        QFETCH(QString, windowInstance);
        QFETCH(std::optional<QString>, name);
        QCOMPARE(clipboardPasteKeyName(windowClass, windowInstance), name);
    }

    void chordDisplayNames()
    {
        QCOMPARE(displayName(shiftInsert()), QStringLiteral("Shift+Insert"));
        KeyChord all = chord("c", true);
        all.alt = true;
        QCOMPARE(displayName(all), QStringLiteral("Ctrl+Alt+Shift+C"));
    }

    void applicationNames_data()
    {
        QTest::addColumn<QString>("desktopId");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("windowInstance");
        QTest::addColumn<QString>("name");

        QTest::newRow("desktop id named by the window") << "org.gnome.TextEditor" << "Gnome-text-editor" << "x" << "Text Editor";
        QTest::newRow("desktop file path named by the window") << "/usr/share/applications/firefox-esr.desktop" << "" << ""
                                                               << "Firefox ESR";
        QTest::newRow("StartupWMClass") << "" << "jetbrains-idea" << "" << "IntelliJ IDEA";
        QTest::newRow("file named like the class") << "" << "Firefox-esr" << "Navigator" << "Firefox ESR";
        QTest::newRow("last part of a reverse-DNS id") << "" << "Gedit" << "gedit" << "Gedit Editor";
        QTest::newRow("no desktop file: the class") << "" << "Xfig" << "xfig" << "Xfig";
        QTest::newRow("no class: the instance") << "" << "" << "solo" << "solo";
        QTest::newRow("nothing at all") << "" << "" << "" << "";
    }
    void applicationNames()
    {
        QFETCH(QString, desktopId);
        QFETCH(QString, windowClass);
        QFETCH(QString, windowInstance);
        QFETCH(QString, name);
        const QList<DesktopEntry> entries = {
            {QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"), {}},
            {QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR"), {}},
            {QStringLiteral("jetbrains-idea"), QStringLiteral("IntelliJ IDEA"), QStringLiteral("jetbrains-idea")},
            {QStringLiteral("org.gnome.gedit"), QStringLiteral("Gedit Editor"), {}},
        };
        QCOMPARE(applicationName(entries, {desktopId, windowClass, windowInstance}), name);
    }

    void desktopFileReading()
    {
        const QByteArray file = "# comment\n[Desktop Entry]\nType=Application\nName=Files\nName[de]=Dateien\n"
                                "Name[de_AT]=Dateien (AT)\nStartupWMClass=org.files\\sApp\n"
                                "[Desktop Action new]\nName=New Window\n";
        QCOMPARE(parseDesktopEntry(QStringLiteral("files"), file, QStringLiteral("en_GB")).name, QStringLiteral("Files"));
        QCOMPARE(parseDesktopEntry(QStringLiteral("files"), file, QStringLiteral("de_DE")).name, QStringLiteral("Dateien"));
        QCOMPARE(parseDesktopEntry(QStringLiteral("files"), file, QStringLiteral("de_AT.UTF-8")).name,
                 QStringLiteral("Dateien (AT)"));
        QCOMPARE(parseDesktopEntry(QStringLiteral("files"), file, QStringLiteral("C")).startupWmClass,
                 QStringLiteral("org.files App"));
        QVERIFY(parseDesktopEntry(QStringLiteral("x"), "[Desktop Entry]\nType=Link\nName=Site\n", QStringLiteral("C"))
                    .id.isEmpty());
        QVERIFY(parseDesktopEntry(QStringLiteral("x"), "[Desktop Entry]\nType=Application\nName=A\nHidden=true\n",
                                  QStringLiteral("C"))
                    .id.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CaptureTablesTest)
#include "tst_capture_tables.moc"
