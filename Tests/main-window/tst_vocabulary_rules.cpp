#include "MainWindow/Vocabulary.h"

#include <QTest>

using namespace sorvane;

class VocabularyRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void adding_data()
    {
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QStringList>("expected"); // unchanged list when nothing is added
        QTest::addColumn<bool>("added");
        QTest::newRow("first term") << QStringList{} << "Sorvane" << QStringList{"Sorvane"} << true;
        QTest::newRow("trimmed of spaces and line breaks")
            << QStringList{} << "  whisper.cpp \n" << QStringList{"whisper.cpp"} << true;
        QTest::newRow("blank") << QStringList{"A"} << "   " << QStringList{"A"} << false;
        QTest::newRow("empty") << QStringList{"A"} << "" << QStringList{"A"} << false;
        QTest::newRow("only line breaks and tabs") << QStringList{} << "\n\t\n" << QStringList{} << false;
        QTest::newRow("duplicate in another case")
            << QStringList{"Kubernetes"} << "kubernetes" << QStringList{"Kubernetes"} << false;
        QTest::newRow("duplicate after trimming")
            << QStringList{"Kubernetes"} << " KUBERNETES " << QStringList{"Kubernetes"} << false;
        QTest::newRow("sorted without regard to case")
            << QStringList{"alpha", "Charlie"} << "Bravo" << QStringList{"alpha", "Bravo", "Charlie"} << true;
        QTest::newRow("goes last") << QStringList{"alpha", "Bravo"} << "zulu"
                                   << QStringList{"alpha", "Bravo", "zulu"} << true;
        QTest::newRow("accented letters sort by the locale, not by code")
            << QStringList{"Eagle", "Zeta"} << "Émile" << QStringList{"Eagle", "Émile", "Zeta"} << true;
        QTest::newRow("inner spaces stay") << QStringList{} << " New  York " << QStringList{"New  York"} << true;
    }

    void adding()
    {
        QFETCH(QStringList, terms);
        QFETCH(QString, term);
        QFETCH(QStringList, expected);
        QFETCH(bool, added);
        const auto next = Vocabulary::adding(terms, term);
        QCOMPARE(bool(next), added);
        QCOMPARE(next.value_or(terms), expected);
    }

    void removing_data()
    {
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("removes the term") << QStringList{"a", "b", "c"} << "b" << QStringList{"a", "c"};
        QTest::newRow("every equal entry") << QStringList{"a", "b", "b"} << "b" << QStringList{"a"};
        QTest::newRow("case-sensitive") << QStringList{"Kubernetes"} << "kubernetes" << QStringList{"Kubernetes"};
        QTest::newRow("not trimmed") << QStringList{"Kubernetes"} << " Kubernetes" << QStringList{"Kubernetes"};
        QTest::newRow("absent") << QStringList{"a"} << "z" << QStringList{"a"};
        QTest::newRow("last term") << QStringList{"a"} << "a" << QStringList{};
    }

    void removing()
    {
        QFETCH(QStringList, terms);
        QFETCH(QString, term);
        QFETCH(QStringList, expected);
        QCOMPARE(Vocabulary::removing(terms, term), expected);
    }

    void addButton_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("spaces") << "   " << false;
        QTest::newRow("tabs and spaces") << " \t " << false;
        QTest::newRow("no-break space") << QStringLiteral("\u00a0") << false;
        QTest::newRow("a line break counts") << "\n" << true;
        QTest::newRow("a word") << " K8s " << true;
    }

    void addButton()
    {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QCOMPARE(Vocabulary::canAdd(text), enabled);
    }

    void sentence()
    {
        const SpeechModel *pocket = SpeechModel::find(QStringLiteral("pocket"));
        const SpeechModel *velocity = SpeechModel::find(QStringLiteral("velocity"));
        QVERIFY(pocket && velocity);
        QCOMPARE(velocity->engine, SpeechEngine::Parakeet);
        QCOMPARE(Vocabulary::behaviourSentence(velocity),
                 QStringLiteral("The Parakeet runtime has no vocabulary-prompt input, so Sorvane corrects the "
                                "capitalization of matching words after recognition. Terms stay on this computer."));
        QCOMPARE(Vocabulary::behaviourSentence(pocket),
                 pocket->name + QStringLiteral(" receives these terms before each dictation. They bias spelling "
                                               "but cannot guarantee it, and they stay on this computer."));
        QVERIFY(Vocabulary::behaviourSentence(nullptr).startsWith(QStringLiteral("Whisper receives these terms")));
    }
};

QTEST_GUILESS_MAIN(VocabularyRulesTest)
#include "tst_vocabulary_rules.moc"
