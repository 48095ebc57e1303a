#pragma once

#include <QString>

namespace sorvane {

// Where the catalogues' models are downloaded from: the build's host, or the one named
// by $SORVANE_MODEL_HOST (a mirror, or a test's loopback server), without a trailing
// slash. Read once, when the catalogues are first built.
QString modelHost();

} // namespace sorvane
