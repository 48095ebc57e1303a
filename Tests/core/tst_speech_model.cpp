#include "BuildConfig.h"
#include "Dictation/SpeechModel.h"

#include <QSet>
#include <QTest>

using namespace sorvane;

Q_DECLARE_METATYPE(sorvane::SpeechEngine)
Q_DECLARE_METATYPE(sorvane::AccentColor)

namespace QTest {
template <> char *toString(const sorvane::AccentColor &c)
{
    return qstrdup(QStringLiteral("(%1, %2, %3%4)").arg(c.red).arg(c.green).arg(c.blue)
                       .arg(c.isSecondary ? QStringLiteral(", secondary") : QString()).toUtf8().constData());
}
} // namespace QTest

class SpeechModelTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void catalogueEntries_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("texts"); // id, name, officialName, organization, tier, sizeLabel, fileName, languages, license, accent
        QTest::addColumn<qint64>("byteSize");
        QTest::addColumn<bool>("englishOnly");
        QTest::addColumn<SpeechEngine>("engine");
        QTest::addColumn<QString>("detail");

        QTest::newRow("pocket") << 0
            << QStringList{"pocket", "Pocket", "Whisper tiny.en Q5_1", "OpenAI", "Fastest English", "31 MB",
                           "ggml-tiny.en-q5_1.bin", "English", "MIT", "violet"}
            << qint64(32200000) << true << SpeechEngine::Whisper
            << "A tiny, instant English model for everyday notes and commands.";
        QTest::newRow("velocity") << 1
            << QStringList{"velocity", "Velocity", "Parakeet-TDT-0.6B-v3 Q4", "NVIDIA", "Fastest multilingual",
                           "356 MB", "ggml-parakeet-tdt-0.6b-v3-q4_0.bin", "25 European languages", "CC BY 4.0", "blue"}
            << qint64(356000000) << false << SpeechEngine::Parakeet
            << "Very fast local dictation with punctuation across 25 European languages.";
        QTest::newRow("swift") << 2
            << QStringList{"swift", "Swift", "Distil-Whisper small.en", "Hugging Face", "Fast + accurate", "322 MB",
                           "ggml-distil-small.en.bin", "English", "MIT", "coral"}
            << qint64(337000000) << true << SpeechEngine::Whisper
            << "Distil-Whisper for fast, high-quality English dictation.";
        QTest::newRow("balanced") << 3
            << QStringList{"balanced", "Balanced", "Whisper small Q5_1", "OpenAI", "Multilingual", "181 MB",
                           "ggml-small-q5_1.bin", "99 languages", "MIT", "blue"}
            << qint64(190000000) << false << SpeechEngine::Whisper
            << "A compact multilingual model for everyday use.";
        QTest::newRow("studio") << 4
            << QStringList{"studio", "Studio", "Whisper large-v3-turbo Q5_0", "OpenAI", "Best quality", "547 MB",
                           "ggml-large-v3-turbo-q5_0.bin", "99 languages", "MIT", "mint"}
            << qint64(574000000) << false << SpeechEngine::Whisper
            << "Large V3 Turbo, quantized for excellent multilingual accuracy.";
    }

    void catalogueEntries()
    {
        QFETCH(int, index);
        QFETCH(QStringList, texts);
        QFETCH(qint64, byteSize);
        QFETCH(bool, englishOnly);
        QFETCH(SpeechEngine, engine);
        QFETCH(QString, detail);

        QCOMPARE(SpeechModel::catalog().size(), 5);
        const SpeechModel &m = SpeechModel::catalog().at(index);
        QCOMPARE((QStringList{m.id, m.name, m.officialName, m.organization, m.tier, m.sizeLabel, m.fileName,
                              m.languageSummary, m.license, m.accent}),
                 texts);
        QCOMPARE(m.byteSize, byteSize);
        QCOMPARE(m.isEnglishOnly, englishOnly);
        QCOMPARE(m.engine, engine);
        QCOMPARE(m.detail, detail);
        QCOMPARE(SpeechModel::find(m.id), &m);
    }

    void downloadAddressesComeFromTheBuildConfiguration_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("repository");
        QTest::newRow("pocket") << "pocket" << SORVANE_WHISPER_MODEL_OWNER << "whisper.cpp";
        QTest::newRow("velocity") << "velocity" << SORVANE_PARAKEET_MODEL_OWNER << "parakeet-GGUF";
        QTest::newRow("swift") << "swift" << SORVANE_DISTIL_MODEL_OWNER << "distil-small.en";
        QTest::newRow("balanced") << "balanced" << SORVANE_WHISPER_MODEL_OWNER << "whisper.cpp";
        QTest::newRow("studio") << "studio" << SORVANE_WHISPER_MODEL_OWNER << "whisper.cpp";
    }

    void downloadAddressesComeFromTheBuildConfiguration()
    {
        QFETCH(QString, id);
        QFETCH(QString, owner);
        QFETCH(QString, repository);
        const SpeechModel *model = SpeechModel::find(id);
        QVERIFY(model);
        QString host = QStringLiteral(SORVANE_MODEL_HOST);
        while (host.endsWith(QLatin1Char('/')))
            host.chop(1);
        const QString expected = host + '/' + owner + '/' + repository + "/resolve/main/" + model->fileName
            + "?download=true";
        QCOMPARE(model->url.toString(), expected);
        QVERIFY(model->url.isValid());
        QCOMPARE(model->url.scheme(), QStringLiteral("https"));
        QCOMPARE(model->url.fileName(), model->fileName);
    }

    void downloadAddressForm()
    {
        QCOMPARE(SpeechModel::downloadUrl("https://hub.example/", "owner", "repo", "ggml-a.bin").toString(),
                 QStringLiteral("https://hub.example/owner/repo/resolve/main/ggml-a.bin?download=true"));
    }

    void displayMembersByIdAlone_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("quality");
        QTest::addColumn<AccentColor>("color");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("pocket") << "pocket" << 5 << 3 << AccentColor::rgb(0.88, 0.58, 0.18) << "hare.fill";
        QTest::newRow("velocity") << "velocity" << 5 << 4 << AccentColor::rgb(0.2, 0.57, 0.82) << "bird.fill";
        QTest::newRow("swift") << "swift" << 4 << 4 << AccentColor::rgb(0.86, 0.35, 0.31) << "bolt.fill";
        QTest::newRow("balanced") << "balanced" << 3 << 3 << AccentColor::rgb(0.47, 0.4, 0.78)
                                  << "globe.europe.africa.fill";
        QTest::newRow("studio") << "studio" << 2 << 5 << AccentColor::rgb(0.55, 0.68, 0.12) << "sparkles";
        QTest::newRow("id of a later version") << "whisper-next" << 3 << 3 << AccentColor::secondary() << "waveform";
        QTest::newRow("ids are exact") << "Pocket" << 3 << 3 << AccentColor::secondary() << "waveform";
        QTest::newRow("empty id") << "" << 3 << 3 << AccentColor::secondary() << "waveform";
    }

    void displayMembersByIdAlone()
    {
        QFETCH(QString, id);
        QFETCH(int, speed);
        QFETCH(int, quality);
        QFETCH(AccentColor, color);
        QFETCH(QString, symbol);
        QCOMPARE(SpeechModel::speedRating(id), speed);
        QCOMPARE(SpeechModel::qualityRating(id), quality);
        QCOMPARE(SpeechModel::accentColor(id), color);
        QCOMPARE(SpeechModel::accentColor(id).isSecondary, color.isSecondary);
        QCOMPARE(SpeechModel::symbolName(id), symbol);

        // The members of a model follow its id, never its accent word.
        SpeechModel model;
        model.id = id;
        model.accent = QStringLiteral("violet");
        QCOMPARE(model.accentColor(), color);
        QCOMPARE(model.symbolName(), symbol);
        QCOMPARE(model.speedRating(), speed);
        QCOMPARE(model.qualityRating(), quality);
        QCOMPARE(SpeechModel::find(id) != nullptr, !color.isSecondary);
    }

    void engineTextValues()
    {
        QCOMPARE(toText(SpeechEngine::Whisper), QStringLiteral("whisper"));
        QCOMPARE(toText(SpeechEngine::Parakeet), QStringLiteral("parakeet"));
        QCOMPARE(fromText<SpeechEngine>(QStringLiteral("parakeet")), SpeechEngine::Parakeet);
        QVERIFY(!fromText<SpeechEngine>(QStringLiteral("Whisper")));
        QCOMPARE(allCases<SpeechEngine>(), (QList<SpeechEngine>{SpeechEngine::Whisper, SpeechEngine::Parakeet}));
    }

    void equalityCoversEveryField()
    {
        const SpeechModel pocket = SpeechModel::catalog().first();
        SpeechModel copy = pocket;
        QCOMPARE(copy, pocket);
        QCOMPARE(qHash(copy), qHash(pocket));
        copy.byteSize += 1;
        QVERIFY(copy != pocket);
        copy = pocket;
        copy.url = QUrl(QStringLiteral("https://elsewhere.example/a.bin"));
        QVERIFY(copy != pocket);
        copy = pocket;
        copy.engine = SpeechEngine::Parakeet;
        QVERIFY(copy != pocket);

        QSet<SpeechModel> unique;
        for (const SpeechModel &model : SpeechModel::catalog())
            unique.insert(model);
        QCOMPARE(unique.size(), 5);
    }
};

QTEST_GUILESS_MAIN(SpeechModelTest)
#include "tst_speech_model.moc"
