#include "ShellWindows.h"

#include "State/AppState.h"
#include "MainMenuModel.h"
#include "Services/Shell/ApplicationLocationController.h"
#include "Services/Shell/UpdateController.h"
#include "Services/Shell/Updater/UpdateWindowModel.h"
#include "Platform/SettingsStore.h"
#include "Shell/ShellLaunch.h"
#include "ViewsModule.h"

#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTimer>

namespace sorvane {

Q_LOGGING_CATEGORY(shellLog, "sorvane.shell")

namespace {

const QString qmlFolder = QStringLiteral("qrc:/qt/qml/Sorvane/Shell/");

} // namespace

ShellWindows::ShellWindows(UpdateController *updates, ApplicationLocationController *location, QObject *parent)
    : QObject(parent), m_updates(updates), m_location(location)
{
    if (m_updates) {
        connect(m_updates->window(), &UpdateWindowModel::focusRequested, this, &ShellWindows::showUpdateWindow);
        connect(m_updates->window(), &UpdateWindowModel::closeRequested, this, [this] {
            if (m_updateWindow)
                m_updateWindow->hide();
        });
    }
    // The became-active refresh runs on a later turn, as the tray's actions do.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            QTimer::singleShot(0, this, &ShellWindows::refreshPermissions);
    });
}

ShellWindows::~ShellWindows()
{
    delete m_mainWindow;
    delete m_updateWindow;
}

void ShellWindows::setState(AppState *state)
{
    m_state = state;
    if (m_engine)
        m_engine->rootContext()->setContextProperty(QStringLiteral("appState"), state);
}

QQmlEngine *ShellWindows::engine()
{
    if (!m_engine) {
        views::initialise();
        m_engine = std::make_unique<QQmlEngine>();
        views::prepareEngine(*m_engine);
        m_engine->rootContext()->setContextProperty(QStringLiteral("appState"), m_state.data());
    }
    return m_engine.get();
}

QUrl ShellWindows::rootViewUrl()
{
    static const QString root = QStringLiteral(":/qt/qml/Sorvane/Main/RootView.qml");
    return QFile::exists(root) ? QUrl(QStringLiteral("qrc") + root) : QUrl();
}

QQuickWindow *ShellWindows::makeWindow(const QString &file, const QVariantMap &properties)
{
    QQmlComponent component(engine(), QUrl(qmlFolder + file));
    QObject *object = component.createWithInitialProperties(properties);
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window) {
        qCWarning(shellLog) << "could not make" << file << component.errorString();
        delete object;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    return window;
}

void ShellWindows::ensureMainWindow()
{
    if (m_mainWindow)
        return;
    m_mainWindow = makeWindow(QStringLiteral("MainWindow.qml"),
                              {{QStringLiteral("menus"), QVariant::fromValue<QObject *>(m_menus.data())},
                               {QStringLiteral("shell"), QVariant::fromValue<QObject *>(this)},
                               {QStringLiteral("updates"), QVariant::fromValue<QObject *>(m_updates.data())},
                               {QStringLiteral("applicationLocation"), QVariant::fromValue<QObject *>(m_location.data())},
                               {QStringLiteral("rootViewUrl"), rootViewUrl()}});
    if (!m_mainWindow)
        return;
    QQuickWindow *window = m_mainWindow;
    connect(window, &QWindow::visibleChanged, this, [this, window](bool visible) {
        if (visible) {
            refreshPermissions();
            Q_EMIT mainWindowShown();
            return;
        }
        // Closed: let go of the window and all it holds; it is made again when wanted.
        if (m_mainWindow == window) {
            m_mainWindow = nullptr;
            window->deleteLater();
            Q_EMIT mainWindowClosed();
        }
    });
}

bool ShellWindows::raiseMainWindow()
{
    ensureMainWindow();
    if (!m_mainWindow)
        return false;
    m_mainWindow->show();
    m_mainWindow->raise();
    m_mainWindow->requestActivate();
    return true;
}

void ShellWindows::activateApplication()
{
    if (m_mainWindow && m_mainWindow->isVisible())
        m_mainWindow->requestActivate();
}

bool ShellWindows::explainsClose()
{
    const bool trayAvailable = !m_trayAvailable || m_trayAvailable();
    bool said = m_closeExplained;
    if (m_state)
        said = said || m_state->defaults().boolValue(keepsRunningNoticeShownKey()).value_or(false);
    if (!saysKeepsRunningOnClose(trayAvailable, said))
        return false;
    m_closeExplained = true;
    if (m_state)
        m_state->defaults().setValue(keepsRunningNoticeShownKey(), true);
    return true;
}

QString ShellWindows::keepsRunningTitle() const
{
    return sorvane::keepsRunningTitle();
}

QString ShellWindows::keepsRunningMessage() const
{
    return sorvane::keepsRunningMessage();
}

void ShellWindows::showUpdateWindow()
{
    if (!m_updates)
        return;
    if (!m_updateWindow)
        m_updateWindow = makeWindow(QStringLiteral("UpdateWindow.qml"),
                                    {{QStringLiteral("model"), QVariant::fromValue<QObject *>(m_updates->window())}});
    if (!m_updateWindow)
        return;
    m_updateWindow->show();
    m_updateWindow->raise();
    m_updateWindow->requestActivate();
}

void ShellWindows::refreshPermissions()
{
    if (m_state)
        m_state->refreshPermissions();
}

} // namespace sorvane
