// The preset buffer, as stored in the registry and in ".pgt" files: magic, store name, records,
// CRC-32; the nine older layouts are read and widened to the current record.
#include "pipeline/store/preset_buffer.h"

#include <array>
#include <cstring>
#include <new>

#include "pipeline/store/crc32.h"
#include "pipeline/store/le_bytes.h"

namespace {

using Magic = std::array<uint8_t, 16>;

constexpr size_t kNameBytes = sizeof(PresetRecord::name);
constexpr size_t kTailOffset = offsetof(PresetRecord, speed);
constexpr uint32_t kAeMaxTimeDefault = 350000;
constexpr uint32_t kAeMaxGainDefault = 500;
constexpr uint8_t kAePolicyDefault = 1;
constexpr int32_t kAeThresholdDefault = 5;

// The tail fields an older record may carry, at the same distance from its tail as now.
struct TailField {
  uint8_t offset, bytes;
};
constexpr TailField kTailFields[] = {{0, 1}, {1, 1}, {2, 1},  {3, 1},  {4, 1},  {5, 1},
                                     {6, 2}, {8, 4}, {12, 4}, {16, 4}, {20, 4}, {24, 4}};
constexpr uint32_t kTail012 = 0x007, kTail0to4 = 0x01F, kTail6 = 0x040, kTail8 = 0x080;
constexpr uint32_t kTail12 = 0x100, kTail16 = 0x200, kTailAll = 0xFFF;

struct Layout {
  Magic magic;
  uint32_t recordBytes, settingsBytes, tailStart, tailFields;
  bool widenDevice;  // binning and AE limits take their defaults
};

// In the order they are tested; the current layout is copied whole.
constexpr Layout kOlderLayouts[] = {
    {{0x5E, 0x00, 0xDF, 0x46, 0x10, 0x5A, 0x6D, 0x49, 0xA8, 0xDB, 0x3D, 0x6E, 0xDC, 0x00, 0x74,
      0x2D},
     376,
     112,
     368,
     kTail012,
     true},
    {{0x6A, 0xFC, 0x10, 0xB5, 0x35, 0xD2, 0xE2, 0x45, 0x85, 0xE4, 0xE5, 0xE5, 0xEB, 0x39, 0x7F,
      0x15},
     384,
     120,
     376,
     kTail012,
     true},
    {{0x26, 0x26, 0xEA, 0xF3, 0xA5, 0x2C, 0x00, 0x41, 0x88, 0xB4, 0x05, 0x33, 0x9A, 0xCA, 0x7D,
      0x57},
     392,
     120,
     376,
     kTail0to4 | kTail8,
     true},
    {{0x31, 0xFF, 0xA4, 0xDA, 0x3F, 0xF6, 0xD8, 0x4B, 0x80, 0x3F, 0x0A, 0xDD, 0xB3, 0x09, 0x14,
      0x16},
     400,
     120,
     376,
     kTail0to4 | kTail8 | kTail12 | kTail16,
     true},
    {{0x03, 0x86, 0xA7, 0x33, 0x01, 0x4F, 0x53, 0x47, 0x8C, 0xFF, 0x79, 0x82, 0xB7, 0x93, 0xB1,
      0xAF},
     400,
     120,
     376,
     kTail0to4 | kTail6 | kTail8 | kTail12 | kTail16,
     true},
    {{0xC5, 0xF5, 0x7D, 0x7B, 0xF3, 0xD0, 0x55, 0x4E, 0xBB, 0x74, 0xB8, 0xAD, 0x97, 0xEE, 0xB2,
      0x88},
     416,
     136,
     392,
     kTail0to4 | kTail6 | kTail8 | kTail12 | kTail16,
     true},
    {{0xCD, 0xA8, 0x84, 0xAE, 0x7A, 0x51, 0x12, 0x40, 0x85, 0x12, 0x80, 0xE7, 0xCA, 0xA4, 0x32,
      0x25},
     432,
     144,
     400,
     kTailAll,
     false},
    {{0x2A, 0xEC, 0x8D, 0x95, 0x7C, 0x2D, 0x85, 0x4D, 0xB4, 0xB5, 0xB7, 0x01, 0xCB, 0xC1, 0x45,
      0x5D},
     440,
     152,
     408,
     kTailAll,
     false},
    {{0x38, 0xEB, 0xAD, 0xFF, 0xA4, 0x63, 0x38, 0x4D, 0x89, 0x14, 0x1D, 0xBD, 0x46, 0x9D, 0x32,
      0xCB},
     448,
     144,
     416,
     kTailAll,
     false},
};
constexpr Layout kCurrentLayout = {{0x4D, 0x12, 0x21, 0xE9, 0x59, 0xDB, 0xF4, 0x4B, 0x80, 0x73,
                                    0x3B, 0x83, 0x45, 0xAF, 0x01, 0x56},
                                   sizeof(PresetRecord),
                                   sizeof(PLSettings),
                                   kTailOffset,
                                   kTailAll,
                                   false};

// Every field an older layout names lies inside its record.
constexpr bool layoutFits(const Layout& l) {
  if (kNameBytes + l.settingsBytes > l.tailStart) return false;
  for (size_t i = 0; i < std::size(kTailFields); ++i)
    if ((l.tailFields >> i & 1) &&
        l.tailStart + kTailFields[i].offset + kTailFields[i].bytes > l.recordBytes)
      return false;
  return l.settingsBytes <= sizeof(PLSettings) && l.recordBytes < sizeof(PresetRecord);
}
static_assert([] {
  for (const Layout& l : kOlderLayouts)
    if (!layoutFits(l)) return false;
  return true;
}());

const Layout* findLayout(const uint8_t* buffer) {
  for (const Layout& l : kOlderLayouts)
    if (std::memcmp(buffer, l.magic.data(), l.magic.size()) == 0) return &l;
  if (std::memcmp(buffer, kCurrentLayout.magic.data(), kCurrentLayout.magic.size()) == 0)
    return &kCurrentLayout;
  return nullptr;
}

bool sameName(const uint8_t* field, const WCHAR16* expected) {
  for (size_t i = 0; i < kPresetNameUnits; ++i) {
    WCHAR16 unit;
    std::memcpy(&unit, field + 2 * i, sizeof unit);
    if (unit != expected[i]) return false;
    if (unit == 0) return true;
  }
  return true;
}

PresetRecord widen(const uint8_t* src, const Layout& l) {
  PresetRecord r{};
  auto* dst = reinterpret_cast<uint8_t*>(&r);
  std::memcpy(dst, src, kNameBytes);
  std::memcpy(dst + kNameBytes, src + kNameBytes, l.settingsBytes);
  for (size_t i = 0; i < std::size(kTailFields); ++i)
    if (l.tailFields >> i & 1)
      std::memcpy(dst + kTailOffset + kTailFields[i].offset,
                  src + l.tailStart + kTailFields[i].offset, kTailFields[i].bytes);
  r.settings.aePolicy = kAePolicyDefault;
  r.settings.aeThreshold = kAeThresholdDefault;
  if (l.widenDevice) {
    r.binning = 1;
    r.aeMaxTime = kAeMaxTimeDefault;
    r.aeMaxGain = kAeMaxGainDefault;
  }
  return r;
}

}  // namespace

