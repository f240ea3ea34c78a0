// Presets on the fake model with a real pipeline state: validation, the order in which a preset
// reaches the device, the interface's codes, and each way LoadPreset ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "core/lumorix_options.h"
#include "pipeline/preset_apply.h"
#include "pipeline/store/device_settings.h"
#include "platform/registry.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using zxstream::waitFor;

constexpr uint64_t kTwoFormats = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
constexpr HRESULT kNoPreset = static_cast<HRESULT>(0xFFFFFFFF);
constexpr const char* kRoot = "Software\\ZerithalTest\\Presets";
const WCHAR16* const kKey = ZX_W("Software\\ZerithalTest\\Presets\\Fake");

class Presets : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    scoped_ = std::make_unique<platform::ScopedRegistry>(platform::MakeMemoryRegistry());
#endif
    platform::CurrentRegistry().deleteKey(kRoot);
  }
  void TearDown() override {
    platform::CurrentRegistry().deleteKey(kRoot);
  }

  static FakeModelConfig config(uint64_t flags = kTwoFormats, bool state = true) {
    FakeModelConfig c;
    c.flags = flags;
    c.withHelper = true;
    c.withState = state;
    c.helperKey = kKey;
    return c;
  }

 private:
  std::unique_ptr<platform::ScopedRegistry> scoped_;
};

WString text(const char* s) {
  return WString(s, s + std::strlen(s));
}

PresetRecord valid(FakeHelper& h) {
  PresetRecord r;
  CapturePreset(h, &r);
  r.name[0] = u'p';
  return r;
}

TEST_F(Presets, ValidationBringsEveryFieldIntoRange) {
  FakeModel cam(config(kTwoFormats | LUMORIX_FLAG_BLACKLEVEL));
  FakeHelper& h = *cam.fakeHelper();
  const struct {
    const char* what;
    void (*spoil)(PresetRecord&);
    bool (*holds)(const PresetRecord&);
  } rows[] = {
      {"AE target", [](PresetRecord& r) { r.settings.aeTarget = 5; },
       [](const PresetRecord& r) { return r.settings.aeTarget == 16; }},
      {"hue", [](PresetRecord& r) { r.settings.hue = 999; },
       [](const PresetRecord& r) { return r.settings.hue == 180; }},
      {"gamma", [](PresetRecord& r) { r.settings.gamma = 1; },
       [](const PresetRecord& r) { return r.settings.gamma == 20; }},
      {"light frequency", [](PresetRecord& r) { r.lightFrequency = 9; },
       [](const PresetRecord& r) { return r.lightFrequency == 2; }},
      {"fan", [](PresetRecord& r) { r.fan = 200; },
       [](const PresetRecord& r) { return r.fan == 3; }},
      {"cooler without fan", [](PresetRecord& r) { r.tecOn = 1, r.fan = 0; },
       [](const PresetRecord& r) { return r.fan == 3; }},
      {"cooler target", [](PresetRecord& r) { r.tecTarget = -1000; },
       [](const PresetRecord& r) { return r.tecTarget == -300; }},
      {"AE policy", [](PresetRecord& r) { r.settings.aePolicy = 9; },
       [](const PresetRecord& r) { return r.settings.aePolicy == 1; }},
      {"AE threshold", [](PresetRecord& r) { r.settings.aeThreshold = 26; },
       [](const PresetRecord& r) { return r.settings.aeThreshold == 5; }},
      {"AE limits", [](PresetRecord& r) { r.aeMaxTime = 0, r.aeMaxGain = 0; },
       [](const PresetRecord& r) { return r.aeMaxTime == 350000 && r.aeMaxGain == 500; }},
      {"unknown format", [](PresetRecord& r) { r.settings.processFlags = 13u << 16; },
       [](const PresetRecord& r) { return PresetPixelFormat(r) == 0; }},
      {"format the model lacks", [](PresetRecord& r) { r.settings.processFlags = 4u << 16; },
       [](const PresetRecord& r) { return PresetPixelFormat(r) == 0; }},
      {"format the model has", [](PresetRecord& r) { r.settings.processFlags = 2u << 16; },
       [](const PresetRecord& r) { return PresetPixelFormat(r) == 2; }},
      {"black level in the deepest units", [](PresetRecord& r) { r.blackLevel = 48; },
       [](const PresetRecord& r) { return r.blackLevel == 48; }},
      {"black level above them", [](PresetRecord& r) { r.blackLevel = 5000; },
       [](const PresetRecord& r) { return r.blackLevel == 496; }},
      {"averaging binning", [](PresetRecord& r) { r.binning = 0x87; },
       [](const PresetRecord& r) { return r.binning == 0x84; }},
      {"averaging by nothing", [](PresetRecord& r) { r.binning = 0x80; },
       [](const PresetRecord& r) { return r.binning == 0x81; }},
      {"summing by seven", [](PresetRecord& r) { r.binning = 7; },
       [](const PresetRecord& r) { return r.binning == 1; }},
  };
  for (const auto& row : rows) {
    PresetRecord r = valid(h);
    row.spoil(r);
    ValidatePreset(h, r);
    EXPECT_TRUE(row.holds(r)) << row.what;
  }
}

