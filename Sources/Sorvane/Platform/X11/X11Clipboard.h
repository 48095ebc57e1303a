#pragma once

#include "Platform/SystemClipboard.h"

#include <QClipboard>

namespace sorvane {

// The general clipboard through QClipboard. On X11 the data we put on the clipboard
// stays in this program and is handed to another program only when that program
// asks for it (when it handles a paste); that hand-over is what fetchCount() counts.
// The same class serves the PRIMARY selection (mode Selection), which xterm and its
// kin paste from.
class X11Clipboard final : public SystemClipboard {
    Q_OBJECT
public:
    explicit X11Clipboard(QClipboard::Mode mode = QClipboard::Clipboard, QObject *parent = nullptr);

    qint64 changeCount() const override { return m_changeCount; }
    QList<ClipboardItem> items() override;
    std::optional<QString> text() override;
    void clear() override;
    void write(const QList<ClipboardItem> &items) override;
    void setText(const QString &text) override;
    qint64 fetchCount() const override { return m_fetchCount; }

private:
    class OwnData;
    void place(OwnData *data);
    void noteChange();
    void noteFetch();

    QClipboard *m_clipboard;
    QClipboard::Mode m_mode;
    qint64 m_changeCount = 0;
    qint64 m_fetchCount = 0;
    bool m_writing = false;
    bool m_readingOurselves = false;
};

} // namespace sorvane
