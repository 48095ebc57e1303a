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

// Every file and folder below `root`, as sorted relative paths ("a/", "a/b.txt").
QStringList treeOf(const QString &root);

} // namespace sorvane::testing

namespace sorvane::testing {
// Ends the test program as "skipped" (exit status 77, which CTest reports as such).
[[noreturn]] void exitSkipped(const QString &reason);
} // namespace sorvane::testing
