// What the Models screen, the picker sheets and the onboarding's table say of a model.
#include "Kit/Symbols.h"
#include "MainWindow/ModelSheetRules.h"

#include <QTest>

using namespace sorvane;
using namespace sorvane::ModelSheetRules;

Q_DECLARE_METATYPE(sorvane::ModelSheetRules::TrailingControl)
Q_DECLARE_METATYPE(sorvane::AgentModelProvider)

namespace {

AgentModelDescriptor catalogModel(const char *id)
{
    for (const AgentModelDescriptor &model : AgentModelDescriptor::catalog())
        if (model.id == QLatin1String(id))
            return model;
    qFatal("no catalogue model %s", id);
}

AgentModelDescriptor withImages(AgentModelDescriptor model, bool images)
{
    model.capabilities.images = images;
    return model;
}

} // namespace

class ModelSheetRulesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void speechFactLine_data()
    {
        QTest::addColumn<QString>("modelID");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("fact");
        QTest::newRow("no model") << QString() << false << "Choose a speech model to start dictating";
        QTest::newRow("on disk") << "pocket" << true << "Whisper tiny.en Q5_1 · English · 31 MB on disk";
        // Never "on disk" of a file that is not there.
        QTest::newRow("missing") << "pocket" << false << "Whisper tiny.en Q5_1 · English · 31 MB · not downloaded";
    }
    void speechFactLine()
    {
        QFETCH(QString, modelID);
        QFETCH(bool, installed);
        QFETCH(QString, fact);
        QCOMPARE(speechFact(SpeechModel::find(modelID), installed), fact);
    }

    void writingFactLine_data()
    {
        QTest::addColumn<QVariant>("model"); // an AgentModelDescriptor, or nothing
        QTest::addColumn<bool>("available");
        QTest::addColumn<QString>("fact");
        QTest::newRow("none") << QVariant() << false << "Choose a writing model for Command";
        QTest::newRow("on-device, text")
            << QVariant::fromValue(withImages(catalogModel("apple-system"), false)) << true
            << "Built in · text only · no download";
        QTest::newRow("on-device, images")
            << QVariant::fromValue(withImages(catalogModel("apple-system"), true)) << true
            << "Built in · text and images · no download";
        const AgentModelDescriptor local = catalogModel("qwen3-4b-q4");
        QTest::newRow("local, on disk") << QVariant::fromValue(local) << true
                                        << local.officialName + " · text only · " + local.sizeLabel + " on disk";
        QTest::newRow("local, missing") << QVariant::fromValue(local) << false
                                        << local.officialName + " · text only · " + local.sizeLabel + " · not downloaded";
        const AgentModelDescriptor cloud = withImages(catalogModel("gemini-flash"), true);
        QTest::newRow("cloud with images") << QVariant::fromValue(cloud) << true
                                           << cloud.officialName + " · text and images · " + cloud.organization + " API";
    }
    void writingFactLine()
    {
        QFETCH(QVariant, model);
        QFETCH(bool, available);
        QFETCH(QString, fact);
        std::optional<AgentModelDescriptor> descriptor;
        if (model.isValid())
            descriptor = model.value<AgentModelDescriptor>();
        QCOMPARE(writingFact(descriptor, available), fact);
    }

    void locationTags_data()
    {
        QTest::addColumn<QString>("modelID");
        QTest::addColumn<QString>("tag");
        QTest::newRow("none") << QString() << "ON THIS COMPUTER";
        QTest::newRow("on-device") << "apple-system" << "ON THIS COMPUTER";
        QTest::newRow("local") << "qwen3-4b-q4" << "ON THIS COMPUTER";
        QTest::newRow("openai") << "openai-luna" << "VIA API";
        QTest::newRow("gemini") << "gemini-flash" << "VIA API";
        QTest::newRow("mistral") << "mistral-small" << "VIA API";
    }
    void locationTags()
    {
        QFETCH(QString, modelID);
        QFETCH(QString, tag);
        std::optional<AgentModelDescriptor> model;
        if (!modelID.isEmpty())
            model = catalogModel(modelID.toLatin1().constData());
        QCOMPARE(locationTag(model), tag);
    }

    void wholePercents_data()
    {
        QTest::addColumn<double>("progress");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0.0 << "0%";
        QTest::newRow("0.29") << 0.29 << "29%";
        QTest::newRow("0.42") << 0.42 << "42%";
        QTest::newRow("0.57") << 0.57 << "57%";
        QTest::newRow("0.999 is cut") << 0.999 << "99%";
        QTest::newRow("1") << 1.0 << "100%";
        QTest::newRow("below 0") << -0.2 << "0%";
        QTest::newRow("not a number") << std::nan("") << "0%";
    }
    void wholePercents()
    {
        QFETCH(double, progress);
        QFETCH(QString, text);
        QCOMPARE(percentText(progress), text);
    }

    void speechControls_data()
    {
        QTest::addColumn<bool>("downloading");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<TrailingControl>("control");
        QTest::newRow("downloading and selected") << true << true << true << TrailingControl::Progress;
        QTest::newRow("downloading") << true << false << false << TrailingControl::Progress;
        QTest::newRow("selected, on disk") << false << true << true << TrailingControl::Active;
        // The dead end "Download the selected speech model first." led to: Get, not ACTIVE.
        QTest::newRow("selected, missing") << false << true << false << TrailingControl::Get;
        QTest::newRow("on disk") << false << false << true << TrailingControl::Use;
        QTest::newRow("missing") << false << false << false << TrailingControl::Get;
    }
    void speechControls()
    {
        QFETCH(bool, downloading);
        QFETCH(bool, selected);
        QFETCH(bool, installed);
        QFETCH(TrailingControl, control);
        QCOMPARE(speechControl(downloading, selected, installed), control);
    }

    void speechRows()
    {
        const SpeechModel pocket = *SpeechModel::find(QStringLiteral("pocket"));
        const SpeechRow shipped = speechRow(pocket, true, false, 0.4, true);
        QCOMPARE(shipped.status, QStringLiteral("DOWNLOADED"));
        QCOMPARE(shipped.detail, QStringLiteral("English · fastest english"));
        QVERIFY(!shipped.removable); // "pocket" ships with the program
        QVERIFY(shipped.recommended);
        QCOMPARE(shipped.progress, 0.0); // no download, no progress

        const SpeechModel other = SpeechModel::catalog().at(2);
        const SpeechRow fetching = speechRow(other, false, true, 0.57, false);
        QCOMPARE(fetching.status, QStringLiteral("DOWNLOAD"));
        QCOMPARE(fetching.control, TrailingControl::Progress);
        QCOMPARE(fetching.progress, 0.57);
        QVERIFY(!fetching.removable);
        QVERIFY(speechRow(other, true, false, 0, false).removable);

        QStringList recommended;
        for (const SpeechModel &model : SpeechModel::catalog())
            if (speechRow(model, false, false, 0, false).recommended)
                recommended << model.id;
        QCOMPARE(recommended, (QStringList{"pocket", "velocity"}));
    }

    void writingControls_data()
    {
        QTest::addColumn<AgentModelProvider>("provider");
        QTest::addColumn<bool>("downloading");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("keyMissing");
        QTest::addColumn<TrailingControl>("control");
        using P = AgentModelProvider;
        using C = TrailingControl;
        QTest::newRow("download beats active") << P::LlamaCPP << true << true << false << false << C::Progress;
        QTest::newRow("local selected") << P::LlamaCPP << false << true << true << false << C::Active;
        QTest::newRow("local selected, files gone") << P::LlamaCPP << false << true << false << false << C::Get;
        QTest::newRow("local on disk") << P::LlamaCPP << false << false << true << false << C::Use;
        QTest::newRow("local missing") << P::LlamaCPP << false << false << false << false << C::Get;
        QTest::newRow("on-device selected") << P::AppleSystem << false << true << true << false << C::Active;
        QTest::newRow("on-device never Get") << P::AppleSystem << false << false << false << false << C::Use;
        QTest::newRow("cloud selected beats key") << P::OpenAI << false << true << true << true << C::Active;
        QTest::newRow("cloud without key") << P::Gemini << false << false << true << true << C::Key;
        QTest::newRow("cloud with key") << P::Mistral << false << false << true << false << C::Use;
    }
    void writingControls()
    {
        QFETCH(AgentModelProvider, provider);
        QFETCH(bool, downloading);
        QFETCH(bool, selected);
        QFETCH(bool, available);
        QFETCH(bool, keyMissing);
        QFETCH(TrailingControl, control);
        QCOMPARE(writingControl(provider, downloading, selected, available, keyMissing), control);
    }

    void writingRowWords_data()
    {
        QTest::addColumn<QString>("modelID");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("keyStored");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("removable");
        QTest::newRow("on-device") << "apple-system" << true << false << "BUILT IN" << false;
        QTest::newRow("local on disk") << "qwen3-4b-q4" << true << false << "DOWNLOADED" << true;
        QTest::newRow("local missing") << "qwen3-4b-q4" << false << false << "DOWNLOAD" << false;
        QTest::newRow("cloud, no key") << "openai-luna" << true << false << "KEY NEEDED" << false;
        QTest::newRow("cloud, key") << "openai-luna" << true << true << "API READY" << false;
    }
    void writingRowWords()
    {
        QFETCH(QString, modelID);
        QFETCH(bool, available);
        QFETCH(bool, keyStored);
        QFETCH(QString, status);
        QFETCH(bool, removable);
        const WritingRow row = writingRow(catalogModel(modelID.toLatin1().constData()), false, false, 0, available, keyStored);
        QCOMPARE(row.status, status);
        QCOMPARE(row.removable, removable);
    }

    void onDeviceRowSaysThisComputerHasNoSuchModel()
    {
        const WritingRow row = writingRow(catalogModel("apple-system"), false, false, 0, true, false);
        QCOMPARE(row.detail, QStringLiteral("No on-device model on this computer"));
        QCOMPARE(row.control, TrailingControl::Use); // still selectable: it is the default
        const AgentModelDescriptor cloud = catalogModel("mistral-small");
        QCOMPARE(writingRow(cloud, false, false, 0, true, true).detail, cloud.organization + " · " + cloud.officialName);
        QCOMPARE(writingRow(cloud, false, false, 0, true, true).keyProvider, AgentWritingProvider::Mistral);
    }

    void sectionHeadersUseKnownSymbols()
    {
        const QList<std::pair<WritingSection, QString>> expected{{WritingSection::BuiltIn, "SYSTEM"},
                                                                 {WritingSection::Local, "ON THIS COMPUTER"},
                                                                 {WritingSection::Cloud, "VIA API"}};
        for (const auto &[section, tag] : expected) {
            const SectionHeader header = sectionHeader(section);
            QCOMPARE(header.tag, tag);
            QVERIFY2(Symbols::isKnown(header.icon), qPrintable(header.icon));
        }
        QCOMPARE(sectionHeader(WritingSection::BuiltIn).title, QStringLiteral("Built into the system"));
        QCOMPARE(sectionOf(AgentModelProvider::Gemini), WritingSection::Cloud);
        QCOMPARE(sectionOf(AgentModelProvider::LlamaCPP), WritingSection::Local);
    }

    void footerSources_data()
    {
        QTest::addColumn<QString>("sheetError");
        QTest::addColumn<QString>("onboardingError");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isError");
        QTest::newRow("note") << QString() << QString() << "Downloaded models can be removed here." << false;
        QTest::newRow("onboarding's error") << QString() << "offline" << "offline" << true;
        QTest::newRow("the sheet's own first") << "disk full" << "offline" << "disk full" << true;
    }
    void footerSources()
    {
        QFETCH(QString, sheetError);
        QFETCH(QString, onboardingError);
        QFETCH(QString, text);
        QFETCH(bool, isError);
        const auto optional = [](const QString &s) { return s.isEmpty() ? std::nullopt : std::optional<QString>(s); };
        QCOMPARE(footerMessage(optional(sheetError), optional(onboardingError), speechSheetNote()),
                 (FooterMessage{text, isError}));
    }

    void removalTitles()
    {
        QCOMPARE(removalTitle(QStringLiteral("Velocity")), QStringLiteral("Remove Velocity?"));
        QCOMPARE(removalTitle(std::nullopt), QStringLiteral("Remove model?"));
    }
};

QTEST_GUILESS_MAIN(ModelSheetRulesTest)
#include "tst_model_sheet_rules.moc"
