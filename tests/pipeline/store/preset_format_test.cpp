// The preset buffer: check value, sizes, names, the older layouts and round trips through the
// registry and a ".pgt" file.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "pipeline/store/crc32.h"
#include "pipeline/store/preset_buffer.h"
#include "pipeline/store/preset_store.h"
#include "platform/file.h"
#include "platform/utf16.h"
#include "tests/pipeline/pipeline_kit.h"

using namespace zxtest;

namespace {

using Name = std::array<WCHAR16, kPresetNameUnits>;
using Magic = std::array<uint8_t, 16>;

constexpr Magic kCurrentMagic = {0x4D, 0x12, 0x21, 0xE9, 0x59, 0xDB, 0xF4, 0x4B,
                                 0x80, 0x73, 0x3B, 0x83, 0x45, 0xAF, 0x01, 0x56};

Name nameOf(const char16_t* text) {
  Name n{};
  for (size_t i = 0; text[i] && i + 1 < n.size(); ++i) n[i] = WCHAR16(text[i]);
  return n;
}

void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Magic, name, records as given, then the CRC-32 of all of it.
std::vector<uint8_t> buffer(const Magic& magic, const Name& name,
                            const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> b(magic.begin(), magic.end());
  const auto* n = reinterpret_cast<const uint8_t*>(name.data());
  b.insert(b.end(), n, n + 64);
  for (const auto& r : records) b.insert(b.end(), r.begin(), r.end());
  b.resize(b.size() + 4);
  putU32(b, b.size() - 4, Crc32(b.data(), b.size() - 4));
  return b;
}

PresetRecord sampleRecord(const char16_t* name, uint8_t speed) {
  PresetRecord r{};
  for (size_t i = 0; name[i]; ++i) r.name[i] = WCHAR16(name[i]);
  r.settings.aeTarget = 120;
  r.settings.brightness = 17;
  r.speed = speed;
  r.binning = 2;
  r.aeMaxTime = 90000;
  r.bandwidth = 70;
  return r;
}

constexpr uint8_t kCheckDigits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert(Crc32(kCheckDigits, sizeof kCheckDigits) == 0xCBF43926u);

TEST(PresetFormat, SizesMagicNameAndCheckValue) {
  const Name model = nameOf(u"Model");
  const auto empty = buffer(kCurrentMagic, model, {});
  std::vector<uint8_t> oneRecord(sizeof(PresetRecord));
  std::memcpy(oneRecord.data(), &static_cast<const PresetRecord&>(sampleRecord(u"a", 1)),
              sizeof(PresetRecord));
  const auto one = buffer(kCurrentMagic, model, {oneRecord});
  auto flipped = one;
  flipped[kPresetHeaderBytes + 300] ^= 0x10;
  auto badMagic = empty;
  badMagic[3] ^= 1;
  auto padded = one;
  padded.insert(padded.end() - 4, 0);
  const auto trailing = buffer(kCurrentMagic, model, {oneRecord, std::vector<uint8_t>(5, 0)});
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    Name expected;
    int32_t result;
    size_t records;
  } rows[] = {
      {"83 bytes", std::vector<uint8_t>(empty.begin(), empty.end() - 1), model, kPresetDamaged, 9},
      {"84 bytes, no records", empty, model, kPresetOk, 0},
      {"one record", one, model, kPresetOk, 1},
      {"one flipped bit", flipped, model, kPresetDamaged, 9},
      {"unknown magic", badMagic, model, kPresetDamaged, 9},
      {"size off the record grid", padded, model, kPresetDamaged, 9},
      {"trailing bytes under a valid check value", trailing, model, kPresetDamaged, 9},
      {"another model", one, nameOf(u"Other"), kPresetOtherName, 9},
      {"plain against RGB-gain", one, nameOf(u"Model@WBRGB"), kPresetOtherName, 9},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<PresetRecord> list(9);
    EXPECT_EQ(ParsePresetBuffer(row.bytes.data(), row.bytes.size(), row.expected.data(), list),
              row.result);
    EXPECT_EQ(list.size(), row.records) << "a refused buffer leaves the list unchanged";
  }
}

TEST(PresetFormat, NamesCompareWithinTheirField) {
  Name full;
  full.fill(u'X');  // no terminator anywhere in the field
  const auto b = buffer(kCurrentMagic, full, {});
  std::vector<PresetRecord> list;
  EXPECT_EQ(ParsePresetBuffer(b.data(), b.size(), full.data(), list), kPresetOk);
}

// One older layout: magic, record size, settings bytes, tail start, the tail fields it holds.
struct Older {
  int version;
  Magic magic;
  size_t recordBytes, settingsBytes, tailStart;
  bool binning, blackLevel, tecTarget, modeTimes, aeLimits;
};

