#include "Platform/Multimedia/QtSoundPlayer.h"

#include "Platform/ResourceLocator.h"

#include <QSoundEffect>
#include <QUrl>

namespace sorvane {

namespace {

QUrl soundUrl(CompletionSound sound)
{
    const QString name = QStringLiteral("sounds/%1.wav").arg(QString::fromLatin1(SoundPlayer::soundName(sound)));
    const auto path = ResourceLocator::file(name);
    if (!path)
        return {};
    if (path->startsWith(QLatin1Char(':')))
        return QUrl(QStringLiteral("qrc") + *path);
    return QUrl::fromLocalFile(*path);
}

} // namespace

QtSoundPlayer::QtSoundPlayer(std::function<void()> bell, QObject *parent) : QObject(parent), m_bell(std::move(bell))
{
    for (const auto sound : allCases<CompletionSound>()) {
        const QUrl url = soundUrl(sound);
        if (url.isEmpty())
            continue;
        auto *effect = new QSoundEffect(this);
        effect->setSource(url);
        m_effects.insert(int(sound), effect);
    }
}

QtSoundPlayer::~QtSoundPlayer() = default;

bool QtSoundPlayer::play(CompletionSound sound, double volume)
{
    stop();
    QSoundEffect *effect = m_effects.value(int(sound));
    if (!effect || effect->status() == QSoundEffect::Error)
        return false;
    effect->setVolume(float(volume));
    // A sound still loading starts as soon as it is loaded.
    effect->play();
    m_current = effect;
    return true;
}

void QtSoundPlayer::stop()
{
    if (m_current)
        m_current->stop();
    m_current = nullptr;
}

bool QtSoundPlayer::isPlaying() const
{
    return m_current && (m_current->isPlaying() || m_current->status() == QSoundEffect::Loading);
}

void QtSoundPlayer::beep()
{
    if (m_bell)
        m_bell();
}

QSoundEffect *QtSoundPlayer::effect(CompletionSound sound) const { return m_effects.value(int(sound)); }

} // namespace sorvane
