#pragma once

#include "Support/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace sorvane {

// One release of the update feed: an RSS item with its enclosure (the portable image).
// Attributes and elements are read by their local names, whatever namespace prefix
// the feed gives them: version, shortVersionString, edSignature, os.
struct AppcastItem {
    QString title;
    QString version;        // the build version compared with ours
    QString displayVersion; // shown to people; the build version when the feed has none
    QUrl url;               // of the enclosure
    qint64 length = 0;      // announced size in bytes; the download must match it exactly
    QByteArray edSignature; // base64 text as in the feed
    QString os;             // empty for any

    friend bool operator==(const AppcastItem &, const AppcastItem &) = default;
};

// Reads a feed. A document that is not well-formed XML, or has no RSS channel, is an
// error; an item without an enclosure address or version is left out.
Result<QList<AppcastItem>, QString> parseAppcast(const QByteArray &xml);

// The newest item newer than `currentVersion` meant for this system (no os, or
// "linux"); on equal versions the earlier item wins. None when nothing is newer.
std::optional<AppcastItem> newestUpdate(const QList<AppcastItem> &items, const QString &currentVersion);

} // namespace sorvane
