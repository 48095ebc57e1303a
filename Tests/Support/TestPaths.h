#pragma once

#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>
#include <QString>

namespace sorvane::testing {

// The build tree's top folder (bin/, libexec/sorvane/, tests/ ...).
QString buildDirectory();
// A program built for the tests (in <build>/tests/).
QString testProgram(const QString &name);
// A file under the source tree's Tests/ folder.
QString testDataFile(const QString &relativePath);

// The object that test JSON holds; ends the test program when it is not one.
QJsonObject objectFrom(const QByteArray &json);

// Points $XDG_DATA_HOME, and with it every AppPaths location, at the folder.
void useDataHome(const QString &folder);
// A new empty folder that is the data home until the next one.
std::unique_ptr<QTemporaryDir> temporaryDataHome();

// Writes bytes to a file, creating its folder. Returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

// Runs a program to its end (20 s at most); what it printed, whatever its exit status.
QString toolOutput(const QString &program, const QStringList &arguments);

// Every file and folder below `root`, as sorted relative paths ("a/", "a/b.txt").
QStringList treeOf(const QString &root);

} // namespace sorvane::testing

namespace sorvane::testing {
// Ends the test program as "skipped" (exit status 77, which CTest reports as such).
[[noreturn]] void exitSkipped(const QString &reason);

// For what the private session of scripts/test.sh provides (a display, a microphone):
// true where `available`. Otherwise, inside that session (which must provide it) the
// current test fails with `failure` and this returns false; outside it the program
// ends as skipped for `skipReason`.
bool providedByTestSession(bool available, const char *failure, const QString &skipReason);
// The same for the program's platform being X11 (xcb).
bool x11PlatformProvided();
} // namespace sorvane::testing
