#pragma once

#include <QObject>
#include <QString>

namespace sorvane {

// "Open at login" as the XDG autostart file
// $XDG_CONFIG_HOME/autostart/com.sorvane.local.desktop, whose Exec names the portable
// image when the program runs as one and the running program otherwise.
class LoginItemController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY isEnabledChanged)
    // The last problem with the login item; empty when there is none.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)

public:
    // The autostart folder and the program to start; empty arguments take
    // $XDG_CONFIG_HOME/autostart and $APPIMAGE, else the running program.
    explicit LoginItemController(const QString &autostartFolder = QString(), const QString &program = QString(),
                                 QObject *parent = nullptr);

    bool isEnabled() const { return m_isEnabled; }
    QString message() const { return m_message; }
    QString autostartFile() const;
    QString program() const { return m_program; }

    Q_INVOKABLE void setEnabled(bool enabled);

    // The file's text for a program path.
    static QByteArray autostartEntry(const QString &program);
    // One argument of an Exec line, quoted as the Desktop Entry rules ask, before the
    // string escapes of the file format ("\\" for each backslash) are applied.
    static QString execArgument(const QString &argument);
    // A whole Exec value as written in the file.
    static QString execValue(const QStringList &arguments);

Q_SIGNALS:
    void isEnabledChanged();
    void messageChanged();

private:
    bool readEnabled() const;
    void setMessage(const QString &message);

    QString m_folder;
    QString m_program;
    bool m_isEnabled = false;
    QString m_message;
};

} // namespace sorvane
