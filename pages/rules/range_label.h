// The range texts beside the exposure page's fields and in the exposure-time dialog. The numbers
// are formatted on their own and joined to the translated words, so nothing a translation holds
// is ever read as a format.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/types.h"

// "(<range>[lowest, highest], <default>:<value><unit>)", e.g. "(Range:[10, 5000], Default:350ms)".
WString FieldRangeLabel(WStringView rangeWord, uint32_t lowest, uint32_t highest,
                        WStringView defaultWord, uint32_t defaultValue, std::string_view unit);
// "<range> [min, max] ms" with the limits in ms to three decimals, e.g. "Range: [0.100, 5000.000]
// ms".
WString ExposureDialogRangeText(WStringView rangeWord, uint32_t minUs, uint32_t maxUs);
