#pragma once

#include <QString>

namespace sorvane {

// Names read from stored files become path components (and folders that are later
// deleted recursively), so only a single plain component is accepted: not empty,
// not "." or "..", and without "/", "\" or NUL.
bool isSafePathComponent(const QString &name);

// Whether `path` lies strictly below `folder` once both are made absolute and
// cleaned (".." resolved). Symbolic links are resolved where the paths exist.
bool isPathInside(const QString &path, const QString &folder);

} // namespace sorvane
