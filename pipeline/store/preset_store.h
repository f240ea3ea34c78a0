// A camera's preset list in its registry key ("pgt", "pgt@WBRGB") and in ".pgt" files.
#pragma once

#include <cstdint>
#include <vector>

#include "pipeline/preset.h"
#include "pipeline/store/preset_buffer.h"

// Record index of the list, or a zeroed record when index is at or beyond its end.
void PresetGet(const std::vector<PresetRecord>& list, PresetRecord* out, uint32_t index);

// The stored list replaces the current one: the parser's result, or kPresetNoStore when there is
// no key or value, it is empty, or it is larger than a preset buffer can be.
int32_t PresetLoad(Preset& preset);
// Writes the whole list as REG_BINARY: 0, or kPresetNoStore without a key or when writing fails.
int32_t PresetSave(Preset& preset);

// kPresetNoFile when the file cannot be opened; kPresetDamaged when it is empty, larger than
// 16 MiB or cannot be read whole; else the parser's result.
int32_t LoadPresetFile(const WCHAR16* path, const WCHAR16 expectedName[kPresetNameUnits],
                       std::vector<PresetRecord>& list);
