#pragma once

#include "Platform/Accessibility.h"

#include <QString>

namespace sorvane::AgentTextRangeVerifier {

// Whether `expected` stands in `value` exactly at `range` (UTF-16 units): false for a
// negative location, a length other than the expected text's, or a range past the
// end of the value.
bool matches(const QString &expected, const QString &value, TextRange range);

} // namespace sorvane::AgentTextRangeVerifier
