#include "Services/Shell/LoginItemController.h"
#include "Shell/ShellLaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QStandardPaths>

namespace sorvane {

namespace {

const QString fileName = QStringLiteral("com.sorvane.local.desktop");

} // namespace

LoginItemController::LoginItemController(const QString &autostartFolder, const QString &program, QObject *parent)
    : QObject(parent), m_folder(autostartFolder), m_program(program)
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    if (m_program.isEmpty())
        m_program = QProcessEnvironment::systemEnvironment().value(QStringLiteral("APPIMAGE"));
    if (m_program.isEmpty() && QCoreApplication::instance())
        m_program = QCoreApplication::applicationFilePath();
    m_isEnabled = !m_program.isEmpty() && readEnabled();
}

QString LoginItemController::autostartFile() const
{
    return m_folder + QLatin1Char('/') + fileName;
}

bool LoginItemController::readEnabled() const
{
    QFile file(autostartFile());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A file the desktop's own settings switched off still exists but does nothing.
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed == "Hidden=true" || trimmed == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

void LoginItemController::setMessage(const QString &message)
{
    if (m_message == message)
        return;
    m_message = message;
    Q_EMIT messageChanged();
}

void LoginItemController::setEnabled(bool enabled)
{
    setMessage(QString());
    if (m_program.isEmpty()) {
        setMessage(QStringLiteral("Open at login requires the installed Sorvane app."));
        return;
    }
    if (enabled) {
        QSaveFile file(autostartFile());
        if (!QDir().mkpath(m_folder) || !file.open(QIODevice::WriteOnly)
            || file.write(autostartEntry(m_program)) < 0 || !file.commit())
            setMessage(QStringLiteral("The login item could not be saved: %1").arg(file.errorString()));
    } else if (QFileInfo::exists(autostartFile())) {
        QFile file(autostartFile());
        if (!file.remove())
            setMessage(QStringLiteral("The login item could not be removed: %1").arg(file.errorString()));
    }
    const bool now = readEnabled();
    if (now != m_isEnabled) {
        m_isEnabled = now;
        Q_EMIT isEnabledChanged();
    }
}

QString LoginItemController::execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString out = argument;
    // A literal percent sign is written twice, in quotes or not.
    out.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needsQuotes)
        return out;
    QString quoted;
    for (const QChar c : out) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString LoginItemController::execValue(const QStringList &arguments)
{
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted.append(execArgument(argument));
    // The file's string escapes come on top of the quoting.
    QString value = quoted.join(QLatin1Char(' '));
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return value;
}

QByteArray LoginItemController::autostartEntry(const QString &program)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Sorvane\n");
    text += QStringLiteral("Comment=Dictation and writing assistant\n");
    // The one start that may keep the window closed (see main.cpp).
    text += QStringLiteral("Exec=") + execValue({program, QLatin1String(autostartArgument)}) + QLatin1Char('\n');
    text += QStringLiteral("Icon=com.sorvane.local\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

} // namespace sorvane
