#pragma once

#include "QmlScene.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace sorvane::test {

// One picture: its file name (without ".png") and how to build it. `build` loads what
// the picture shows into the scene and returns whatever must stay alive until the
// picture is taken (a fake state, a view model); an empty QmlScene error means success.
struct ScreenshotScene {
    QString name;
    std::function<std::shared_ptr<void>(QmlScene &scene)> build;
};

class ScreenshotRegistry {
public:
    static bool add(QList<ScreenshotScene> scenes);
    static const QList<ScreenshotScene> &scenes();
};

// In a *Scenes.cpp: SORVANE_SCREENSHOTS(myScenes) with `QList<ScreenshotScene> myScenes()`.
#define SORVANE_SCREENSHOTS(function) \
    static const bool function##Registered = ::sorvane::test::ScreenshotRegistry::add(function())

} // namespace sorvane::test
