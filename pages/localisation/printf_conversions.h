// The printf conversions of a text, so that a translation is only used as a format when it
// consumes the same arguments as the English text it replaces.
#pragma once

#include <optional>
#include <vector>

#include "platform/types.h"

// Each conversion as written ("%u", "%.1f", "%-*s"); "%%" is text, not a conversion. nullopt when
// a '%' starts no valid conversion (a stray '%' or one at the end).
std::optional<std::vector<WString>> PrintfConversions(WStringView text);

// True when the translation's conversions take the same argument types in the same order as the
// English text's (flags, width and precision digits may differ; '*' takes an argument).
bool PrintfConversionsMatch(WStringView english, WStringView translation);
