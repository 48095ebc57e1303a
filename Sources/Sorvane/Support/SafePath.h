#pragma once

#include <QString>
#include <optional>

namespace sorvane {

// Names read from stored files become path components (and folders that are later
// deleted recursively), so only a single plain component is accepted: not empty,
// not "." or "..", and without "/", "\" or NUL.
bool isSafePathComponent(const QString &name);

// The path so resolved when it lies inside; what is read or removed must be this path,
// not the one given.
std::optional<QString> resolvedPathInside(const QString &path, const QString &folder);

} // namespace sorvane
