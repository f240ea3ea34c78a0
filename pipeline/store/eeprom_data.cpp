// The camera's EEPROM block: its serial-number record and the factory's defect-pixel lists.
#include "pipeline/store/eeprom_data.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "pipeline/store/bz2_decompress.h"
#include "pipeline/store/le_bytes.h"
#include "platform/identity.h"

namespace {

constexpr uint8_t kVersionMarker = '2';
constexpr uint32_t kHeaderBytes = 9;  // n, marker, unpacked size
constexpr uint32_t kSerialRecordBytes = 32;
constexpr uint64_t kUnpackedPerBlockByte = 16;
constexpr uint32_t kListsHeaderBytes = 3;  // marker, u16 list count
constexpr uint32_t kCoordinateFactor = 255;
constexpr uint32_t kEdgeMargin = 2;

// A cursor that refuses any read past the end instead of making it.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool take(size_t bytes, const uint8_t** at) {
    if (bytes > size_ - pos_) return false;
    *at = data_ + pos_;
    pos_ += bytes;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isUpperHex(char c) {
  return isDigit(c) || (c >= 'A' && c <= 'F');
}

// Two decimal digits at p, nothing else (no sign, no space).
bool twoDigits(const char* p, uint32_t* value) {
  if (!isDigit(p[0]) || !isDigit(p[1])) return false;
  *value = uint32_t(p[0] - '0') * 10 + uint32_t(p[1] - '0');
  return true;
}

bool validTime(const char* t) {
  struct Field {
    uint32_t min, max;
  };
  static constexpr Field kFields[6] = {{11, 38}, {1, 12}, {1, 31}, {0, 23}, {0, 59}, {0, 59}};
  for (int i = 0; i < 6; ++i) {
    uint32_t v = 0;
    if (!twoDigits(t + 2 * i, &v) || v < kFields[i].min || v > kFields[i].max) return false;
  }
  return true;
}

bool validSerialRecord(const uint8_t* r) {
  const char* s = reinterpret_cast<const char*>(r);
  if (s[31] != 0) return false;
  if (s[0] < 'A' || s[0] > 'Z' || s[1] < 'A' || s[1] > 'Z') return false;
  if (!validTime(s + 2)) return false;
  return std::all_of(s + 14, s + 31, isUpperHex);
}

// One list: u32 count, then groups until their k add up to it (exactly, or the list is refused).
bool decodeList(Reader& in, DefectListSlot& slot) {
  const uint8_t* p = nullptr;
  if (!in.take(4, &p)) return false;
  const uint32_t count = ReadLe32(p);
  if (count > kDefectListMaxEntries) return false;
  slot.entries.assign(count, DefectPixel{0, 0, 0});
  uint32_t filled = 0;
  while (filled < count) {
    if (!in.take(4, &p)) return false;
    const uint32_t xHigh = p[0], yHigh = p[1], k = ReadLe16(p + 2);
    if (k > count - filled) return false;
    const uint8_t *yLow = nullptr, *xLow = nullptr;
    if (!in.take(k, &yLow) || !in.take(k, &xLow)) return false;
    for (uint32_t j = 0; j < k; ++j)
      slot.entries[filled + j] = {xHigh * kCoordinateFactor + xLow[j],
                                  yHigh * kCoordinateFactor + yLow[j], 0};
    filled += k;
  }
  slot.count = count;
  slot.clipped = 0;
  std::sort(slot.entries.begin(), slot.entries.end(),
            [](const DefectPixel& a, const DefectPixel& b) {
              return a.y != b.y ? a.y < b.y : a.x < b.x;
            });
  return true;
}

void setSerial(PLHlperBase& h, const uint8_t* record) {
  std::memcpy(h.serial, record, kSerialRecordBytes);
  h.serialValid = 1;
}

}  // namespace

void MakeUpSerial(char serial[32]) {
  const platform::LocalTime t = platform::LocalTimeNow();
  platform::Guid g{};
  const bool haveGuid = platform::NewGuid(g);
  char text[48];
  // Fields wrap to two digits each so the text keeps its length whatever the clock says.
  const auto two = [](int v) { return unsigned(((v % 100) + 100) % 100); };
  if (haveGuid) {
    std::snprintf(text, sizeof text, "QX%02u%02u%02u%02u%02u%02u%08X%04X%04X%1X", two(t.year),
                  two(t.month + 1), two(t.day), two(t.hour), two(t.minute), two(t.second),
                  unsigned(g.data1), unsigned(g.data2), unsigned(g.data3),
                  unsigned(g.data4[0] & 0x0F));
  } else {
    std::snprintf(text, sizeof text, "QX%02u%02u%02u%02u%02u%02u%017u", two(t.year),
                  two(t.month + 1), two(t.day), two(t.hour), two(t.minute), two(t.second), 0u);
  }
  std::memcpy(serial, text, kSerialChars);
  serial[kSerialChars] = 0;
}

