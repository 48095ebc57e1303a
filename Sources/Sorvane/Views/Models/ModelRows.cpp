#include "ModelRows.h"

namespace sorvane {

using namespace ModelSheetRules;

namespace {

QVariantMap mapOf(const QAbstractItemModel &model, int row)
{
    QVariantMap map;
    const QHash<int, QByteArray> roles = model.roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it)
        map.insert(QString::fromLatin1(it.value()), model.data(model.index(row, 0), it.key()));
    return map;
}

} // namespace

// ---- Speech models -------------------------------------------------------------

SpeechModelRows::SpeechModelRows(QObject *parent) : KeyedListModel(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &SpeechModelRows::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &SpeechModelRows::countChanged);
}

void SpeechModelRows::setState(AppState *state)
{
    if (m_state == state)
        return;
    if (m_state)
        disconnect(&m_state->modelStore(), nullptr, this, nullptr);
    m_state = state;
    if (m_state) {
        ModelStore &store = m_state->modelStore();
        connect(&store, &ModelStore::revisionChanged, this, &SpeechModelRows::refresh);
        connect(&store, &ModelStore::progressChanged, this, &SpeechModelRows::refresh);
        connect(&store, &ModelStore::activeDownloadsChanged, this, &SpeechModelRows::refresh);
        // A file removed while no one watched: looked at again as the list appears.
        store.recheck();
    }
    Q_EMIT stateChanged();
    refresh();
}

void SpeechModelRows::setSelectedID(const QString &id)
{
    if (m_selectedID == id)
        return;
    m_selectedID = id;
    Q_EMIT selectedIDChanged();
    refresh();
}

void SpeechModelRows::refresh()
{
    QList<SpeechModelListRow> rows;
    if (m_state) {
        const ModelStore &store = m_state->modelStore();
        for (const SpeechModel &model : store.catalog())
            rows.append({model, speechRow(model, store.isPresent(model), store.activeDownloads().contains(model.id),
                                          store.progress().value(model.id, 0.0), model.id == m_selectedID)});
    }
    replaceRows(rows);
}

std::optional<SpeechRow> SpeechModelRows::rowOf(const QString &modelID) const
{
    for (const SpeechModelListRow &row : rows())
        if (row.model.id == modelID)
            return row.row;
    return std::nullopt;
}

QVariantMap SpeechModelRows::rowData(const QString &modelID) const
{
    for (int i = 0; i < rows().size(); ++i)
        if (rows().at(i).model.id == modelID)
            return mapOf(*this, i);
    return {};
}

QVariant SpeechModelRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows().size())
        return {};
    const SpeechModel &model = rows().at(index.row()).model;
    const SpeechRow &row = rows().at(index.row()).row;
    switch (role) {
    case ModelIdRole: return model.id;
    case NameRole: return model.name;
    case DetailRole: return row.detail;
    case MakerLineRole: return QString(model.organization + QStringLiteral(" \u00b7 ") + model.officialName);
    case LanguagesRole: return model.languageSummary;
    case SizeRole: return model.sizeLabel;
    case SpeedRole: return model.speedRating();
    case QualityRole: return model.qualityRating();
    case InstalledRole: return row.installed;
    case DownloadingRole: return row.downloading;
    case ProgressRole: return row.progress;
    case PercentRole: return percentText(row.progress);
    case SelectedRole: return row.selected;
    case ControlRole: return int(row.control);
    case ControlTitleRole: return controlTitle(row.control);
    case StatusRole: return row.status;
    case RemovableRole: return row.removable;
    case RecommendedRole: return row.recommended;
    }
    return {};
}

QHash<int, QByteArray> SpeechModelRows::roleNames() const
{
    return {{ModelIdRole, "modelId"},     {NameRole, "name"},           {DetailRole, "detail"},
            {MakerLineRole, "makerLine"}, {LanguagesRole, "languages"}, {SizeRole, "size"},
            {SpeedRole, "speed"},         {QualityRole, "quality"},     {InstalledRole, "installed"},
            {DownloadingRole, "downloading"}, {ProgressRole, "progress"}, {PercentRole, "percent"},
            {SelectedRole, "selected"},   {ControlRole, "control"},     {ControlTitleRole, "controlTitle"},
            {StatusRole, "status"},       {RemovableRole, "removable"}, {RecommendedRole, "recommended"}};
}

// ---- Writing models ------------------------------------------------------------

WritingModelRows::WritingModelRows(QObject *parent) : KeyedListModel(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &WritingModelRows::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &WritingModelRows::countChanged);
}

