#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSize>
#include <memory>

namespace sorvane::test {

// Loads one QML component of the screens into an offscreen window, with `appState`
// (the real state or a fake) visible to it as the context property "appState", and
// finds its parts by objectName. Screens are checked through these objects, not by
// comparing images; grab() is for pictures.
//
//   QmlScene scene(&fakeState);
//   QVERIFY2(scene.load("import Sorvane\nPrimaryButton { title: \"Save\" }"), scene.errors());
//   QCOMPARE(scene.find<QQuickItem>("title")->property("text").toString(), "Save");
class QmlScene {
public:
    explicit QmlScene(QObject *appState = nullptr);
    ~QmlScene();

    // More context properties beside "appState" (set before load()).
    void setContextProperty(const QString &name, QObject *object);

    // Builds the component from QML source text and shows it in a window of `size`,
    // or of the root item's implicit size when `size` is empty. False on QML errors.
    bool load(const QByteArray &qml, QSize size = {});
    // Same, from a file or qrc URL.
    bool loadUrl(const QUrl &url, QSize size = {});
    const char *errors() const { return m_errors.constData(); }

    QQmlEngine &engine() { return *m_engine; }
    QQuickWindow *window() const { return m_window.get(); }
    QQuickItem *root() const { return m_root; }

    // The first object under the root (the root included) with this objectName, looked
    // up through object children and visual children (delegates of a Repeater or a
    // ListView are only the latter).
    template <typename T = QQuickItem>
    T *find(const QString &objectName) const
    {
        return qobject_cast<T *>(findObject(m_root, objectName));
    }
    static QObject *findObject(QObject *under, const QString &objectName);
    // A property of the named object, invalid when it is missing.
    QVariant read(const QString &objectName, const char *property) const;
    // Whether the named item and all its ancestors are visible.
    bool isShown(const QString &objectName) const;

    // Renders the window and returns its picture (waits for the frame).
    QImage grab();

private:
    bool show(QQmlComponent &component, QSize size);

    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    QQuickItem *m_root = nullptr;
    QByteArray m_errors;
};

} // namespace sorvane::test