class PresetOlder : public ::testing::TestWithParam<Older> {};

TEST_P(PresetOlder, LandsAtCurrentOffsetsWithTheWideningDefaults) {
  const Older& o = GetParam();
  std::vector<uint8_t> rec(o.recordBytes, 0);
  rec[0] = 'o';
  for (size_t i = 0; i < o.settingsBytes; ++i) rec[256 + i] = uint8_t(i + 1);
  uint8_t* t = rec.data() + o.tailStart;
  t[0] = 2, t[1] = 1, t[2] = 1, t[3] = 3, t[4] = 1;
  if (o.binning) t[5] = 0x82;
  if (o.blackLevel) t[6] = 0x34, t[7] = 0x02;
  if (o.tecTarget) std::memcpy(t + 8, "\x6A\xFF\xFF\xFF", 4);  // -150
  if (o.modeTimes) std::memcpy(t + 12, "\x57\x04\0\0\xAE\x08\0\0", 8);
  if (o.aeLimits) std::memcpy(t + 20, "\x05\x0D\0\0\xBC\x01\0\0", 8);
  const auto b = buffer(o.magic, nameOf(u"Model"), {rec, rec});
  std::vector<PresetRecord> list;
  ASSERT_EQ(ParsePresetBuffer(b.data(), b.size(), nameOf(u"Model").data(), list), kPresetOk);
  ASSERT_EQ(list.size(), 2u);
  const PresetRecord& r = list[1];
  EXPECT_EQ(r.name[0], WCHAR16('o'));
  const auto* settings = reinterpret_cast<const uint8_t*>(&r.settings);
  EXPECT_EQ(settings[o.settingsBytes - 1], uint8_t(o.settingsBytes));
  if (o.settingsBytes < offsetof(PLSettings, aePolicy)) {
    EXPECT_EQ(settings[o.settingsBytes], 0) << "beyond the copied prefix";
  }
  EXPECT_EQ(r.speed, 2);
  EXPECT_EQ(r.skip, 1);
  EXPECT_EQ(r.lightFrequency, 1);
  EXPECT_EQ(r.fan, o.version >= 3 ? 3 : 0);
  EXPECT_EQ(r.tecOn, o.version >= 3 ? 1 : 0);
  EXPECT_EQ(r.binning, o.binning ? 0x82 : 1);
  EXPECT_EQ(r.blackLevel, o.blackLevel ? 0x234 : 0);
  EXPECT_EQ(r.tecTarget, o.tecTarget ? -150 : 0);
  EXPECT_EQ(r.triggerModeTime, o.modeTimes ? 1111u : 0u);
  EXPECT_EQ(r.videoModeTime, o.modeTimes ? 2222u : 0u);
  EXPECT_EQ(r.aeMaxTime, o.aeLimits ? 3333u : 350000u);
  EXPECT_EQ(r.aeMaxGain, o.aeLimits ? 444u : 500u);
  EXPECT_EQ(r.settings.aePolicy, 1);
  EXPECT_EQ(r.settings.aeThreshold, 5);
  EXPECT_EQ(r.preciseFrameRate, 0u);
  EXPECT_EQ(r.bandwidth, 0u);
}

// Magics and sizes of the layouts the product once wrote; which tail fields each one holds.
// clang-format off
const Older kOlder[] = {
    {1, {0x5E, 0x00, 0xDF, 0x46, 0x10, 0x5A, 0x6D, 0x49, 0xA8, 0xDB, 0x3D, 0x6E, 0xDC, 0x00, 0x74, 0x2D},
     376, 112, 368, false, false, false, false, false},
    {2, {0x6A, 0xFC, 0x10, 0xB5, 0x35, 0xD2, 0xE2, 0x45, 0x85, 0xE4, 0xE5, 0xE5, 0xEB, 0x39, 0x7F, 0x15},
     384, 120, 376, false, false, false, false, false},
    {3, {0x26, 0x26, 0xEA, 0xF3, 0xA5, 0x2C, 0x00, 0x41, 0x88, 0xB4, 0x05, 0x33, 0x9A, 0xCA, 0x7D, 0x57},
     392, 120, 376, false, false, true, false, false},
    {4, {0x31, 0xFF, 0xA4, 0xDA, 0x3F, 0xF6, 0xD8, 0x4B, 0x80, 0x3F, 0x0A, 0xDD, 0xB3, 0x09, 0x14, 0x16},
     400, 120, 376, false, false, true, true, false},
    {5, {0x03, 0x86, 0xA7, 0x33, 0x01, 0x4F, 0x53, 0x47, 0x8C, 0xFF, 0x79, 0x82, 0xB7, 0x93, 0xB1, 0xAF},
     400, 120, 376, false, true, true, true, false},
    {6, {0xC5, 0xF5, 0x7D, 0x7B, 0xF3, 0xD0, 0x55, 0x4E, 0xBB, 0x74, 0xB8, 0xAD, 0x97, 0xEE, 0xB2, 0x88},
     416, 136, 392, false, true, true, true, false},
    {7, {0xCD, 0xA8, 0x84, 0xAE, 0x7A, 0x51, 0x12, 0x40, 0x85, 0x12, 0x80, 0xE7, 0xCA, 0xA4, 0x32, 0x25},
     432, 144, 400, true, true, true, true, true},
    {8, {0x2A, 0xEC, 0x8D, 0x95, 0x7C, 0x2D, 0x85, 0x4D, 0xB4, 0xB5, 0xB7, 0x01, 0xCB, 0xC1, 0x45, 0x5D},
     440, 152, 408, true, true, true, true, true},
    {9, {0x38, 0xEB, 0xAD, 0xFF, 0xA4, 0x63, 0x38, 0x4D, 0x89, 0x14, 0x1D, 0xBD, 0x46, 0x9D, 0x32, 0xCB},
     448, 144, 416, true, true, true, true, true},
};
// clang-format on

