#pragma once

#include "Dictation/AccentColor.h"
#include "Support/TextEnum.h"

#include <QHashFunctions>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

namespace sorvane {

// The local program that runs a speech model. Text values "whisper", "parakeet".
enum class SpeechEngine { Whisper, Parakeet };

template <> struct EnumText<SpeechEngine> { static TextEntries<SpeechEngine> table(); };

// One downloadable speech model of the fixed catalogue.
// A value type for QML: the text fields as properties.
struct SpeechModel {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id CONSTANT)
    Q_PROPERTY(QString name MEMBER name CONSTANT)
    Q_PROPERTY(QString officialName MEMBER officialName CONSTANT)
    Q_PROPERTY(QString organization MEMBER organization CONSTANT)
    Q_PROPERTY(QString tier MEMBER tier CONSTANT)
    Q_PROPERTY(QString detail MEMBER detail CONSTANT)
    Q_PROPERTY(QString sizeLabel MEMBER sizeLabel CONSTANT)
    Q_PROPERTY(qint64 byteSize MEMBER byteSize CONSTANT)
    Q_PROPERTY(QString fileName MEMBER fileName CONSTANT)
    Q_PROPERTY(bool isEnglishOnly MEMBER isEnglishOnly CONSTANT)
    Q_PROPERTY(QString languageSummary MEMBER languageSummary CONSTANT)
    Q_PROPERTY(QString license MEMBER license CONSTANT)
    Q_PROPERTY(QString accent MEMBER accent CONSTANT)
public:
    QString id;
    QString name;
    QString officialName;
    QString organization;
    QString tier;
    QString detail;
    QString sizeLabel;    // shown as it stands, not computed from byteSize
    qint64 byteSize = 0;  // for display only; never checked against the download
    QString fileName;     // name under AppPaths::models() and last part of the download address
    QUrl url;
    bool isEnglishOnly = false;
    QString languageSummary;
    QString license;
    SpeechEngine engine = SpeechEngine::Whisper;
    QString accent;       // colour word; the drawn colour comes from accentColor()

    friend bool operator==(const SpeechModel &, const SpeechModel &) = default;

    // The five models in display order, built once.
    static const QList<SpeechModel> &catalog();
    // The catalogue entry with exactly this id (case-sensitive), if any.
    static const SpeechModel *find(const QString &id);

    // Display members, chosen by id alone: an id outside the catalogue (a stored id
    // from a later version, say) rates 3 and 3 and draws a neutral waveform glyph.
    int speedRating() const { return speedRating(id); }
    int qualityRating() const { return qualityRating(id); }
    AccentColor accentColor() const { return accentColor(id); }
    QString symbolName() const { return symbolName(id); }

    static int speedRating(const QString &id);
    static int qualityRating(const QString &id);
    static AccentColor accentColor(const QString &id);
    static QString symbolName(const QString &id);

    // <host>/<owner>/<repository>/resolve/main/<fileName>?download=true
    static QUrl downloadUrl(const QString &host, const QString &owner, const QString &repository,
                            const QString &fileName);
};

size_t qHash(const SpeechModel &model, size_t seed = 0);

} // namespace sorvane

Q_DECLARE_METATYPE(sorvane::SpeechModel)
