// Fixed-width Windows scalar types and UTF-16 text for code that must not see <windows.h>.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
// wchar_t is 16-bit on Windows, so COM signatures keep their layout with the native type.
using WCHAR16 = wchar_t;
#define ZX_W(s) L##s
#else
// wchar_t is 32-bit on Linux; interfaces carry UTF-16 in a 16-bit type instead.
using WCHAR16 = char16_t;
#define ZX_W(s) u##s
#endif

using WString = std::basic_string<WCHAR16>;
using WStringView = std::basic_string_view<WCHAR16>;

static_assert(sizeof(WCHAR16) == 2, "UTF-16 code units must be 16-bit");
