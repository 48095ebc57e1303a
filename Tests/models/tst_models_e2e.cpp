// The built program as a new user meets it: the first-run set-up walked to its end, then
// Models, a speech model fetched from a loopback server with its progress on screen,
// used, and removed again. Driven through the accessibility bus, as assistive
// technology would, and with the pointer for the row's menu.
#include "AtSpiDriver.h"
#include "Dictation/SpeechModel.h"
#include "LoopbackHttpServer.h"
#include "ProcessLiveness.h"
#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>


using namespace sorvane;
using namespace sorvane::testing;

namespace {

constexpr int wait = 60000;

// A value of the program's settings file, which keeps each as {"<type>": value}.
QJsonValue setting(const QString &configHome, const char *key)
{
    QFile file(configHome + QStringLiteral("/Sorvane/settings.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject typed = QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String(key)).toObject();
    return typed.isEmpty() ? QJsonValue() : *typed.begin();
}

} // namespace

class ModelsEndToEndTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    LoopbackHttpServer m_server;
    AtSpiDriver m_atspi;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("SORVANE_SKIP_INSTALL_LOCATION_PROMPT"), QStringLiteral("1"));
        env.insert(QStringLiteral("SORVANE_MODEL_HOST"), m_server.url(QString()).toString());
        env.insert(QStringLiteral("SORVANE_SORVANE_AGENT_PATH"), testProgram(QStringLiteral("fake-sorvane-agent")));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
        return env;
    }

    void serve(const char *id, int chunkDelay)
    {
        const SpeechModel *model = SpeechModel::find(QString::fromLatin1(id));
        LoopbackHttpServer::Response response;
        response.body = QByteArray(256 * 1024, 'm');
        response.chunkSize = 4096;
        response.chunkDelay = chunkDelay;
        m_server.route(model->url.path(), response);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs the test session's display and accessibility bus; run through scripts/test.sh");
        QVERIFY(m_server.listen());
        QVERIFY2(m_atspi.connect(), "no accessibility bus");
    }

    void aNewUserSetsUpThenFetchesUsesAndRemovesASpeechModel()
    {
        serve("pocket", 0);
        // Slow enough for the bar to be seen: 64 pieces, 80 ms apart.
        serve("swift", 80);
        const QString modelsFolder = m_home.filePath(QStringLiteral("data/Sorvane/Models"));
        const QString swiftFile = modelsFolder + QLatin1Char('/') + SpeechModel::find(QStringLiteral("swift"))->fileName;

        QProcess program;
        program.setProcessEnvironment(environment());
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(buildDirectory() + QStringLiteral("/bin/sorvane"), QStringList());
        QVERIFY(program.waitForStarted(wait));
        const auto stop = qScopeGuard([&] {
            program.terminate();
            if (!program.waitForFinished(10000))
                program.kill();
            program.waitForFinished(5000);
        });
        const auto app = m_atspi.application(QStringLiteral("Sorvane"), wait);
        QVERIFY2(app, "the program never appeared on the accessibility bus");

        // A second start hands over to the first, which shows its window.
        QProcess second;
        second.setProcessEnvironment(environment());
        second.start(buildDirectory() + QStringLiteral("/bin/sorvane"), QStringList());
        QVERIFY(second.waitForFinished(wait));

        // The set-up, to its end: nothing is granted or refused on the way.
        // Each page shows its own button: the permission's (asked or ready), then Finish.
        const QList<QStringList> pages{{QStringLiteral("Allow microphone"), QStringLiteral("Microphone ready")},
                                       {QStringLiteral("Allow auto-paste"), QStringLiteral("Auto-paste ready")},
                                       {QStringLiteral("Finish setup")}};
        for (const QStringList &page : pages) {
            QVERIFY2(m_atspi.clickButton(*app, QStringLiteral("Continue"), wait), "no Continue");
            const auto shown = m_atspi.waitFor(*app, [&](const AtSpiNode &node) { return page.contains(m_atspi.name(node)); },
                                               wait);
            if (!shown)
                qWarning().noquote() << m_atspi.dump(*app);
            QVERIFY2(shown, qPrintable(page.first()));
        }
        QVERIFY(m_atspi.clickButton(*app, QStringLiteral("Finish setup"), wait));
        QTRY_VERIFY_WITH_TIMEOUT(setting(m_home.filePath(QStringLiteral("config")), "onboardingComplete").toBool(),
                                 wait);

        // Models, then the speech-model sheet.
        QVERIFY2(m_atspi.clickButton(*app, QStringLiteral("Models"), wait), "no Models section");
        QVERIFY2(m_atspi.clickButton(*app, QStringLiteral("Change speech model"), wait), "no Change");
        QVERIFY2(m_atspi.clickButton(*app, QStringLiteral("Get Swift"), wait), "no Get for Swift");

        // Its progress, on screen while the bytes arrive.
        // The bar says how far it is ("Downloading Swift, 42%"): more than nothing, less than all.
        const auto part = m_atspi.waitFor(*app, [&](const AtSpiNode &node) {
            const QString name = m_atspi.name(node);
            if (!name.startsWith(QLatin1String("Downloading Swift, ")))
                return false;
            const int percent = name.section(QLatin1Char(' '), 2).chopped(1).toInt();
            return percent > 0 && percent < 100;
        }, wait);
        QVERIFY2(part, "no progress shown while the download ran");

        // In place, it is the selected model: Dictation uses it.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(swiftFile), wait);
        QTRY_COMPARE_WITH_TIMEOUT(setting(m_home.filePath(QStringLiteral("config")), "selectedModelID").toString(),
                                  QStringLiteral("swift"), wait);
        QCOMPARE(QFileInfo(swiftFile).size(), qint64(256 * 1024));

        // Removed from its row's menu, after the confirmation.
        const auto row = m_atspi.waitFor(*app, m_atspi.named(QStringLiteral("Swift")), wait);
        QVERIFY(row);
        QVERIFY(m_atspi.click(*row, 3));
        QVERIFY2(m_atspi.clickButton(*app, QStringLiteral("Remove downloaded model"), wait), "no menu item");
        const auto confirm = m_atspi.waitFor(*app, [&](const AtSpiNode &node) {
            return m_atspi.name(node) == QStringLiteral("Remove downloaded model")
                && m_atspi.role(node) == AtSpiDriver::rolePushButton;
        }, wait);
        QVERIFY2(confirm, "no confirmation");
        QVERIFY(m_atspi.click(*confirm));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(swiftFile), wait);
        QTRY_COMPARE_WITH_TIMEOUT(setting(m_home.filePath(QStringLiteral("config")), "selectedModelID").toString(),
                                  QStringLiteral("pocket"), wait);
        QVERIFY(m_atspi.waitFor(*app, m_atspi.named(QStringLiteral("Get Swift")), wait));
    }
};

QTEST_MAIN(ModelsEndToEndTest)
#include "tst_models_e2e.moc"
