#pragma once

#include <QString>

namespace sorvane {

// Compares two build versions the way people read them: runs of digits as numbers
// ("1.10" is newer than "1.9"), missing trailing numbers as 0 ("1.2" equals "1.2.0"),
// and a text part after a number as a pre-release of it ("1.2b1" and "1.2-rc1" come
// before "1.2"; pre-release texts compare alphabetically, ignoring case).
// Negative when `a` is older than `b`, 0 when they are the same version, positive when newer.
int compareVersions(const QString &a, const QString &b);

} // namespace sorvane
