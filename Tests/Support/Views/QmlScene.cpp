#include "QmlScene.h"

#include "ViewsModule.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QTest>
#include <QtMath>

namespace sorvane::test {

QmlScene::QmlScene(QObject *appState)
{
    views::initialise();
    m_engine = std::make_unique<QQmlEngine>();
    views::prepareEngine(*m_engine);
    m_engine->rootContext()->setContextProperty(QStringLiteral("appState"), appState);
    m_window = std::make_unique<QQuickWindow>();
    m_window->setColor(Qt::transparent);
}

QmlScene::~QmlScene()
{
    delete m_root;
    m_window.reset();
    m_engine.reset();
}

void QmlScene::setContextProperty(const QString &name, QObject *object)
{
    m_engine->rootContext()->setContextProperty(name, object);
}

bool QmlScene::load(const QByteArray &qml, QSize size)
{
    QQmlComponent component(m_engine.get());
    component.setData(qml, QUrl(QStringLiteral("qrc:/test/Scene.qml")));
    return show(component, size);
}

bool QmlScene::loadUrl(const QUrl &url, QSize size)
{
    QQmlComponent component(m_engine.get(), url);
    return show(component, size);
}

bool QmlScene::show(QQmlComponent &component, QSize size)
{
    delete m_root;
    m_root = nullptr;
    m_errors.clear();
    QObject *created = component.create();
    if (!created) {
        m_errors = component.errorString().toUtf8();
        return false;
    }
    m_root = qobject_cast<QQuickItem *>(created);
    if (!m_root) {
        delete created;
        m_errors = "the component's root is not an item";
        return false;
    }
    m_root->setParentItem(m_window->contentItem());
    if (size.isEmpty())
        size = QSize(qCeil(m_root->implicitWidth()), qCeil(m_root->implicitHeight()));
    if (size.isEmpty())
        size = QSize(qCeil(m_root->width()), qCeil(m_root->height()));
    size = size.expandedTo(QSize(1, 1));
    m_root->setSize(size);
    m_window->resize(size);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get(), 20000)) {
        m_errors = "the window was never shown";
        return false;
    }
    return true;
}

QObject *QmlScene::findObject(QObject *under, const QString &objectName)
{
    if (!under)
        return nullptr;
    if (under->objectName() == objectName)
        return under;
    for (QObject *child : under->children()) {
        if (QObject *found = findObject(child, objectName))
            return found;
    }
    if (auto *item = qobject_cast<QQuickItem *>(under)) {
        for (QQuickItem *child : item->childItems()) {
            if (child->parent() == under)
                continue; // already searched as an object child
            if (QObject *found = findObject(child, objectName))
                return found;
        }
    }
    return nullptr;
}

QVariant QmlScene::read(const QString &objectName, const char *property) const
{
    QObject *object = find<QObject>(objectName);
    return object ? object->property(property) : QVariant();
}

bool QmlScene::isShown(const QString &objectName) const
{
    QQuickItem *item = find<QQuickItem>(objectName);
    if (!item)
        return false;
    for (; item; item = item->parentItem()) {
        if (!item->isVisible())
            return false;
    }
    return true;
}

QImage QmlScene::grab()
{
    return m_window->grabWindow();
}

} // namespace sorvane::test