// The model's factory black level of 3 in its 12-bit units reaches the sensor as 48.
class DefaultBlackHelper : public FakeHelper {
 public:
  using FakeHelper::FakeHelper;
  void PLHlperGetDefaultPreset(PresetRecord* r) override { r->blackLevel = 3; }
};

TEST_F(Presets, TheFactoryRecordKeepsItsBlackLevelInDeepUnits) {
  DefaultBlackHelper h(kTwoFormats | LUMORIX_FLAG_BLACKLEVEL);
  ASSERT_TRUE(h.makeState(320, 240, 0, 0, 0));
  uint8_t format = 9;
  ASSERT_EQ(ApplyPreset(h, kDefaultPresetIndex, &format), 0);
  EXPECT_EQ(h.blackLevel, 48);
  EXPECT_EQ(format, 0);
  EXPECT_EQ(h.aeMaxTime, 350000u);
  EXPECT_EQ(ApplyPreset(h, 5, &format), kPresetNotApplied) << "no record 5";
  FakeHelper stateless(kTwoFormats);
  EXPECT_EQ(ApplyPreset(stateless, kDefaultPresetIndex, &format), kPresetNotApplied);
}

TEST_F(Presets, ApplyingReachesTheDeviceInOrder) {
  FakeHelper h(kTwoFormats | LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC | LUMORIX_FLAG_TECTARGET);
  ASSERT_TRUE(h.makeState(320, 240, 0, 0, 0));
  PresetRecord r = valid(h);
  r.speed = 2, r.fan = 1, r.tecOn = 1, r.tecTarget = -50;
  h.presets().push_back(r);
  h.writes.clear();
  uint8_t format = 0;
  ASSERT_EQ(ApplyPreset(h, 0, &format), 0);
  std::vector<std::string> devices;
  for (const std::string& w : h.writes)
    if (w.rfind("time", 0) != 0) devices.push_back(w);
  EXPECT_EQ(devices,
            (std::vector<std::string>{"speed 2", "skip 0", "fan 1", "tec 1", "target -50"}));
  ASSERT_FALSE(h.writes.empty());
  EXPECT_EQ(h.writes.front().rfind("time", 0), 0u) << "the exposure goes first";
}

// The precise frame rate of a preset goes the same way as its bandwidth.
TEST_F(Presets, APresetsBandwidthIsStoredWhateverTheModelAnswers) {
  const struct {
    bool precise;
    uint32_t recorded, applied;
    HRESULT model;
  } rows[] = {{false, 70, 70, S_OK},    {false, 70, 70, E_FAIL},    {false, 0, 85, S_OK},
              {false, 101, 85, E_FAIL}, {true, 1200, 1000, E_FAIL}, {true, 0, 850, E_NOTIMPL}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.precise << " " << row.recorded << " " << row.model);
    FakeHelper h(kTwoFormats, kKey);
    ASSERT_TRUE(h.makeState(320, 240, 0, 0, 0));
    h.preciseMax = 1000;
    (row.precise ? h.preciseResult : h.bandwidthResult) = row.model;
    PresetRecord r = valid(h);
    (row.precise ? r.preciseFrameRate : r.bandwidth) = row.recorded;
    h.presets().push_back(r);
    h.writes.clear();
    ASSERT_EQ(ApplyPreset(h, 0, nullptr), 0);
    const std::string write = row.precise ? "precise " : "bandwidth ";
    EXPECT_NE(std::find(h.writes.begin(), h.writes.end(), write + std::to_string(row.applied)),
              h.writes.end())
        << "applied without the model saving it";
    uint32_t stored = 0;
    EXPECT_EQ(
        platform::CurrentRegistry().readDword("Software\\ZerithalTest\\Presets\\Fake",
                                              row.precise ? "PreciseB0" : "Bandwidth", stored),
        platform::RegStatus::Ok);
    EXPECT_EQ(std::make_pair(stored, row.precise ? h.preciseFrameRate : h.bandwidth),
              std::make_pair(row.applied, row.applied));
  }
}

