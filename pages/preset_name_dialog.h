// The modal "Name" dialog of the preset page: edits a preset name in place.
#pragma once

#include <windows.h>

#include <cstddef>

// Characters kept of a typed name, the terminator included (a preset name's field).
inline constexpr size_t kPresetNameChars = 128;

// Shows the dialog over owner with name's current text (shown when not empty). OK with a
// non-empty text writes at most kPresetNameChars characters, terminator included, into name
// and returns true; OK with an empty text keeps the dialog open; Cancel returns false.
// name must hold at least kPresetNameChars characters.
bool EditPresetName(HWND owner, LANGID langId, wchar_t* name);