size_t PresetLayoutCount() {
  return std::size(kOlderLayouts) + 1;
}

PresetLayoutInfo PresetLayoutAt(size_t index) {
  const Layout& l = index < std::size(kOlderLayouts) ? kOlderLayouts[index] : kCurrentLayout;
  return {l.magic.data(), l.recordBytes};
}

std::vector<uint8_t> SavePresetBuffer(const std::vector<PresetRecord>& list,
                                      const WCHAR16 name[kPresetNameUnits]) {
  const size_t body = kPresetHeaderBytes + sizeof(PresetRecord) * list.size();
  std::vector<uint8_t> out;
  try {
    out.resize(body + kPresetCheckBytes);
  } catch (const std::bad_alloc&) {
    return {};
  }
  std::memcpy(out.data(), kCurrentLayout.magic.data(), kCurrentLayout.magic.size());
  if (name) std::memcpy(out.data() + kCurrentLayout.magic.size(), name, 2 * kPresetNameUnits);
  if (!list.empty())
    std::memcpy(out.data() + kPresetHeaderBytes, list.data(), sizeof(PresetRecord) * list.size());
  WriteLe32(out.data() + body, Crc32(out.data(), body));
  return out;
}

int32_t ParsePresetBuffer(const uint8_t* buffer, size_t size,
                          const WCHAR16 expectedName[kPresetNameUnits],
                          std::vector<PresetRecord>& list) {
  if (!buffer || size < kPresetMinBytes || size > kPresetMaxBytes) return kPresetDamaged;
  const Layout* layout = findLayout(buffer);
  if (!layout) return kPresetDamaged;
  if (!expectedName || !sameName(buffer + layout->magic.size(), expectedName))
    return kPresetOtherName;
  const uint64_t count = (size - kPresetMinBytes) / layout->recordBytes;
  if (kPresetMinBytes + count * layout->recordBytes != size) return kPresetDamaged;
  const size_t body = size - kPresetCheckBytes;
  if (Crc32(buffer, body) != ReadLe32(buffer + body)) return kPresetDamaged;
  std::vector<PresetRecord> records;
  try {
    records.reserve(count);
  } catch (const std::bad_alloc&) {
    return kPresetDamaged;
  }
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* src = buffer + kPresetHeaderBytes + i * layout->recordBytes;
    if (layout == &kCurrentLayout) {
      PresetRecord r;
      std::memcpy(&r, src, sizeof r);
      records.push_back(r);
    } else {
      records.push_back(widen(src, *layout));
    }
  }
  list = std::move(records);
  return kPresetOk;
}
