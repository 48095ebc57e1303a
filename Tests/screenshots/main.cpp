#include "ScreenshotScenes.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <cstdio>

using namespace sorvane::test;

namespace {
QList<ScreenshotScene> &registry()
{
    static QList<ScreenshotScene> scenes;
    return scenes;
}
} // namespace

bool ScreenshotRegistry::add(QList<ScreenshotScene> scenes)
{
    registry() << scenes;
    return true;
}

const QList<ScreenshotScene> &ScreenshotRegistry::scenes()
{
    return registry();
}

// sorvane-screenshots OUTPUT_DIR [NAME_PATTERN]: renders every scene (or those whose
// name matches the pattern) to OUTPUT_DIR/<name>.png and prints each path.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: sorvane-screenshots OUTPUT_DIR [NAME_PATTERN]\n");
        return 2;
    }
    const QDir output(arguments.at(1));
    QDir().mkpath(output.path());
    const QRegularExpression pattern(arguments.value(2, QStringLiteral(".*")));
    int failures = 0;
    for (const ScreenshotScene &scene : ScreenshotRegistry::scenes()) {
        if (!pattern.match(scene.name).hasMatch())
            continue;
        // What the scene keeps alive outlives the QML that draws it.
        std::shared_ptr<void> keep;
        QmlScene qml;
        keep = scene.build(qml);
        if (!qml.root() || *qml.errors()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(scene.name), qml.errors());
            ++failures;
            continue;
        }
        const QString path = output.filePath(scene.name + QStringLiteral(".png"));
        if (!qml.grab().save(path)) {
            std::fprintf(stderr, "%s: could not write %s\n", qPrintable(scene.name), qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return failures == 0 ? 0 : 1;
}
