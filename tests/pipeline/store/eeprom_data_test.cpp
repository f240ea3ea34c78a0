// The EEPROM block: serial record, packed defect lists, clipping and the list of a resolution.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "pipeline/store/eeprom_data.h"
#include "platform/identity.h"
#include "sim/eeprom_image.h"
#include "tests/support/failing_allocator.h"
#include "tests/support/idle_helper.h"

namespace {

using Variant = sim::EepromImage::Variant;

constexpr uint32_t kLists = 4;

// A helper whose EEPROM read hands out a block (or nothing) and counts the reads.
class EepromHelper : public IdleHelper {
 public:
  explicit EepromHelper(uint64_t flags = 0) : IdleHelper(args(flags)) {}
  std::vector<uint8_t> block;
  int reads = 0;
  uint32_t bEEPROMRead(uint8_t* dst) override {
    ++reads;
    if (!block.empty()) std::memcpy(dst, block.data(), block.size());
    return static_cast<uint32_t>(block.size());
  }

 private:
  static PLHlperArgs args(uint64_t flags) {
    PLHlperArgs a;
    a.modelFlags = flags;
    a.defectListCount = kLists;
    a.maxWidth = a.frameWidth = 1280;
    a.maxHeight = a.frameHeight = 960;
    return a;
  }
};

// Time and GUID sources fixed for the made-up serial.
class FixedIdentity {
 public:
  explicit FixedIdentity(bool withGuid) {
    platform::SetLocalTimeSource([] { return platform::LocalTime{124, 2, 9, 8, 7, 6}; });
    platform::SetGuidSource(withGuid ? +[](platform::Guid& g) {
      g = {0x0123ABCD, 0x4567, 0x89EF, {0xF5, 1, 2, 3, 4, 5, 6, 7}};
      return true;
    }
                                     : +[](platform::Guid&) { return false; });
  }
  ~FixedIdentity() {
    platform::SetLocalTimeSource(nullptr);
    platform::SetGuidSource(nullptr);
  }
};

std::vector<std::vector<sim::DefectPixel>> sampleLists() {
  return {{{300, 40}, {255, 3}, {20, 40}}, {}, {{5, 5}}, {{1278, 100}, {1279, 101}, {640, 1}}};
}

bool noLists(const PLHlperBase& h) {
  for (const DefectListSlot& s : h.defectLists)
    if (s.count != DefectListSlot::kNoList || !s.entries.empty()) return false;
  return h.curDefects == nullptr && h.curDefectCount == 0;
}

void parse(PLHlperBase& h, const std::vector<uint8_t>& block) {
  ParseEepromData(h, block.data(), static_cast<uint32_t>(block.size()));
}

TEST(EepromData, ValidBlockGivesTheSerialAndSortedLists) {
  EepromHelper h;
  parse(h, sim::EepromImage(kLists).setLists(sampleLists()).build());
  ASSERT_EQ(h.serialValid, 1);
  EXPECT_STREQ(h.serial, sim::EepromImage::kDefaultSerial);
  ASSERT_EQ(h.defectLists.size(), kLists);
  const auto& first = h.defectLists[0];
  ASSERT_EQ(first.count, 3u);
  // Sorted by row, then column; xHigh 1 with xLow 0 is column 255.
  EXPECT_EQ(first.entries[0].x, 255u);
  EXPECT_EQ(first.entries[0].y, 3u);
  EXPECT_EQ(first.entries[1].x, 20u);
  EXPECT_EQ(first.entries[2].x, 300u);
  EXPECT_EQ(h.defectLists[1].count, 0u);
  EXPECT_EQ(h.defectLists[2].count, 1u);
}

TEST(EepromData, EveryCorruptListPartDropsAllLists) {
  for (Variant v : {Variant::WrongUnpackedSize, Variant::WrongListCount, Variant::GroupSumMismatch,
                    Variant::Count2048, Variant::TruncatedGroup}) {
    SCOPED_TRACE(static_cast<int>(v));
    EepromHelper h;
    parse(h, sim::EepromImage(kLists).setLists(sampleLists()).build());
    parse(h, sim::EepromImage(kLists).setLists(sampleLists()).setVariant(v).build());
    EXPECT_TRUE(noLists(h));
    EXPECT_EQ(h.serialValid, 1) << "the serial record is independent of the lists";
  }
}

TEST(EepromData, BadHeadersGiveNothing) {
  const auto good = sim::EepromImage(kLists).setLists(sampleLists()).build();
  auto withU32 = [&](size_t at, uint32_t v) {
    auto b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    return b;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> block;
    bool serial;
  } rows[] = {
      {"marker", sim::EepromImage(kLists).setVariant(Variant::BadMarker).build(), false},
      {"n = 8", withU32(0, 8), false},
      {"n beyond the block", withU32(0, uint32_t(good.size()) + 1), false},
      {"unpacked above 16 x L", withU32(5, uint32_t(good.size()) * 16 + 1), true},
      {"unpacked below 3", withU32(5, 2), true},
      {"short block", std::vector<uint8_t>(good.begin(), good.begin() + 8), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EepromHelper h;
    parse(h, row.block);
    EXPECT_TRUE(noLists(h));
    EXPECT_EQ(h.serialValid, row.serial ? 1 : 0);
  }
}

// A claimed unpacked size above 16 bytes per block byte is refused before anything of that size
// is allocated, however large the claim.
TEST(EepromData, UnpackedClaimsAreBoundedBeforeAllocating) {
  const auto good = sim::EepromImage(kLists).setLists(sampleLists()).build();
  const uint32_t bound = uint32_t(good.size()) * 16;
  for (const uint32_t claim : {bound + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(claim);
    auto block = good;
    for (int i = 0; i < 4; ++i) block[5 + i] = uint8_t(claim >> (8 * i));
    EepromHelper h;
    testing_support::LimitAllocations(bound);
    parse(h, block);
    const long refused = testing_support::RefusedAllocations();
    testing_support::LimitAllocations(0);
    EXPECT_EQ(refused, 0);
    EXPECT_TRUE(noLists(h));
  }
}

TEST(EepromData, MalformedSerialRecordsAreMadeUp) {
  const struct {
    const char* serial;
    bool guid;
    const char* expected;
  } rows[] = {
      {"AB1001011200000123456789ABCDEF0", true, "QX240309080706123ABCD456789EF5"},
      {"AB2401011200000123456789abcdef0", true, "QX240309080706123ABCD456789EF5"},
      {"AB24 1011200000123456789ABCDEF0", true, "QX240309080706123ABCD456789EF5"},
      {"AB+401011200000123456789ABCDEF0", true, "QX240309080706123ABCD456789EF5"},
      {"aB2401011200000123456789ABCDEF0", false, "QX24030908070600000000000000000"},
      {"AB2413011200000123456789ABCDEF0", false, "QX24030908070600000000000000000"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.serial);
    FixedIdentity fixed(row.guid);
    EepromHelper h;
    parse(h, sim::EepromImage(kLists).setSerial(row.serial).build());
    ASSERT_EQ(h.serialValid, 1);
    EXPECT_EQ(std::strlen(h.serial), kSerialChars);
    EXPECT_EQ(std::string(h.serial).substr(0, 14), std::string(row.expected).substr(0, 14));
    if (!row.guid) {
      EXPECT_STREQ(h.serial, row.expected);
    }
  }
}

TEST(EepromData, MadeUpSerialCarriesTheGuidDigits) {
  FixedIdentity fixed(true);
  char serial[32];
  MakeUpSerial(serial);
  EXPECT_STREQ(serial, "QX2403090807060123ABCD456789EF5");
}

TEST(EepromData, ClippingMarksEdgesOnceAndKeepsCoordinates) {
  EepromHelper h;
  parse(h, sim::EepromImage(kLists).setLists(sampleLists()).build());
  ClipDefectList(h, 3, 1280, 960);
  ClipDefectList(h, 3, 640, 480);  // a second size does not clip again
  const auto& e = h.defectLists[3].entries;
  ASSERT_EQ(e.size(), 3u);
  const struct { uint32_t x, y, valid; } expected[] = {{640, 1, 0}, {1278, 100, 0}, {1279, 101, 0}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(e[i].x, expected[i].x) << i;
    EXPECT_EQ(e[i].y, expected[i].y) << i;
    EXPECT_EQ(e[i].valid, expected[i].valid) << i;
  }
  ClipDefectList(h, 0, 1280, 960);
  for (const DefectPixel& p : h.defectLists[0].entries) EXPECT_EQ(p.valid, 1u) << p.x;
}

TEST(EepromData, TheListOfAResolutionFollowsSkip) {
  const struct {
    uint64_t flags;
    uint32_t resolution, skip, list;
  } rows[] = {{LUMORIX_FLAG_SKIP, 0, 1, 0}, {LUMORIX_FLAG_SKIP, 1, 0, 1},
              {LUMORIX_FLAG_SKIP, 1, 1, 2}, {LUMORIX_FLAG_SKIP, 2, 0, 3},
              {LUMORIX_FLAG_SKIP, 2, 1, 4}, {0, 2, 1, 2}};
  for (const auto& row : rows) {
    EepromHelper h(row.flags);
    h.skip = row.skip;
    EXPECT_EQ(DefectListIndex(h, row.resolution), row.list) << row.resolution << row.skip;
  }
  EepromHelper h;
  parse(h, sim::EepromImage(kLists).setLists(sampleLists()).build());
  h.resolutionIndex = 2;
  SelectDefectList(h);
  ASSERT_EQ(h.curDefectCount, 1u);
  EXPECT_EQ(h.curDefects, h.defectLists[2].entries.data());
  EXPECT_EQ(h.defectLists[2].clipped, 1);
  h.resolutionIndex = 9;  // no such list
  SelectDefectList(h);
  EXPECT_EQ(h.curDefects, nullptr);
}

TEST(EepromData, AFailedReadIsRetriedAGoodOneNeverRepeated) {
  EepromHelper h;
  LoadEepromData(h);
  EXPECT_EQ(h.reads, 1);
  EXPECT_EQ(h.serialValid, 0);
  h.block = sim::EepromImage(kLists).setLists(sampleLists()).build();
  LoadEepromData(h);
  LoadEepromData(h);
  EXPECT_EQ(h.reads, 2);
  EXPECT_STREQ(h.serial, sim::EepromImage::kDefaultSerial);
  EXPECT_EQ(h.defectLists[0].count, 3u);
}

TEST(EepromData, UnpackedListsAreReadWithinTheirBytes) {
  const auto lists = [](std::vector<uint8_t> body) {
    std::vector<uint8_t> out(3 + body.size(), 0);
    out[0] = '2', out[1] = 1;
    std::copy(body.begin(), body.end(), out.begin() + 3);
    return out;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> data;
    bool accepted;
  } rows[] = {
      {"one entry", lists({1, 0, 0, 0, 0, 0, 1, 0, 7, 9}), true},
      {"groups of 2 and 2 for 3",
       lists({3, 0, 0, 0, 0, 0, 2, 0, 1, 1, 1, 1, 0, 0, 2, 0, 1, 1, 1, 1}), false},
      {"k beyond the data", lists({1, 0, 0, 0, 0, 0, 1, 0, 7}), false},
      {"count cut short", lists({1, 0}), false},
      {"count 2048", lists({0, 8, 0, 0}), false},
      {"empty groups only", lists({1, 0, 0, 0, 0, 0, 0, 0}), false},
      {"no lists header", {'2', 1}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<DefectListSlot> out(1);
    out[0].count = 77;
    const bool ok = DecodeUnpackedLists(row.data.data(), row.data.size(), 1, out);
    EXPECT_EQ(ok, row.accepted);
    if (!ok) {
      EXPECT_EQ(out[0].count, 77u) << "a refused input leaves the lists alone";
    }
  }
}

}  // namespace
