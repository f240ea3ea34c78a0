// Device values outside the settings block: binning, cooler, black balance, mode times.
#include "base/lumorix_flags.h"
#include "pipeline/store/device_settings.h"
#include "tests/pipeline/pipeline_kit.h"

using namespace zxtest;

namespace {

class DeviceSettings : public RegistryTest {};

TEST_F(DeviceSettings, BinningIsNormalised) {
  const std::pair<int64_t, uint8_t> cases[] = {{0x83, 0x83}, {0x80, 0x81}, {7, 1},
                                               {5, 1},       {300, 0x84},  {-1, 1},
                                               {0, 1},       {4, 4},       {0x8F, 0x84}};
  for (const auto& [stored, expected] : cases) {
    SCOPED_TRACE(stored);
    reg().deleteKey(kCameraKey);
    ASSERT_EQ(reg().createKey(kCameraKey), platform::RegStatus::Ok);
    if (stored >= 0) put("Binning", static_cast<uint32_t>(stored));
    FakeHelper h(helperArgs(cameraKeyWide(), 0));
    LoadSettings(h);
    EXPECT_EQ(h.binningByte, expected);
  }
}

TEST_F(DeviceSettings, TecTarget) {
  for (const auto& [stored, expected] :
       {std::pair<int32_t, int32_t>{-256, -256}, {500, 300}, {-400, -300}}) {
    put("TECTarget", static_cast<uint32_t>(stored));
    FakeHelper h(helperArgs(cameraKeyWide(), LUMORIX_FLAG_TEC));
    LoadSettings(h);
    EXPECT_EQ(h.tecTarget, expected) << stored;
    h.tecTarget = 0;  // keep the stored value for the next case
  }
  ASSERT_EQ(reg().writeString(kCameraKey, "TECTarget", ZX_W("-100")), platform::RegStatus::Ok);
  const uint8_t qword[8] = {0x9C, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  ASSERT_EQ(reg().writeBinary(kCameraKey, "TEC", qword, sizeof qword), platform::RegStatus::Ok);
  FakeHelper h(helperArgs(cameraKeyWide(), LUMORIX_FLAG_TEC));
  h.tecTarget = 12;
  LoadSettings(h);
  EXPECT_EQ(h.tecTarget, 12);
  EXPECT_EQ(h.tecOn, 1u);
  h.tecTarget = 0;
}

// Stored values past the model's limits are cut at open; a format the model lacks is refused.
TEST_F(DeviceSettings, OpenTimeValues) {
  for (auto [name, v] : {std::pair{"FrameRate", 9u},
                         {"Skip", 4u},
                         {"Fan", 7u},
                         {"BlackLevel", 9999u},
                         {"PixelFormat", 10u},
                         {"VideoModeTime", 5u},
                         {"TriggerModeTime", 777u}})
    put(name, v);
  const uint64_t flags = LUMORIX_FLAG_SKIP | LUMORIX_FLAG_FAN | LUMORIX_FLAG_BLACKLEVEL |
                         LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_TRIGGER_SOFT;
  FakeHelper h(helperArgs(cameraKeyWide(), flags));
  h.fanMaxSpeed = 3;
  h.timeMin = 100, h.timeMax = 1000, h.timeDefault = 500;
  LoadSettings(h);
  // Speed to maxSpeed, skip to 1, fan to fanMaxSpeed, black level to 12 bits' 496, the mode
  // times into the model's range; format 10 is not offered.
  EXPECT_EQ(std::tie(h.speed, h.skip, h.fanSpeed, h.blackLevel), std::make_tuple(3, 1u, 3, 496));
  EXPECT_EQ(std::tie(h.videoModeTime, h.triggerModeTime), std::make_tuple(100u, 777u));
  EXPECT_EQ(h.pixelFormat, 0);
  put("PixelFormat", 2);
  LoadSettings(h);
  EXPECT_EQ(h.pixelFormat, 2);
  h.fanSpeed = h.blackLevel = 0;
}

// The precise rate is kept per resolution and per state depth.
TEST_F(DeviceSettings, PreciseRateNameFollowsTheStateDepth) {
  SavePrecise(kCameraKey, 40, 1, true);
  SavePrecise(kCameraKey, 50, 1, false);
  EXPECT_EQ(get("PreciseA1"), 40u);
  EXPECT_EQ(get("PreciseB1"), 50u);
}

TEST_F(DeviceSettings, BlackBalanceByColourAndDepth) {
  {
    FakeHelper grey(helperArgs(cameraKeyWide(), LUMORIX_FLAG_MONO));
    const uint16_t offsets[3] = {1, 2, 3};
    SaveBlackBalance(grey, offsets, 0);
    EXPECT_EQ(get("BBG0"), 2u);
    EXPECT_FALSE(has("BBR0"));
    EXPECT_FALSE(has("BBB0"));
    put("BBG2", 5000);
    uint16_t read[3] = {};
    LoadBlackBalance(grey, read, 2);
    EXPECT_EQ(read[0], 4095);
    EXPECT_EQ(read[2], 4095);
  }
  FakeHelper colour(helperArgs(cameraKeyWide(), 0));
  put("BBR0", 300);
  put("BBB0", 17);
  uint16_t read[3] = {9, 9, 9};
  LoadBlackBalance(colour, read, 0);
  EXPECT_EQ(read[0], 255);
  EXPECT_EQ(read[1], 2);
  EXPECT_EQ(read[2], 17);
}

TEST_F(DeviceSettings, ModeTimesNeedASubkey) {
  FakeHelper none(helperArgs(nullptr, 0));
  uint32_t t = 0;
  EXPECT_EQ(SaveModeTime(none, true, 10), static_cast<HRESULT>(0x80004001));
  EXPECT_EQ(LoadModeTime(none, true, &t), static_cast<HRESULT>(0x80004001));
  FakeHelper h(helperArgs(cameraKeyWide(), 0));
  h.timeMin = 10, h.timeMax = 100, h.timeDefault = 50;
  EXPECT_EQ(SaveModeTime(h, true, 1000), S_OK);
  EXPECT_EQ(LoadModeTime(h, true, &t), S_OK);
  EXPECT_EQ(t, 100u);
  EXPECT_EQ(LoadModeTime(h, false, &t), S_OK);
  EXPECT_EQ(t, 50u);
}

}  // namespace
