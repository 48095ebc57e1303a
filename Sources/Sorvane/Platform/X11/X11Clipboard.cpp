#include "X11Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

namespace sorvane {

namespace {
// Qt's own alias of whatever image format the clipboard holds; its bytes are not a
// format another program offered.
const QString qtImageAlias = QStringLiteral("application/x-qt-image");
} // namespace

// What we put on the clipboard. Qt reads it when another program asks for the data
// (X11 selection request), which tells us that the paste has fetched it.
class X11Clipboard::OwnData final : public QMimeData {
public:
    explicit OwnData(X11Clipboard *owner) : m_owner(owner) {}

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override
    {
        if (m_owner && !m_owner->m_readingOurselves && hasFormat(mimeType)) {
            // Hand-over is under way inside Qt: report it once the event loop is back.
            QPointer<X11Clipboard> owner = m_owner;
            QTimer::singleShot(0, owner, [owner] {
                if (owner)
                    owner->noteFetch();
            });
        }
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    QPointer<X11Clipboard> m_owner;
};

X11Clipboard::X11Clipboard(QClipboard::Mode mode, QObject *parent)
    : SystemClipboard(parent), m_clipboard(QGuiApplication::clipboard()), m_mode(mode)
{
    connect(m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode changedMode) {
        if (changedMode == m_mode && !m_writing)
            noteChange();
    });
}

QList<ClipboardItem> X11Clipboard::items()
{
    const QMimeData *data = m_clipboard->mimeData(m_mode);
    if (!data)
        return {};
    const QStringList formats = data->formats();
    if (formats.isEmpty())
        return {};
    m_readingOurselves = true;
    ClipboardItem item;
    for (const QString &format : formats) {
        if (format == qtImageAlias)
            continue;
        const QByteArray bytes = data->data(format);
        if (!bytes.isEmpty())
            item.insert(format, bytes);
    }
    m_readingOurselves = false;
    return {item};
}

std::optional<QString> X11Clipboard::text()
{
    const QMimeData *data = m_clipboard->mimeData(m_mode);
    if (!data || !data->hasText())
        return std::nullopt;
    m_readingOurselves = true;
    QString text = data->text();
    m_readingOurselves = false;
    return text;
}

void X11Clipboard::clear()
{
    m_writing = true;
    m_clipboard->clear(m_mode);
    m_writing = false;
    noteChange();
}

void X11Clipboard::write(const QList<ClipboardItem> &items)
{
    if (items.isEmpty()) {
        clear();
        return;
    }
    auto *data = new OwnData(this);
    const ClipboardItem &item = items.first();
    for (auto it = item.constBegin(); it != item.constEnd(); ++it)
        data->setData(it.key(), it.value());
    place(data);
}

void X11Clipboard::setText(const QString &text)
{
    auto *data = new OwnData(this);
    data->setText(text);
    place(data);
}

void X11Clipboard::place(OwnData *data)
{
    m_writing = true;
    m_clipboard->setMimeData(data, m_mode);
    m_writing = false;
    noteChange();
}

void X11Clipboard::noteChange()
{
    ++m_changeCount;
    Q_EMIT changed();
}

void X11Clipboard::noteFetch()
{
    ++m_fetchCount;
    Q_EMIT fetched();
}

} // namespace sorvane
