#include "AtSpiAccessibility.h"

#include "Platform/DBus/FocusSearch.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDateTime>

namespace sorvane {

namespace {

const QString busService = QStringLiteral("org.a11y.Bus");
const QString busPath = QStringLiteral("/org/a11y/bus");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString applicationInterface = QStringLiteral("org.a11y.atspi.Application");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString nullPath = QStringLiteral("/org/a11y/atspi/null");

// Each call may take this long before the application counts as not answering.
constexpr std::chrono::milliseconds callTimeout{500};
// The search for the focused element gives up after this long or this many elements.
constexpr std::chrono::milliseconds focusSearchTime{1500};
constexpr int focusSearchElements = 4000;

QVariant unwrapped(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

AtSpiAccessibility::AtSpiAccessibility(std::function<bool()> keystrokesAvailable)
    : m_keystrokesAvailable(std::move(keystrokesAvailable))
{
}

AtSpiAccessibility::~AtSpiAccessibility()
{
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

bool AtSpiAccessibility::isEnabled()
{
    QDBusMessage message = QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Get"));
    message << statusInterface << QStringLiteral("IsEnabled");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, int(callTimeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return unwrapped(reply.arguments().first()).toBool();
}

bool AtSpiAccessibility::isTrusted()
{
    return m_keystrokesAvailable() && isEnabled();
}

bool AtSpiAccessibility::requestTrust()
{
    if (!isEnabled()) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(busService, busPath, propertiesInterface, QStringLiteral("Set"));
        message << statusInterface << QStringLiteral("IsEnabled") << QVariant::fromValue(QDBusVariant(true));
        QDBusConnection::sessionBus().call(message, QDBus::Block, int(callTimeout.count()));
    }
    return isTrusted();
}

std::optional<QDBusConnection> AtSpiAccessibility::bus()
{
    if (!m_connectionName.isEmpty()) {
        QDBusConnection existing(m_connectionName);
        if (existing.isConnected())
            return existing;
    }
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(busService, busPath, busService, QStringLiteral("GetAddress")), QDBus::Block,
        int(callTimeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QString address = reply.arguments().first().toString();
    if (address.isEmpty())
        return std::nullopt;
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
    m_toolkits.clear();
    m_connectionName = QStringLiteral("sorvane-accessibility-%1").arg(QDateTime::currentMSecsSinceEpoch());
    QDBusConnection connection = QDBusConnection::connectToBus(address, m_connectionName);
    if (!connection.isConnected())
        return std::nullopt;
    return connection;
}

std::optional<QDBusMessage> AtSpiAccessibility::call(const AccessibleElement &element, const QString &interface,
                                                     const QString &method, const QVariantList &arguments)
{
    if (element.service.isEmpty() || element.path.isEmpty())
        return std::nullopt;
    const auto connection = bus();
    if (!connection)
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(element.service, element.path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = connection->call(message, QDBus::Block, int(callTimeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply;
}

std::optional<QVariant> AtSpiAccessibility::property(const AccessibleElement &element, const QString &interface,
                                                     const QString &name)
{
    const auto reply = call(element, propertiesInterface, QStringLiteral("Get"), {interface, name});
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    return unwrapped(reply->arguments().first());
}

std::optional<QList<AccessibleElement>> AtSpiAccessibility::children(const AccessibleElement &element)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetChildren"));
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply->arguments().first();
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(so)"))
        return std::nullopt;
    QList<AccessibleElement> list;
    argument.beginArray();
    while (!argument.atEnd()) {
        AccessibleElement child;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> child.service >> path;
        argument.endStructure();
        child.path = path.path();
        if (child.path != nullPath)
            list.append(child);
    }
    argument.endArray();
    return list;
}

std::optional<quint64> AtSpiAccessibility::states(const AccessibleElement &element)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetState"));
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    QList<uint> words;
    const QVariant value = reply->arguments().first();
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument >> words;
    } else {
        words = value.value<QList<uint>>();
    }
    quint64 bits = 0;
    if (!words.isEmpty())
        bits |= words.at(0);
    if (words.size() > 1)
        bits |= quint64(words.at(1)) << 32;
    return bits;
}

std::optional<qint64> AtSpiAccessibility::processId(const AccessibleElement &element)
{
    const auto connection = bus();
    if (!connection || element.service.isEmpty())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    message << element.service;
    const QDBusMessage reply = connection->call(message, QDBus::Block, int(callTimeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return qint64(reply.arguments().first().toUInt());
}

QString AtSpiAccessibility::toolkitOf(const QString &service)
{
    auto it = m_toolkits.constFind(service);
    if (it != m_toolkits.constEnd())
        return *it;
    const auto name = property({service, rootPath}, applicationInterface, QStringLiteral("ToolkitName"));
    const QString toolkit = name ? name->toString() : QString();
    m_toolkits.insert(service, toolkit);
    return toolkit;
}

std::optional<AccessibleElement> AtSpiAccessibility::focusedElement(qint64 frontmostProcessId)
{
    const auto applications = children({QStringLiteral("org.a11y.atspi.Registry"), rootPath});
    if (!applications)
        return std::nullopt;
    // The application in front first; the others only through a window that is active.
    const qint64 ownProcess = QCoreApplication::applicationPid();
    QList<AccessibleElement> ordered;
    std::optional<AccessibleElement> front;
    for (const AccessibleElement &application : *applications) {
        const auto pid = processId(application);
        if (!pid || *pid == ownProcess)
            continue; // we cannot answer our own calls while we wait for them
        if (*pid == frontmostProcessId && !front)
            front = application;
        else
            ordered.append(application);
    }
    if (front)
        ordered.prepend(*front);

    // One limit for the whole search, across every window it looks into.
    FocusSearchLimit limit(focusSearchTime, focusSearchElements);
    const AccessibleTreeReader tree{[this](const AccessibleElement &element) { return states(element); },
                                    [this](const AccessibleElement &element) { return children(element); }};
    for (const AccessibleElement &application : ordered) {
        const auto windows = children(application);
        if (!windows)
            continue;
        QList<AccessibleElement> showing;
        for (const AccessibleElement &window : *windows) {
            const auto bits = states(window);
            if (!bits)
                continue;
            if (atspistate::has(*bits, atspistate::active)) {
                if (auto found = searchFocusedElement(window, tree, limit))
                    return found;
            } else if (atspistate::has(*bits, atspistate::showing)) {
                showing.append(window);
            }
        }
        if (front && application == *front) {
            for (const AccessibleElement &window : showing)
                if (auto found = searchFocusedElement(window, tree, limit))
                    return found;
        }
        if (limit.isExhausted())
            break;
    }
    return std::nullopt;
}

std::optional<AtSpiAccessibility::NativeSelection> AtSpiAccessibility::nativeSelection(const AccessibleElement &element)
{
    const auto count = call(element, textInterface, QStringLiteral("GetNSelections"));
    if (!count || count->arguments().isEmpty())
        return std::nullopt; // no text interface
    NativeSelection selection;
    selection.count = count->arguments().first().toInt();
    if (selection.count > 0) {
        const auto range = call(element, textInterface, QStringLiteral("GetSelection"), {0});
        if (!range || range->arguments().size() < 2)
            return std::nullopt;
        selection.start = range->arguments().at(0).toLongLong();
        selection.end = range->arguments().at(1).toLongLong();
        if (selection.start > selection.end)
            std::swap(selection.start, selection.end);
    } else {
        const auto caret = property(element, textInterface, QStringLiteral("CaretOffset"));
        if (!caret)
            return std::nullopt;
        selection.start = selection.end = caret->toLongLong();
    }
    if (selection.start < 0)
        return std::nullopt;
    return selection;
}

std::optional<std::pair<QString, TextOffsetUnit>> AtSpiAccessibility::textAndUnit(const AccessibleElement &element)
{
    const auto text = value(element);
    if (!text)
        return std::nullopt;
    const auto count = property(element, textInterface, QStringLiteral("CharacterCount"));
    const TextOffsetUnit unit = detectTextOffsetUnit(*text, count ? count->toLongLong() : -1, toolkitOf(element.service));
    return std::pair{*text, unit};
}

std::optional<TextRange> AtSpiAccessibility::selectedRange(const AccessibleElement &element)
{
    const auto selection = nativeSelection(element);
    if (!selection)
        return std::nullopt;
    const auto text = textAndUnit(element);
    if (!text)
        return std::nullopt;
    const qint64 start = toUtf16Offset(text->first, selection->start, text->second);
    const qint64 end = toUtf16Offset(text->first, selection->end, text->second);
    return TextRange{start, end - start};
}

std::optional<QString> AtSpiAccessibility::selectedText(const AccessibleElement &element)
{
    const auto selection = nativeSelection(element);
    if (!selection)
        return std::nullopt;
    if (selection->count == 0 || selection->start == selection->end)
        return QString();
    const auto reply = call(element, textInterface, QStringLiteral("GetText"),
                            {int(selection->start), int(selection->end)});
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    return reply->arguments().first().toString();
}

std::optional<QString> AtSpiAccessibility::value(const AccessibleElement &element)
{
    const auto reply = call(element, textInterface, QStringLiteral("GetText"), {0, -1});
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    return reply->arguments().first().toString();
}

bool AtSpiAccessibility::setSelectedRange(const AccessibleElement &element, TextRange range)
{
    if (range.location < 0 || range.length < 0)
        return false;
    const auto selection = nativeSelection(element);
    const auto text = textAndUnit(element);
    if (!selection || !text)
        return false;
    const int start = int(fromUtf16Offset(text->first, range.location, text->second));
    const int end = int(fromUtf16Offset(text->first, range.location + range.length, text->second));
    const auto succeeded = [](const std::optional<QDBusMessage> &reply) {
        return reply && !reply->arguments().isEmpty() && reply->arguments().first().toBool();
    };
    if (start == end) {
        for (int i = selection->count - 1; i >= 0; --i)
            call(element, textInterface, QStringLiteral("RemoveSelection"), {i});
        return succeeded(call(element, textInterface, QStringLiteral("SetCaretOffset"), {start}));
    }
    if (selection->count > 0)
        return succeeded(call(element, textInterface, QStringLiteral("SetSelection"), {0, start, end}));
    return succeeded(call(element, textInterface, QStringLiteral("AddSelection"), {start, end}));
}

} // namespace sorvane
