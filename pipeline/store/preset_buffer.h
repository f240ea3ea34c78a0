// The preset buffer, as stored in the registry and in ".pgt" files: magic, store name, records,
// CRC-32; the nine older layouts are read and widened to the current record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pipeline/preset.h"
#include "pipeline/preset_record.h"

inline constexpr size_t kPresetHeaderBytes = 80;  // magic and name
inline constexpr size_t kPresetCheckBytes = 4;
inline constexpr size_t kPresetMinBytes = kPresetHeaderBytes + kPresetCheckBytes;
inline constexpr size_t kPresetMaxBytes = size_t{16} << 20;  // larger values and files are refused

// Results of the preset store.
inline constexpr int32_t kPresetOk = 0;
inline constexpr int32_t kPresetNoStore = -1;    // key, value or buffer missing
inline constexpr int32_t kPresetNoFile = -4;     // the file cannot be opened
inline constexpr int32_t kPresetDamaged = -5;    // size, magic, layout or check value wrong
inline constexpr int32_t kPresetOtherName = -6;  // written for another model or balance mode

// The layouts the reader accepts, oldest first, the current one last: magic and record size
// (for writers of test inputs).
struct PresetLayoutInfo {
  const uint8_t* magic;  // 16 bytes
  uint32_t recordBytes;
};
size_t PresetLayoutCount();
PresetLayoutInfo PresetLayoutAt(size_t index);

// name: 32 UTF-16 units copied as they are. Empty only when memory runs out.
std::vector<uint8_t> SavePresetBuffer(const std::vector<PresetRecord>& list,
                                      const WCHAR16 name[kPresetNameUnits]);

// 0, kPresetDamaged or kPresetOtherName; list replaced only on 0. Names compare as text of at
// most 32 units.
int32_t ParsePresetBuffer(const uint8_t* buffer, size_t size,
                          const WCHAR16 expectedName[kPresetNameUnits],
                          std::vector<PresetRecord>& list);