TEST_F(Presets, InterfaceCodes) {
  FakeModel cam(config());
  ILumorixPreset& p = cam;
  EXPECT_EQ(p.AddPreset(nullptr), E_POINTER);
  EXPECT_EQ(p.AddPreset(ZX_W("")), static_cast<HRESULT>(0xFFFFFFFE));
  EXPECT_EQ(p.AddPreset(ZX_W("bright")), S_OK);
  EXPECT_EQ(p.AddPreset(ZX_W("bright")), static_cast<HRESULT>(0xFFFFFFFD));
  const WString tooLong(128, u'n');
  EXPECT_EQ(p.AddPreset(tooLong.c_str()), E_INVALIDARG);
  const WString longest(127, u'n');
  EXPECT_EQ(p.AddPreset(longest.c_str()), S_OK);
  EXPECT_EQ(p.get_PresetCount(), 2u);
  EXPECT_EQ(p.OverwritePreset(2), kNoPreset);
  EXPECT_EQ(p.OverwritePreset(0), S_OK);
  PresetRecord r{};
  EXPECT_EQ(p.get_Preset(0, &r), S_OK);
  EXPECT_EQ(WString(r.name), text("bright"));
  EXPECT_EQ(p.get_Preset(0, nullptr), E_POINTER);
  WCHAR16 model[kPresetNameUnits];
  EXPECT_EQ(p.get_PresetModel(model), S_OK);
  EXPECT_EQ(WString(model), text("Fake"));

  PresetRecord unterminated = r;
  std::fill(std::begin(unterminated.name), std::end(unterminated.name), u'z');
  EXPECT_EQ(p.put_Presets(nullptr, 1), E_POINTER);
  EXPECT_EQ(p.put_Presets(&r, 40000), E_INVALIDARG);
  EXPECT_EQ(p.put_Presets(&unterminated, 1), S_OK);
  EXPECT_EQ(p.get_Preset(0, &r), S_OK);
  EXPECT_EQ(r.name[127], 0);
  FakeModel again(config());
  EXPECT_EQ(static_cast<ILumorixPreset&>(again).get_PresetCount(), 1u) << "stored for the model";
  EXPECT_EQ(p.put_Presets(nullptr, 0), S_OK);
  EXPECT_EQ(p.get_PresetCount(), 0u);

  FakeModel stateless(config(kTwoFormats, false));
  ILumorixPreset& bare = stateless;
  EXPECT_EQ(bare.AddPreset(ZX_W("x")), kNoPreset);
  EXPECT_EQ(bare.OverwritePreset(0), kNoPreset);
  // A stored record stays as it was: without a state there is nothing to capture.
  r.settings.brightness = 33;
  ASSERT_EQ(bare.put_Presets(&r, 1), S_OK);
  EXPECT_EQ(bare.OverwritePreset(0), kNoPreset);
  PresetRecord kept{};
  EXPECT_EQ(bare.get_Preset(0, &kept), S_OK);
  EXPECT_EQ(kept.settings.brightness, 33);
}

TEST_F(Presets, SerialNumberAndName) {
  FakeModel cam(config());
  ILumorixSerialNumber& s = cam;
  char serial[32];
  EXPECT_EQ(s.get_SerialNumber(nullptr), E_POINTER);
  EXPECT_EQ(s.get_SerialNumber(serial), E_FAIL) << "the fake has no EEPROM";
  char name[64];
  EXPECT_EQ(s.get_Name(nullptr), E_POINTER);
  EXPECT_EQ(s.get_Name(name), S_OK);
}