std::string versionName(const ::testing::TestParamInfo<Older>& info) {
  char name[8];
  std::snprintf(name, sizeof name, "v%d", info.param.version);
  return name;
}

INSTANTIATE_TEST_SUITE_P(PresetFormat, PresetOlder, ::testing::ValuesIn(kOlder), versionName);

class PresetRoundTrip : public RegistryTest {};

TEST_F(PresetRoundTrip, RegistryAndFileGiveTheSameBytes) {
  std::vector<uint8_t> first;
  {
    Preset store(cameraKeyWide(), 1);
    EXPECT_TRUE(store.presets().empty());
    store.presets() = {sampleRecord(u"bright", 2), sampleRecord(u"dim", 0)};
    ASSERT_EQ(PresetSave(store), kPresetOk);
    first = SavePresetBuffer(store.presets(), store.presetName());
    std::vector<uint8_t> stored;
    ASSERT_EQ(reg().readBinary(kCameraKey, "pgt", stored), platform::RegStatus::Ok);
    EXPECT_EQ(stored, first);
  }
  Preset reopened(cameraKeyWide(), 1);
  ASSERT_EQ(reopened.presets().size(), 2u);
  EXPECT_EQ(SavePresetBuffer(reopened.presets(), reopened.presetName()), first);
  Preset rgbGain(cameraKeyWide(), 0);
  EXPECT_TRUE(rgbGain.presets().empty()) << "\"pgt@WBRGB\" is another store";
  EXPECT_EQ(PresetLoad(rgbGain), kPresetNoStore);

  const auto path = std::filesystem::temp_directory_path() / "zerithal_round_trip.pgt";
  const WString wide = platform::Utf8ToWide(path.string());
  {
    platform::FilePtr out = platform::OpenFile(wide.c_str(), "wb");
    ASSERT_TRUE(out);
    ASSERT_EQ(std::fwrite(first.data(), 1, first.size(), out.get()), first.size());
  }
  std::vector<PresetRecord> fromFile;
  EXPECT_EQ(LoadPresetFile(wide.c_str(), reopened.presetName(), fromFile), kPresetOk);
  EXPECT_EQ(SavePresetBuffer(fromFile, reopened.presetName()), first);
  { platform::FilePtr truncate = platform::OpenFile(wide.c_str(), "wb"); }
  EXPECT_EQ(LoadPresetFile(wide.c_str(), reopened.presetName(), fromFile), kPresetDamaged);
  std::filesystem::remove(path);
  EXPECT_EQ(LoadPresetFile(wide.c_str(), reopened.presetName(), fromFile), kPresetNoFile);
  EXPECT_EQ(fromFile.size(), 2u);
}

TEST_F(PresetRoundTrip, DamagedOrOversizedValuesLeaveTheListEmpty) {
  std::vector<uint8_t> big(kPresetMaxBytes + 1, 0);
  std::memcpy(big.data(), kCurrentMagic.data(), kCurrentMagic.size());
  ASSERT_EQ(reg().writeBinary(kCameraKey, "pgt", big.data(), big.size()), platform::RegStatus::Ok);
  Preset store(cameraKeyWide(), 1);
  EXPECT_TRUE(store.presets().empty());
  EXPECT_EQ(PresetLoad(store), kPresetDamaged);
  PresetRecord out = sampleRecord(u"x", 1);
  PresetGet(store.presets(), &out, 5);
  EXPECT_EQ(out.name[0], 0) << "out of range gives a zeroed record";
}

}  // namespace