bool DecodeUnpackedLists(const uint8_t* data, size_t size, uint32_t listCount,
                         std::vector<DefectListSlot>& out) {
  if (!data || size < kListsHeaderBytes || data[0] != kVersionMarker) return false;
  if (ReadLe16(data + 1) != listCount) return false;
  std::vector<DefectListSlot> lists(listCount);
  Reader in(data + kListsHeaderBytes, size - kListsHeaderBytes);
  try {
    for (DefectListSlot& slot : lists)
      if (!decodeList(in, slot)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  out = std::move(lists);
  return true;
}

bool DecodeDefectLists(PLHlperBase& h, const uint8_t* block, uint32_t length) {
  if (!block || length < kHeaderBytes) return false;
  const uint32_t packed = ReadLe32(block);
  const uint32_t unpacked = ReadLe32(block + 5);
  if (packed < kHeaderBytes || packed > length) return false;
  if (unpacked < kListsHeaderBytes || uint64_t{unpacked} > kUnpackedPerBlockByte * length)
    return false;
  std::vector<uint8_t> lists;
  try {
    lists.resize(unpacked);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!Bz2Decompress(lists.data(), unpacked, block + kHeaderBytes, packed - kHeaderBytes))
    return false;
  std::vector<DefectListSlot> slots;
  if (!DecodeUnpackedLists(lists.data(), lists.size(), h.defectListCount, slots)) return false;
  h.defectLists = std::move(slots);
  return true;
}

void ParseEepromData(PLHlperBase& h, const uint8_t* block, uint32_t length) {
  FreeDefectLists(h);
  if (!block || length < kHeaderBytes) return;
  const uint32_t packed = ReadLe32(block);
  if (packed < kHeaderBytes || packed > length || block[4] != kVersionMarker) {
    ZX_TRACE_ERROR("%s: no block (n = %u, length = %u)", "ParseEepromData", packed, length);
    return;
  }
  if (uint64_t{packed} + kSerialRecordBytes <= length && validSerialRecord(block + packed)) {
    setSerial(h, block + packed);
  } else {
    MakeUpSerial(h.serial);
    h.serialValid = 1;
  }
  if (!DecodeDefectLists(h, block, length)) {
    ZX_TRACE_ERROR("%s: defect lists dropped", "ParseEepromData");
    FreeDefectLists(h);
  }
}

void LoadEepromData(PLHlperBase& h) {
  if (h.eepromRead) return;
  std::vector<uint8_t> block(kEepromMaxBytes, 0);
  uint32_t length = 0;
  {
    std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
    length = h.bEEPROMRead(block.data());
  }
  ZX_TRACE("%s: %u", "LoadEepromData", length);
  if (length == 0) return;
  h.eepromRead = 1;
  ParseEepromData(h, block.data(), std::min(length, kEepromMaxBytes));
}

void FreeDefectLists(PLHlperBase& h) {
  h.curDefects = nullptr;
  h.curDefectCount = 0;
  for (DefectListSlot& slot : h.defectLists) slot = DefectListSlot{};
  h.defectLists.resize(h.defectListCount);
}

void ClipDefectList(PLHlperBase& h, uint32_t index, uint32_t width, uint32_t height) {
  if (index >= h.defectLists.size()) return;
  DefectListSlot& slot = h.defectLists[index];
  if (slot.clipped) return;
  slot.clipped = 1;
  const auto inside = [](uint32_t v, uint32_t size) {
    return v >= kEdgeMargin && uint64_t{v} + kEdgeMargin < size;
  };
  for (DefectPixel& e : slot.entries) e.valid = inside(e.x, width) && inside(e.y, height) ? 1 : 0;
}

uint32_t DefectListIndex(const PLHlperBase& h, uint32_t resolution) {
  if (!h.hasFlag(LUMORIX_FLAG_SKIP) || resolution == 0) return resolution;
  return h.skip ? 2 * resolution : 2 * resolution - 1;
}

void SelectDefectList(PLHlperBase& h) {
  h.curDefects = nullptr;
  h.curDefectCount = 0;
  const uint32_t index = DefectListIndex(h, h.resolutionIndex);
  if (index >= h.defectLists.size()) return;
  const DefectListSlot& slot = h.defectLists[index];
  if (slot.count == DefectListSlot::kNoList || slot.entries.empty()) return;
  ClipDefectList(h, index, h.procWidth, h.procHeight);
  h.curDefects = slot.entries.data();
  h.curDefectCount = slot.count;
}

void RequestDefectList(PLHlperBase& h) {
  h.defectListDue = true;
}

void TakeRequestedDefectList(PLHlperBase& h) {
  if (!h.defectListDue.exchange(false)) return;
  std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
  SelectDefectList(h);
}
