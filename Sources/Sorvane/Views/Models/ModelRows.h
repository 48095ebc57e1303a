#pragma once

#include "MainWindow/KeyedListModel.h"
#include "MainWindow/ModelSheetRules.h"
#include "State/AppState.h"

#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace sorvane {

// One speech model of the catalogue with what a list shows of it.
struct SpeechModelListRow {
    SpeechModel model;
    ModelSheetRules::SpeechRow row;
    const QString &key() const { return model.id; }
    friend bool operator==(const SpeechModelListRow &, const SpeechModelListRow &) = default;
};

// The speech-model catalogue as the speech-model sheet and the onboarding's model page
// list it: rebuilt whenever the selection, a download or the models folder changes.
// `selectedID` is the sheet's selection (the state's) or the onboarding's choice.
class SpeechModelRows : public KeyedListModel<SpeechModelListRow> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(sorvane::AppState *state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(QString selectedID READ selectedID WRITE setSelectedID NOTIFY selectedIDChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        ModelIdRole = Qt::UserRole + 1,
        NameRole,
        DetailRole,
        MakerLineRole,
        LanguagesRole,
        SizeRole,
        SpeedRole,
        QualityRole,
        InstalledRole,
        DownloadingRole,
        ProgressRole,
        PercentRole,
        SelectedRole,
        ControlRole,
        ControlTitleRole,
        StatusRole,
        RemovableRole,
        RecommendedRole,
    };

    explicit SpeechModelRows(QObject *parent = nullptr);

    AppState *state() const { return m_state; }
    void setState(AppState *state);
    const QString &selectedID() const { return m_selectedID; }
    void setSelectedID(const QString &id);
    int count() const { return rowCount(); }

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The row of one model, empty when the catalogue has no such id.
    std::optional<ModelSheetRules::SpeechRow> rowOf(const QString &modelID) const;
    Q_INVOKABLE QVariantMap rowData(const QString &modelID) const;
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void stateChanged();
    void selectedIDChanged();
    void countChanged();

private:
    QPointer<AppState> m_state;
    QString m_selectedID;
};

// One line of the writing-model sheet: a section's header or a model.
struct WritingModelListRow {
    QString id; // "section:<n>" for a header
    bool isHeader = false;
    ModelSheetRules::SectionHeader header;
    AgentModelDescriptor model;
    ModelSheetRules::WritingRow row;
    const QString &key() const { return id; }
    friend bool operator==(const WritingModelListRow &a, const WritingModelListRow &b)
    {
        return a.id == b.id && a.isHeader == b.isHeader && a.header.title == b.header.title && a.model == b.model
            && a.row == b.row;
    }
};

// The writing models in the sheet's three sections, headers included (a header shows
// even when its section is empty): the catalogue, then the custom models.
class WritingModelRows : public KeyedListModel<WritingModelListRow> {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(sorvane::AppState *state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        RowIdRole = Qt::UserRole + 1,
        IsHeaderRole,
        IconRole,
        TitleRole,
        HeaderDetailRole,
        TagRole,
        ModelIdRole,
        NameRole,
        DetailRole,
        SpeedRole,
        QualityRole,
        SizeRole,
        StatusRole,
        SelectedRole,
        DownloadingRole,
        ProgressRole,
        ControlRole,
        ControlTitleRole,
        RemovableRole,
        KeyProviderRole,
    };

    explicit WritingModelRows(QObject *parent = nullptr);

    AppState *state() const { return m_state; }
    void setState(AppState *state);
    int count() const { return rowCount(); }

    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    std::optional<ModelSheetRules::WritingRow> rowOf(const QString &modelID) const;
    Q_INVOKABLE QVariantMap rowData(const QString &modelID) const;
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void stateChanged();
    void countChanged();

private:
    QPointer<AppState> m_state;
};

} // namespace sorvane