// Each way a load ends: which restarts it makes and what it leaves.
TEST_F(Presets, LoadBranches) {
  const struct {
    const char* what;
    bool start, defer, factory;
    uint8_t speed, format;
    uint32_t restarts;
    bool keepsSpeedWhileOpen = false;  // the open device takes the speed only at its next start
  } rows[] = {
      {"stopped, new format", false, false, false, 0, 2, 0},
      {"stopped, factory", false, false, true, 0, 0, 0},
      {"deferring speed", true, true, false, 2, 0, 1},
      {"deferring speed and format", true, true, false, 2, 2, 2},
      {"deferring speed the open device keeps", true, true, false, 2, 0, 1, true},
      {"format change", true, false, false, 0, 2, 1},
      {"factory", true, false, true, 0, 0, 1},
      {"values only", true, false, false, 2, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    FakeModel cam(config());
    FakeHelper& h = *cam.fakeHelper();
    cam.usb().deferSpeed = row.defer;
    h.keepsSpeedWhileOpen = row.keepsSpeedWhileOpen;
    cam.setDdrMode(1);
    PresetRecord r = valid(h);
    r.speed = row.speed;
    r.settings.processFlags = (r.settings.processFlags & ~(0xFu << 16)) | uint32_t{row.format}
                                                                              << 16;
    ASSERT_EQ(cam.put_Presets(&r, 1), S_OK);
    zxstream::EventLog events;
    if (row.start) {
      ASSERT_EQ(cam.start(), S_OK);
    } else {  // the last start's event callback, kept by the stop, hears only a factory reset
      ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, zxstream::EventLog::record,
                          &events),
                S_OK);
      ASSERT_EQ(cam.stop(), S_OK);
    }
    const uint32_t before = cam.startSteps();
    EXPECT_EQ(cam.LoadPreset(row.factory ? 0xFFFFFFFFu : 0), S_OK);
    EXPECT_EQ(cam.startSteps() - before, row.restarts);
    EXPECT_EQ(events.count(kEventFactoryReset), row.factory && !row.start ? 1u : 0u);
    EXPECT_EQ(h.pixelFormat, row.factory ? 0 : row.format);
    EXPECT_EQ(cam.ddrMode(), row.factory ? 0 : 1);
    if (!row.factory) {
      EXPECT_EQ(h.speed, row.speed);
    }
    if (row.start) {
      EXPECT_EQ(cam.stop(), S_OK);
    }
  }
}

// The factory preset's restart takes no region of its own: the processor's windows follow the
// reset state whether or not a region was asked for.
TEST_F(Presets, TheFactoryRestartHandsTheProcessorItsWindows) {
  for (const bool region : {false, true}) {
    SCOPED_TRACE(region ? "a region asked for" : "no region");
    FakeModel cam(config(kTwoFormats | LUMORIX_FLAG_ISP));
    FakeHelper& h = *cam.fakeHelper();
    if (region) cam.usb().setRequestedRoi({0, 0, 64, 48});
    ASSERT_EQ(cam.start(), S_OK);
    const int before = h.aeWindows.load();
    EXPECT_EQ(cam.LoadPreset(0xFFFFFFFFu), S_OK);
    EXPECT_GT(h.aeWindows.load(), before);
    EXPECT_EQ(cam.stop(), S_OK);
  }
}

TEST_F(Presets, ARestartingLoadIsRefusedOnACameraThread) {
  FakeModel cam(config());
  FakeHelper& h = *cam.fakeHelper();
  PresetRecord r = valid(h);
  r.settings.processFlags |= 2u << 16;
  r.settings.brightness = 33;
  ASSERT_EQ(cam.put_Presets(&r, 1), S_OK);
  struct Ctx {
    FakeModel* cam;
    std::atomic<HRESULT> result{E_PENDING};
  } ctx{&cam};
  ASSERT_EQ(cam.start(
                [](const uint8_t*, const LumorixFrameHeader*, int32_t, void* c) {
                  auto* x = static_cast<Ctx*>(c);
                  if (x->result.load() == E_PENDING) x->result = x->cam->LoadPreset(0);
                },
                nullptr, nullptr, nullptr, &ctx),
            S_OK);
  ASSERT_TRUE(waitFor([&] { return ctx.result.load() != E_PENDING; }));
  EXPECT_EQ(ctx.result.load(), kWrongThread);
  EXPECT_EQ(cam.stop(), S_OK);
  EXPECT_EQ(h.pixelFormat, 0);
  int32_t brightness = 0;
  EXPECT_EQ(cam.get_Brightness(&brightness), S_OK);
  EXPECT_NE(brightness, 33) << "nothing applied";
}

TEST_F(Presets, TheFactoryOptionLoadsTheFactoryPreset) {
  FakeModel cam(config());
  cam.setDdrMode(1);
  EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_FACTORY, 0), S_OK);
  EXPECT_EQ(cam.ddrMode(), 0);
}

}  // namespace
