#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <optional>

namespace sorvane {

// One clipboard item: every format it offers (a MIME type) with its bytes.
using ClipboardItem = QMap<QString, QByteArray>;

// The general clipboard. One instance serves the whole program, so its change count
// means the same to every reader.
class SystemClipboard : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Counts every change of the clipboard, ours and other programs'. Starts at 0.
    virtual qint64 changeCount() const = 0;

    // The items on the clipboard with all their formats; empty when it holds nothing.
    virtual QList<ClipboardItem> items() = 0;
    virtual std::optional<QString> text() = 0;

    virtual void clear() = 0;
    // Puts the items back as one clipboard content (this system holds one item: the
    // formats of the first item are written).
    virtual void write(const QList<ClipboardItem> &items) = 0;
    virtual void setText(const QString &text) = 0;

    // How many times another program has read what we put on the clipboard.
    virtual qint64 fetchCount() const = 0;

Q_SIGNALS:
    // After every change counted by changeCount().
    void changed();
    // After another program has read our clipboard data; emitted from the event loop,
    // never while the data is being handed over.
    void fetched();
};

} // namespace sorvane
