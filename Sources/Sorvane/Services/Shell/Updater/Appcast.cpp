#include "Services/Shell/Updater/Appcast.h"

#include "Services/Shell/Updater/VersionComparison.h"

#include <QXmlStreamReader>

namespace sorvane {

namespace {

QString attribute(const QXmlStreamAttributes &attributes, QLatin1StringView name)
{
    for (const QXmlStreamAttribute &a : attributes)
        if (a.name() == name)
            return a.value().toString().trimmed();
    return {};
}

} // namespace

Result<QList<AppcastItem>, QString> parseAppcast(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    bool sawChannel = false;
    std::optional<AppcastItem> item;
    QString itemVersion, itemShortVersion; // from the item's own elements
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto name = reader.name();
            if (name == QLatin1String("channel")) {
                sawChannel = true;
            } else if (name == QLatin1String("item")) {
                item.emplace();
                itemVersion.clear();
                itemShortVersion.clear();
            } else if (item && name == QLatin1String("enclosure")) {
                const QXmlStreamAttributes attributes = reader.attributes();
                item->url = QUrl(attribute(attributes, QLatin1StringView("url")));
                bool ok = false;
                const qint64 length = attribute(attributes, QLatin1StringView("length")).toLongLong(&ok);
                item->length = ok && length > 0 ? length : 0;
                item->edSignature = attribute(attributes, QLatin1StringView("edSignature")).toLatin1();
                item->os = attribute(attributes, QLatin1StringView("os"));
                if (const QString v = attribute(attributes, QLatin1StringView("version")); !v.isEmpty())
                    item->version = v;
                if (const QString v = attribute(attributes, QLatin1StringView("shortVersionString")); !v.isEmpty())
                    item->displayVersion = v;
            } else if (item && name == QLatin1String("title")) {
                item->title = reader.readElementText().trimmed();
            } else if (item && name == QLatin1String("version")) {
                itemVersion = reader.readElementText().trimmed();
            } else if (item && name == QLatin1String("shortVersionString")) {
                itemShortVersion = reader.readElementText().trimmed();
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("item") && item) {
            // The item's own elements name the version when the enclosure does not.
            if (item->version.isEmpty())
                item->version = itemVersion;
            if (item->displayVersion.isEmpty())
                item->displayVersion = !itemShortVersion.isEmpty() ? itemShortVersion : item->version;
            if (item->url.isValid() && !item->url.isEmpty() && !item->version.isEmpty())
                items.append(*item);
            item.reset();
        }
    }
    if (reader.hasError())
        return QStringLiteral("The update feed could not be read: %1").arg(reader.errorString());
    if (!sawChannel)
        return QStringLiteral("The update feed has no channel.");
    return items;
}

std::optional<AppcastItem> newestUpdate(const QList<AppcastItem> &items, const QString &currentVersion)
{
    std::optional<AppcastItem> best;
    for (const AppcastItem &item : items) {
        if (!item.os.isEmpty() && item.os.compare(QLatin1String("linux"), Qt::CaseInsensitive) != 0)
            continue;
        if (compareVersions(item.version, currentVersion) <= 0)
            continue;
        if (!best || compareVersions(item.version, best->version) > 0)
            best = item;
    }
    return best;
}

} // namespace sorvane
