#pragma once

class QQmlEngine;

namespace sorvane::views {

// Makes the screens usable in this process: registers the QML module "Sorvane",
// loads the fonts every screen is drawn with and selects the Basic controls style
// (so controls draw exactly what the screens describe). Call once, after the
// QGuiApplication exists and before the first QML engine is made; later calls do nothing.
void initialise();

// Lets an engine import "Sorvane" (the module's files are compiled-in resources).
void prepareEngine(QQmlEngine &engine);

} // namespace sorvane::views
