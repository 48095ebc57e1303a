#pragma once

#include "Support/TextEnum.h"

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace sorvane {

// Who runs a writing model. Text values "appleSystem" (the on-device model),
// "llamaCPP" (a local model file run by the inference server), "openAI", "gemini", "mistral".
enum class AgentModelProvider { AppleSystem, LlamaCPP, OpenAI, Gemini, Mistral };

template <> struct EnumText<AgentModelProvider> { static TextEntries<AgentModelProvider> table(); };

struct AgentModelCapabilities {
    bool text = true;
    bool images = false; // accepts a window screenshot

    friend bool operator==(const AgentModelCapabilities &, const AgentModelCapabilities &) = default;

    QJsonObject toJson() const;
    static std::optional<AgentModelCapabilities> fromJson(const QJsonValue &value);
};

// One downloadable file of a local model, kept as <agent models>/<model id>/<fileName>.
struct AgentModelArtifact {
    // Text values "model" (the weights) and "visionProjector".
    enum class Role { Model, VisionProjector };

    QString fileName;
    QUrl url;
    qint64 byteSize = 0;
    QString sha256; // 64 lower-case hexadecimal digits
    Role role = Role::Model;

    friend bool operator==(const AgentModelArtifact &, const AgentModelArtifact &) = default;

    QJsonObject toJson() const;
    // Every key is required, and the file name must be one plain path component.
    static std::optional<AgentModelArtifact> fromJson(const QJsonValue &value);
};

template <> struct EnumText<AgentModelArtifact::Role> { static TextEntries<AgentModelArtifact::Role> table(); };

// One writing model: a catalogue entry or a model the user added.
// A value type for QML: the text fields, `isCustom` and `takesImages`.
struct AgentModelDescriptor {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(QString officialName MEMBER officialName CONSTANT)
    Q_PROPERTY(QString organization MEMBER organization CONSTANT)
    Q_PROPERTY(QString detail MEMBER detail CONSTANT)
    Q_PROPERTY(QString sizeLabel MEMBER sizeLabel CONSTANT)
    Q_PROPERTY(QString license MEMBER license CONSTANT)
    Q_PROPERTY(bool isCustom MEMBER isCustom CONSTANT)
    Q_PROPERTY(bool takesImages READ takesImages CONSTANT)
public:
    QString id; // selection key, and the folder name of a local model's files
    QString name;
    QString officialName; // for cloud models, the identifier the provider's API knows
    QString organization;
    QString detail;
    QString sizeLabel;
    QString license;
    QString sourceRevision; // the pinned repository revision of a local model, else a version label
    AgentModelProvider provider = AgentModelProvider::LlamaCPP;
    AgentModelCapabilities capabilities;
    QList<AgentModelArtifact> artifacts;
    bool isCustom = false;
    bool recommendedFor16GB = false;
    std::optional<int> minimumMemoryGB;
    std::optional<int> recommendedMemoryGB;

    friend bool operator==(const AgentModelDescriptor &, const AgentModelDescriptor &) = default;

    bool takesImages() const { return capabilities.images; }

    // The first artifact with that role, if any.
    std::optional<AgentModelArtifact> modelArtifact() const;
    std::optional<AgentModelArtifact> projectorArtifact() const;

    // 1 to 5, by id; any id outside the built-in table (every custom model) rates 3.
    int speedRating() const;
    int qualityRating() const;

    // The memory fields are left out when absent; every other key is always written.
    QJsonObject toJson() const;
    // Every key but the two memory fields is required. The id and every artifact's
    // file name become path components, so each must be one plain component.
    static std::optional<AgentModelDescriptor> fromJson(const QJsonValue &value);

    // The built-in writing models in their fixed order; built once, never changed.
    static const QList<AgentModelDescriptor> &catalog();
};

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::AgentModelDescriptor)