void WritingModelRows::setState(AppState *state)
{
    if (m_state == state)
        return;
    if (m_state) {
        disconnect(&m_state->agentModelStore(), nullptr, this, nullptr);
        disconnect(m_state, nullptr, this, nullptr);
    }
    m_state = state;
    if (m_state) {
        AgentModelStore &store = m_state->agentModelStore();
        connect(&store, &AgentModelStore::revisionChanged, this, &WritingModelRows::refresh);
        connect(&store, &AgentModelStore::progressChanged, this, &WritingModelRows::refresh);
        connect(&store, &AgentModelStore::activeDownloadsChanged, this, &WritingModelRows::refresh);
        connect(&store, &AgentModelStore::customModelsChanged, this, &WritingModelRows::refresh);
        connect(m_state, &AppState::selectedAgentModelChanged, this, &WritingModelRows::refresh);
        connect(m_state, &AppState::agentSettingsChanged, this, &WritingModelRows::refresh);
        connect(m_state, &AppState::configuredCloudProvidersChanged, this, &WritingModelRows::refresh);
        store.recheck();
    }
    Q_EMIT stateChanged();
    refresh();
}

void WritingModelRows::refresh()
{
    QList<WritingModelListRow> rows;
    if (m_state) {
        const AgentModelStore &store = m_state->agentModelStore();
        const auto selected = m_state->selectedAgentModel();
        QList<AgentModelDescriptor> all = AgentModelDescriptor::catalog();
        all.append(store.customModels());
        for (WritingSection section : {WritingSection::BuiltIn, WritingSection::Local, WritingSection::Cloud}) {
            WritingModelListRow header;
            header.id = QStringLiteral("section:") + QString::number(int(section));
            header.isHeader = true;
            header.header = sectionHeader(section);
            rows.append(header);
            for (const AgentModelDescriptor &model : all) {
                if (sectionOf(model.provider) != section)
                    continue;
                WritingModelListRow line;
                line.id = model.id;
                line.model = model;
                line.row = writingRow(model, selected && selected->id == model.id,
                                      store.activeDownloads().contains(model.id), store.progress().value(model.id, 0.0),
                                      store.isAvailable(model),
                                      m_state->isAPIKeyConfigured(keyProviderOf(model.provider)));
                rows.append(line);
            }
        }
    }
    replaceRows(rows);
}

std::optional<WritingRow> WritingModelRows::rowOf(const QString &modelID) const
{
    for (const WritingModelListRow &row : rows())
        if (!row.isHeader && row.model.id == modelID)
            return row.row;
    return std::nullopt;
}

QVariantMap WritingModelRows::rowData(const QString &modelID) const
{
    for (int i = 0; i < rows().size(); ++i)
        if (!rows().at(i).isHeader && rows().at(i).model.id == modelID)
            return mapOf(*this, i);
    return {};
}

QVariant WritingModelRows::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows().size())
        return {};
    const WritingModelListRow &line = rows().at(index.row());
    switch (role) {
    case RowIdRole: return line.id;
    case IsHeaderRole: return line.isHeader;
    case IconRole: return line.header.icon;
    case TitleRole: return line.header.title;
    case HeaderDetailRole: return line.header.detail;
    case TagRole: return line.header.tag;
    }
    if (line.isHeader)
        return {};
    switch (role) {
    case ModelIdRole: return line.model.id;
    case NameRole: return line.model.name;
    case DetailRole: return line.row.detail;
    case SpeedRole: return line.model.speedRating();
    case QualityRole: return line.model.qualityRating();
    case SizeRole: return line.model.sizeLabel;
    case StatusRole: return line.row.status;
    case SelectedRole: return line.row.selected;
    case DownloadingRole: return line.row.downloading;
    case ProgressRole: return line.row.progress;
    case ControlRole: return int(line.row.control);
    case ControlTitleRole: return controlTitle(line.row.control);
    case RemovableRole: return line.row.removable;
    case KeyProviderRole: return int(line.row.keyProvider);
    }
    return {};
}

QHash<int, QByteArray> WritingModelRows::roleNames() const
{
    return {{RowIdRole, "rowId"},       {IsHeaderRole, "isHeader"},   {IconRole, "icon"},
            {TitleRole, "title"},       {HeaderDetailRole, "headerDetail"}, {TagRole, "tag"},
            {ModelIdRole, "modelId"},   {NameRole, "name"},           {DetailRole, "detail"},
            {SpeedRole, "speed"},       {QualityRole, "quality"},     {SizeRole, "size"},
            {StatusRole, "status"},     {SelectedRole, "selected"},   {DownloadingRole, "downloading"},
            {ProgressRole, "progress"}, {ControlRole, "control"},     {ControlTitleRole, "controlTitle"},
            {RemovableRole, "removable"}, {KeyProviderRole, "keyProvider"}};
}

} // namespace sorvane
