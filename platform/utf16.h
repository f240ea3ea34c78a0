// UTF-8 <-> UTF-16 conversion and length for the 16-bit text type.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace platform {

WString Utf8ToWide(std::string_view text);
std::string WideToUtf8(WStringView text);
size_t WideLength(const WCHAR16* text);
// Copies at most capacity - 1 units and always terminates; returns the units copied.
size_t WideCopy(WCHAR16* dest, size_t capacity, WStringView text);

}  // namespace platform
