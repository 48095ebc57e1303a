#pragma once

#include <QObject>
#include <QString>

namespace sorvane::testing {

// Stands in for the program's install-location check: counts its refreshes.
class FakeApplicationLocation : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool shouldShowPrompt READ shouldShowPrompt WRITE setShouldShowPrompt NOTIFY shouldShowPromptChanged)
public:
    bool due = false; // what the next refresh finds
    int refreshes = 0;
    int reveals = 0;

    bool shouldShowPrompt() const { return m_shown; }
    void setShouldShowPrompt(bool show)
    {
        m_shown = show;
        Q_EMIT shouldShowPromptChanged();
    }
    Q_INVOKABLE void refresh()
    {
        ++refreshes;
        setShouldShowPrompt(due);
    }
    Q_INVOKABLE void revealCurrentApplication() { ++reveals; }
    QString sentence = QStringLiteral("Sorvane is currently running outside Applications.");
    int folderOpens = 0;
    Q_INVOKABLE QString locationSentence() const { return sentence; }
    Q_INVOKABLE bool openApplicationsFolder()
    {
        ++folderOpens;
        return true;
    }

Q_SIGNALS:
    void shouldShowPromptChanged();

private:
    bool m_shown = false;
};

// Stands in for the updater's published state.
class FakeUpdates : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString presentationLabel READ presentationLabel NOTIFY presentationChanged)
    Q_PROPERTY(bool presentationIsIdle READ presentationIsIdle NOTIFY presentationChanged)
public:
    int presentations = 0;
    QString presentationLabel() const { return m_label; }
    bool presentationIsIdle() const { return m_label.isEmpty(); }
    void setLabel(const QString &label)
    {
        m_label = label;
        Q_EMIT presentationChanged();
    }
    Q_INVOKABLE void presentCurrentUpdate() { ++presentations; }

Q_SIGNALS:
    void presentationChanged();

private:
    QString m_label;
};

} // namespace sorvane::testing
