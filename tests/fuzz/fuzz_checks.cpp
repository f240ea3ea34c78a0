// The properties every input of the byte parsers must keep; each check aborts when one fails.
#include "tests/fuzz/fuzz_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/store/eeprom_data.h"
#include "pipeline/store/preset_buffer.h"
#include "pipeline/store/preset_store.h"
#include "platform/file.h"
#include "platform/utf16.h"
#include "tests/support/idle_helper.h"

namespace fuzz {
namespace {

void require(bool property, const char* what) {
  if (property) return;
  std::fprintf(stderr, "fuzz property failed: %s\n", what);
  std::abort();
}

class BlockHelper : public IdleHelper {
 public:
  BlockHelper() : IdleHelper(args()) {}

 private:
  static PLHlperArgs args() {
    PLHlperArgs a;
    a.defectListCount = kListCount;
    a.maxWidth = a.frameWidth = 1280;
    a.maxHeight = a.frameHeight = 960;
    return a;
  }
};

bool sortedWithin(const DefectListSlot& s) {
  if (s.count > kDefectListMaxEntries || s.entries.size() != s.count) return false;
  return std::is_sorted(s.entries.begin(), s.entries.end(), [](const auto& a, const auto& b) {
    return a.y != b.y ? a.y < b.y : a.x < b.x;
  });
}

bool noList(const DefectListSlot& s) {
  return s.count == DefectListSlot::kNoList && s.entries.empty();
}

std::vector<uint8_t> recordBytes(const std::vector<PresetRecord>& list) {
  std::vector<uint8_t> b(list.size() * sizeof(PresetRecord));
  if (!b.empty()) std::memcpy(b.data(), list.data(), b.size());
  return b;
}

// The name field of the input when it has one, so the deeper checks are reached.
void expectedName(const uint8_t* data, size_t size, WCHAR16 name[kPresetNameUnits]) {
  std::fill(name, name + kPresetNameUnits, WCHAR16(0));
  if (size >= kPresetHeaderBytes) std::memcpy(name, data + 16, 2 * kPresetNameUnits);
}

std::vector<PresetRecord> sentinelList() {
  PresetRecord r{};
  r.name[0] = u's';
  r.speed = 7;
  return {r, r};
}

}  // namespace

void CheckEepromBlock(const uint8_t* data, size_t size) {
  const auto length = static_cast<uint32_t>(std::min<size_t>(size, kEepromMaxBytes));
  BlockHelper h;
  ParseEepromData(h, length ? data : nullptr, length);
  require(h.defectLists.size() == kListCount, "list slots kept");
  const bool all = std::all_of(h.defectLists.begin(), h.defectLists.end(), sortedWithin);
  const bool none = std::all_of(h.defectLists.begin(), h.defectLists.end(), noList);
  require(all || none, "all lists or none");
  if (h.serialValid) require(std::strlen(h.serial) == kSerialChars, "serial of 31 characters");
  for (uint32_t r = 0; r < kListCount; ++r) {
    h.resolutionIndex = r;
    SelectDefectList(h);
    for (uint32_t i = 0; i < h.curDefectCount; ++i) {
      const DefectPixel& p = h.curDefects[i];
      const bool inside = p.x >= 2 && p.x + 2 < h.procWidth && p.y >= 2 && p.y + 2 < h.procHeight;
      require(p.valid == (inside ? 1u : 0u), "clipped flags follow the edges");
    }
  }
}

void CheckDefectLists(const uint8_t* data, size_t size) {
  std::vector<DefectListSlot> lists(1);
  lists[0].count = 5;
  lists[0].entries.assign(5, DefectPixel{1, 2, 1});
  const uint32_t count = size >= 3 ? std::min<uint32_t>(data[1] | data[2] << 8, 64) : kListCount;
  const bool ok = DecodeUnpackedLists(size ? data : nullptr, size, count, lists);
  if (!ok) {
    require(lists.size() == 1 && lists[0].count == 5 && lists[0].entries.size() == 5,
            "a refused input leaves the lists");
    return;
  }
  require(lists.size() == count, "one slot per list");
  require(std::all_of(lists.begin(), lists.end(), sortedWithin), "accepted lists sorted");
}

void CheckPresetBuffer(const uint8_t* data, size_t size) {
  WCHAR16 name[kPresetNameUnits];
  expectedName(data, size, name);
  std::vector<PresetRecord> list = sentinelList();
  const auto before = recordBytes(list);
  const int32_t r = ParsePresetBuffer(size ? data : nullptr, size, name, list);
  require(r == kPresetOk || r == kPresetDamaged || r == kPresetOtherName, "documented result");
  if (r != kPresetOk) {
    require(recordBytes(list) == before, "a refused buffer leaves the list");
    return;
  }
  const std::vector<uint8_t> saved = SavePresetBuffer(list, name);
  require(!saved.empty(), "an accepted list saves");
  std::vector<PresetRecord> again;
  require(ParsePresetBuffer(saved.data(), saved.size(), name, again) == kPresetOk, "saved parses");
  require(recordBytes(again) == recordBytes(list), "save and parse give the same records");
  if (std::memcmp(saved.data(), data, 16) == 0) {
    require(saved.size() == size, "a current buffer saves to its size");
    require(std::memcmp(saved.data(), data, size) == 0, "a current buffer saves to its bytes");
  }
}

void CheckPresetFile(const uint8_t* data, size_t size) {
  const std::string file =
      "zerithal_fuzz_" + std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id())) +
      ".pgt";
  const auto path = std::filesystem::temp_directory_path() / file;
  const WString wide = platform::Utf8ToWide(path.string());
  {
    platform::FilePtr out = platform::OpenFile(wide.c_str(), "wb");
    require(out != nullptr, "temporary file");
    if (size) require(std::fwrite(data, 1, size, out.get()) == size, "temporary file written");
  }
  WCHAR16 name[kPresetNameUnits];
  expectedName(data, size, name);
  std::vector<PresetRecord> fromFile = sentinelList(), fromBuffer = sentinelList();
  const int32_t r = LoadPresetFile(wide.c_str(), name, fromFile);
  std::filesystem::remove(path);
  const int32_t expected =
      size == 0 ? kPresetDamaged : ParsePresetBuffer(data, size, name, fromBuffer);
  require(r == expected, "the file reader agrees with the parser");
  require(recordBytes(fromFile) == recordBytes(fromBuffer), "the same records");
}

}  // namespace fuzz
