// Device properties on the fake model: size lookups and their refusals, the output size, speed,
// temperature, fan and cooler, and the numbered I/O values with their stored copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "base/lumorix_flags.h"
#include "platform/registry.h"
#include "tests/support/fake_model.h"

namespace {

constexpr const WCHAR16* kRoot = ZX_W("Software\\ZxTest");
constexpr const char* kKey = "Software\\ZxTest\\Fake";

FakeModelConfig withFlags(uint64_t flags, bool helper = true) {
  FakeModelConfig config;
  config.flags = flags;
  config.withHelper = helper;
  return config;
}

// Two I/O values, stored under kRoot, exposure up to 1000 us.
FakeModelConfig withIo() {
  FakeModelConfig config;
  config.ioCount = 2;
  config.settingsRoot = kRoot;
  config.maxExposureUs = 1000;
  return config;
}

TEST(StreamProperties, SizeLookupMatchesTheFirstEntryByWidthHeightOrBoth) {
  FakeModelConfig config;
  config.previews = {{1024, 770, 1, 1}, {2048, 1534, 1, 1}, {1024, 600, 1, 1}, {640, 770, 1, 1}};
  FakeModel cam(config);
  const struct {
    int32_t w, h;
    HRESULT hr;
    uint32_t index;
  } table[] = {{2048, 1534, S_OK, 1},
               {1024, 600, S_OK, 2},
               {0, 770, S_OK, 0},
               {640, 0, S_OK, 3},
               {1024, 0, S_OK, 0},
               {0, 0, E_INVALIDARG, 3},
               {2048, 770, E_INVALIDARG, 3},
               {-1, 770, E_INVALIDARG, 3}};
  for (const auto& row : table) {
    ASSERT_EQ(cam.put_eSize(3), S_OK);
    EXPECT_EQ(cam.put_Size(row.w, row.h), row.hr) << row.w << "x" << row.h;
    EXPECT_EQ(cam.previewIndex(), row.index) << row.w << "x" << row.h;
  }
  EXPECT_EQ(cam.put_StillSize(2048, 1534), S_OK);
  EXPECT_EQ(cam.stillIndex(), 1u);
  EXPECT_EQ(cam.put_StillSize(1024, 600), E_INVALIDARG);  // only the first two are stills
}

TEST(StreamProperties, ResolutionChangesRefuseInOrderWhileStreaming) {
  FakeModel cam;
  ASSERT_EQ(cam.start(), S_OK);
  EXPECT_EQ(cam.put_eSize(3), E_INVALIDARG);  // range first, even while streaming
  EXPECT_EQ(cam.put_eSize(1), E_UNEXPECTED);
  EXPECT_EQ(cam.put_eStillSize(1), S_OK);  // the still index may change at any time
  EXPECT_EQ(cam.put_eStillSize(2), E_INVALIDARG);
  cam.stop();
  cam.usb().setRequestedRoi(SensorRect{0, 0, 640, 480});
  EXPECT_EQ(cam.put_eSize(0), S_OK);  // the current index: the region stays
  EXPECT_TRUE(cam.usb().roiPending());
  EXPECT_EQ(cam.put_eSize(1), S_OK);
  EXPECT_EQ(cam.previewIndex(), 1u);
}

// A region belongs to the size it was set at: a new size reports its full frame, whether the
// region was only requested, applied, or applied with another one pending.
TEST(StreamProperties, NewSizeForgetsTheRegion) {
  const SensorRect region{0, 0, 640, 480};
  const struct {
    const char* name;
    bool applied, pendingAfter;
  } table[] = {{"requested", false, false}, {"applied", true, false}, {"both", true, true}};
  for (const auto& row : table) {
    FakeModel cam;
    cam.usb().setRequestedRoi(region);
    if (row.applied) cam.usb().EzWriteRoi(640, 480);
    if (row.pendingAfter) cam.usb().setRequestedRoi(SensorRect{2, 2, 322, 242});
    ASSERT_EQ(cam.put_eSize(1), S_OK) << row.name;
    int32_t w = 0, h = 0;
    ASSERT_EQ(cam.get_FinalSize(&w, &h), S_OK) << row.name;
    EXPECT_EQ(std::pair(w, h), std::pair(2048, 1534)) << row.name;
    EXPECT_FALSE(cam.usb().roiPending()) << row.name;
    const SensorRect requested = cam.usb().requestedRoi(), window = cam.usb().sensorWindow();
    EXPECT_EQ(requested.right | requested.bottom | window.right | window.bottom, 0u) << row.name;
  }
}

TEST(StreamProperties, SizeReadersWriteEveryNonNullPointer) {
  FakeModel cam;
  ASSERT_EQ(cam.put_eStillSize(1), S_OK);
  using Getter = HRESULT (FakeModel::*)(int32_t*, int32_t*);
  for (const auto& [get, w0, h0] :
       {std::tuple<Getter, int32_t, int32_t>{&FakeModel::get_Size, 1024, 770},
        {&FakeModel::get_StillSize, 2048, 1534}}) {
    int32_t w = -1, h = -1;
    EXPECT_EQ((cam.*get)(&w, nullptr), S_OK);
    EXPECT_EQ((cam.*get)(nullptr, &h), S_OK);
    EXPECT_EQ(std::pair(w, h), std::pair(w0, h0));
    EXPECT_EQ((cam.*get)(nullptr, nullptr), E_POINTER);
  }
  uint32_t grabbed = 7, total = 9;
  EXPECT_EQ(cam.get_FrameStats(nullptr, &grabbed, nullptr), S_OK);
  EXPECT_EQ(grabbed, 0u);
  EXPECT_EQ(cam.get_FrameStats(nullptr, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(cam.get_FrameRate(nullptr, nullptr, &total), S_OK);
  EXPECT_EQ(total, 0u);
  EXPECT_EQ(cam.get_FrameRate(nullptr, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(cam.get_MaxFrameRate(), 100u);
  EXPECT_EQ(cam.get_MaxFrameRateOf(2), 102u);
  int32_t w = 0, h = 0;
  EXPECT_EQ(cam.get_StillResolution(2, &w, &h), E_INVALIDARG);  // index == still count
  EXPECT_EQ(cam.get_StillResolution(1, &w, &h), S_OK);
  EXPECT_EQ(w, 2048);
  FakeModelConfig noStills;
  noStills.stillCount = 0;
  FakeModel bare(noStills);
  uint32_t index = 0;
  EXPECT_EQ(bare.get_eStillSize(&index), E_INVALIDARG);
  EXPECT_EQ(bare.get_StillSize(&w, &h), E_INVALIDARG);
}

TEST(StreamProperties, FinalSizeBinsMakesEvenAndTurns) {
  FakeModel cam;
  int32_t w = 0, h = 0;
  EXPECT_EQ(cam.get_FinalSize(&w, nullptr), E_POINTER);
  ASSERT_EQ(cam.get_FinalSize(&w, &h), S_OK);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 770);
  cam.usb().setRequestedRoi(SensorRect{0, 0, 640, 480});
  cam.usb().EzWriteRoi(640, 480);
  cam.usb().binning = 0x83;  // averaging by 3: the average bit is not part of the factor
  cam.rotated = true;
  ASSERT_EQ(cam.get_FinalSize(&w, &h), S_OK);
  EXPECT_EQ(w, 160);  // 480 / 3
  EXPECT_EQ(h, 212);  // 640 / 3 = 213, made even
}

// A region set on a stopped camera is the size its next stream delivers, before any frame.
TEST(StreamProperties, FinalSizeIsTheRegionTheNextStreamDelivers) {
  FakeModel cam;
  ASSERT_EQ(cam.put_Roi(0, 0, 640, 480), S_OK);
  uint32_t roiWidth = 0, roiHeight = 0;
  ASSERT_EQ(cam.get_Roi(nullptr, nullptr, &roiWidth, &roiHeight), S_OK);
  int32_t w = 0, h = 0;
  ASSERT_EQ(cam.get_FinalSize(&w, &h), S_OK);
  EXPECT_EQ(std::pair(uint32_t(w), uint32_t(h)), std::pair(roiWidth, roiHeight));
  EXPECT_EQ(std::pair(w, h), std::pair(640, 480));
  cam.usb().binning = 2;
  ASSERT_EQ(cam.get_FinalSize(&w, &h), S_OK);
  EXPECT_EQ(std::pair(w, h), std::pair(320, 240));
}

TEST(StreamProperties, TemperatureRangeAndCoolerTarget) {
  FakeModel cam(withFlags(LUMORIX_FLAG_TEMPERATURE | LUMORIX_FLAG_TEC | LUMORIX_FLAG_TECTARGET));
  for (const auto& [reading, hr] :
       {std::pair<int16_t, HRESULT>{-500, S_OK}, {1500, S_OK}, {-501, E_FAIL}, {1501, E_FAIL}}) {
    cam.usb().reading = reading;
    int16_t t = 0;
    EXPECT_EQ(cam.get_Temperature(&t), hr) << reading;
    EXPECT_EQ(t, hr == S_OK ? reading : 0) << reading;
  }
  int16_t t = 0;
  EXPECT_EQ(cam.get_Temperature(nullptr), E_POINTER);
  cam.openResult = static_cast<HRESULT>(0x80070015);
  EXPECT_EQ(cam.get_Temperature(&t), static_cast<HRESULT>(0x80070015));  // opening failed
  cam.openResult = S_OK;

  EXPECT_EQ(cam.put_TecTarget(301), E_INVALIDARG);
  EXPECT_EQ(cam.put_TecTarget(-301), E_INVALIDARG);
  EXPECT_EQ(cam.fakeHelper()->writes.size(), 0u);  // nothing stored or sent
  EXPECT_EQ(cam.put_TecTarget(-300), S_OK);
  EXPECT_EQ(cam.put_Temperature(120), S_OK);  // without a hardware target: the cooler target
  int32_t target = 1;
  ASSERT_EQ(cam.get_TecTarget(&target), S_OK);
  EXPECT_EQ(target, 120);
  cam.fakeHelper()->tecTargetResult = E_FAIL;
  EXPECT_EQ(cam.put_TecTarget(10), E_FAIL);

  FakeModel hardware(withFlags(LUMORIX_FLAG_TECTARGET_HW));
  EXPECT_EQ(hardware.put_Temperature(-55), S_OK);
  EXPECT_EQ(hardware.usb().temperatureSet.load(), -55);
  EXPECT_EQ(hardware.put_TecTarget(0), E_NOTIMPL);
  EXPECT_EQ(hardware.get_Temperature(&t), E_NOTIMPL);
}

TEST(StreamProperties, FlagGatedValuesRefuseWithoutFlagOrHelperAndCoupleFanAndCooler) {
  const uint64_t all = LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC | LUMORIX_FLAG_TECTARGET |
                       LUMORIX_FLAG_SKIP | LUMORIX_FLAG_TRIGGER_SOFT;
  for (const FakeModelConfig& config : {withFlags(0), withFlags(all, false)}) {
    FakeModel none(config);
    uint32_t u = 0;
    uint16_t s = 0;
    int32_t i = 0;
    const std::vector<std::function<HRESULT()>> calls = {
        [&] { return none.put_Skip(1); },
        [&] { return none.get_Skip(&u); },
        [&] { return none.get_FanSpeed(&s); },
        [&] { return none.put_FanSpeed(1); },
        [&] { return HRESULT(none.get_FanMaxSpeed()); },
        [&] { return none.get_Tec(&u); },
        [&] { return none.put_Tec(1); },
        [&] { return none.get_TecTarget(&i); },
        [&] { return none.put_ModeExpoTime(1, 100); },
        [&] { return none.get_ModeExpoTime(1, &u); }};
    for (size_t k = 0; k < calls.size(); ++k)
      EXPECT_EQ(calls[k](), E_NOTIMPL) << "call " << k << " flags " << config.flags;
  }

  FakeModel fan(withFlags(all));
  uint32_t u = 0;
  uint16_t s = 0;
  EXPECT_EQ(fan.get_FanMaxSpeed(), 3u);
  EXPECT_EQ(fan.put_FanSpeed(4), E_INVALIDARG);
  EXPECT_EQ(fan.put_Tec(1), S_OK);  // the cooler starts the fan at its top speed
  ASSERT_EQ(fan.get_FanSpeed(&s), S_OK);
  EXPECT_EQ(s, 3u);
  EXPECT_EQ(fan.put_FanSpeed(0), S_OK);  // and stops with it
  ASSERT_EQ(fan.get_Tec(&u), S_OK);
  EXPECT_EQ(u, 0u);
  EXPECT_EQ(fan.put_Skip(2), S_OK);
  ASSERT_EQ(fan.get_Skip(&u), S_OK);
  EXPECT_EQ(u, 2u);
}

// The real-time mode is stored and rewrites the DDR register; a mode above 2 changes nothing.
TEST(StreamProperties, RealTimeIsStoredAndRewritesTheDdrRegister) {
  FakeModel cam(withFlags(LUMORIX_FLAG_DDR, false));
  const struct {
    uint32_t mode;
    HRESULT result;
    uint32_t stored;
    int32_t ddr;  // the register's last value
  } rows[] = {{1, S_OK, 1, 1}, {2, S_OK, 2, 0}, {3, E_INVALIDARG, 2, 0}, {1, S_OK, 1, 1}};
  for (const auto& row : rows) {
    const uint32_t writes = cam.usb().ddrWrites.load();
    EXPECT_EQ(cam.put_RealTime(row.mode), row.result) << row.mode;
    uint32_t stored = 9;
    ASSERT_EQ(cam.get_RealTime(&stored), S_OK);
    EXPECT_EQ(stored, row.stored) << row.mode;
    EXPECT_EQ(cam.usb().ddrRealtime.load(), row.ddr) << row.mode;
    EXPECT_EQ(cam.usb().ddrWrites.load(), writes + (row.result == S_OK ? 1 : 0)) << row.mode;
  }
}

// What the helper keeps for the host: the focus record, the tone-curve tables and a histogram
// request, each refused without the flag, the pointer, the helper or a stream it needs.
TEST(StreamProperties, HelperRecordsReachTheHost) {
  LumorixFocusInfo focus{};
  EXPECT_EQ(FakeModel(withFlags(0)).get_FocusMotor(&focus), E_NOTIMPL);
  EXPECT_EQ(FakeModel(withFlags(LUMORIX_FLAG_FOCUS)).get_FocusMotor(nullptr), E_POINTER);
  EXPECT_EQ(FakeModel(withFlags(LUMORIX_FLAG_FOCUS, false)).get_FocusMotor(&focus), E_NOTIMPL);
  FakeModelConfig stated = withFlags(LUMORIX_FLAG_FOCUS);
  stated.withState = true;  // the histogram request lives in the state
  FakeModel cam(stated);
  cam.fakeHelper()->focusInfo.value[2] = 77;
  ASSERT_EQ(cam.get_FocusMotor(&focus), S_OK);
  EXPECT_EQ(focus.value[0], 850);
  EXPECT_EQ(focus.value[2], 77);
  EXPECT_EQ(focus.value[4], -5400);

  std::vector<uint8_t> tone8(256);
  std::vector<uint16_t> tone16(65536);
  for (size_t i = 0; i < tone8.size(); ++i) tone8[i] = uint8_t(255 - i);
  for (size_t i = 0; i < tone16.size(); ++i) tone16[i] = uint16_t(i / 2);
  EXPECT_EQ(FakeModel(withFlags(0, false)).put_ToneCurveTable(tone8.data(), tone16.data()),
            E_UNEXPECTED);
  ASSERT_EQ(cam.put_ToneCurveTable(tone8.data(), tone16.data()), S_OK);
  EXPECT_EQ(cam.fakeHelper()->toneTable8, tone8);
  const std::vector<uint16_t>& kept16 = cam.fakeHelper()->toneTable16;  // as deep as the model
  ASSERT_GE(kept16.size(), 256u);
  EXPECT_TRUE(std::equal(kept16.begin(), kept16.end(), tone16.begin()));

  int context = 0;
  const LumorixHistogramCallback onHistogram = [](const float*, const float*, const float*,
                                                  const float*,
                                                  void* c) { ++*static_cast<int*>(c); };
  EXPECT_EQ(cam.GetHistogramEx(onHistogram, &context, 2), E_UNEXPECTED);  // not started
  ASSERT_EQ(cam.start(), S_OK);
  ASSERT_EQ(cam.GetHistogramEx(onHistogram, &context, 2), S_OK);
  ASSERT_NE(cam.fakeHelper()->statsCallback, nullptr);  // reaches the host's pair
  cam.fakeHelper()->statsCallback(nullptr, nullptr, nullptr, nullptr,
                                  cam.fakeHelper()->statsCallbackCtx);
  EXPECT_EQ(context, 1);
  EXPECT_EQ(cam.fakeHelper()->statsRequest, 2u);
  cam.stop();
}

// Without a pipeline state the time reaches the sensor alone; the camera on the simulated device
// shows the path through the state (tests/core/mode_exposure_test.cpp).
TEST(StreamProperties, ModeExposureTimeAppliesOnlyInItsMode) {
  FakeModel cam(withFlags(LUMORIX_FLAG_TRIGGER_SOFT));
  FakeHelper& helper = *cam.fakeHelper();
  EXPECT_EQ(cam.put_ModeExpoTime(1, 5000), S_OK);  // video mode now: stored only
  EXPECT_EQ(cam.put_ModeExpoTime(0, 7000), S_OK);
  helper.trigger = true;
  EXPECT_EQ(cam.put_ModeExpoTime(1, 6000), S_OK);
  EXPECT_EQ(helper.writes, (std::vector<std::string>{"time 7000", "time 6000"}));
  uint32_t trigger = 0, video = 0;
  ASSERT_EQ(cam.get_ModeExpoTime(1, &trigger), S_OK);
  ASSERT_EQ(cam.get_ModeExpoTime(0, &video), S_OK);
  EXPECT_EQ(trigger, 6000u);
  EXPECT_EQ(video, 7000u);
  EXPECT_EQ(cam.get_ModeExpoTime(0, nullptr), E_POINTER);
}

TEST(StreamProperties, SpeedIsClampedStoredAndRestartsADeferringModelOnlyOnChange) {
  platform::ScopedRegistry scoped(platform::MakeMemoryRegistry());
  FakeModelConfig config = withFlags(0);
  config.settingsRoot = kRoot;
  FakeModel cam(config);
  EXPECT_EQ(cam.put_Speed(9), S_OK);
  uint32_t stored = 0;
  ASSERT_EQ(scoped.get().readDword(kKey, "FrameRate", stored), platform::RegStatus::Ok);
  EXPECT_EQ(stored, 3u);  // the model's maximum
  uint16_t level = 0;
  ASSERT_EQ(cam.get_Speed(&level), S_OK);
  EXPECT_EQ(level, 3u);
  EXPECT_EQ(cam.put_Speed(3), S_OK);  // unchanged: not sent again
  EXPECT_EQ(cam.fakeHelper()->writes, std::vector<std::string>{"speed 3"});

  cam.usb().deferSpeed = true;
  ASSERT_EQ(cam.start(), S_OK);
  const auto opens = [&] {
    const auto calls = cam.calls();
    return std::count(calls.begin(), calls.end(), "OpenCamera");
  };
  const auto before = opens();
  EXPECT_EQ(cam.put_Speed(3), S_OK);
  EXPECT_EQ(opens(), before);  // same level: no restart
  EXPECT_EQ(cam.put_Speed(1), S_OK);
  EXPECT_EQ(opens(), before + 1);
  EXPECT_TRUE(cam.started());
  ASSERT_EQ(cam.get_Speed(&level), S_OK);
  EXPECT_EQ(level, 1u);
  cam.stop();

  FakeModelConfig noSpeed = withFlags(0);
  noSpeed.maxSpeed = 0;
  EXPECT_EQ(FakeModel(noSpeed).get_Speed(&level), E_UNEXPECTED);
}

TEST(StreamProperties, IoControlChecksRangesAndStoresWrites) {
  platform::ScopedRegistry scoped(platform::MakeMemoryRegistry());
  FakeModel cam(withIo());
  int32_t out = 0;
  const struct {
    uint32_t index, type;
    int32_t value;
    HRESULT hr;
  } table[] = {{2, 4, 0, E_INVALIDARG},
               {0, 5, 0, S_OK},
               {0, 4, 2, E_INVALIDARG},
               {0, 6, 5, S_OK},
               {0, 12, 20001, E_INVALIDARG},
               {0, 12, 20000, S_OK},
               {0, 14, 1, E_INVALIDARG},
               {0, 16, -1, E_INVALIDARG},
               {0, 36, 1001, E_INVALIDARG},
               {1, 38, 1000, S_OK},
               {0, 18, 0, E_INVALIDARG},
               {0, 22, 1023, S_OK},
               {0, 22, 1024, E_INVALIDARG},
               {0, 20, 3, E_INVALIDARG},
               {0, 32, 3, S_OK},
               {0, 40, -7, S_OK}};
  for (const auto& row : table)
    EXPECT_EQ(cam.IoControl(row.index, row.type, row.value, &out), row.hr)
        << row.index << " " << row.type << " " << row.value;
  EXPECT_EQ(cam.IoControl(0, 7, 0, nullptr), E_POINTER);
  cam.usb().triggerMode = 1;  // software trigger: type 14 takes only 5
  EXPECT_EQ(cam.IoControl(0, 14, 4, nullptr), E_INVALIDARG);
  EXPECT_EQ(cam.IoControl(0, 14, 5, nullptr), S_OK);
  uint32_t stored = 0;
  ASSERT_EQ(scoped.get().readDword(kKey, "Io1x38", stored), platform::RegStatus::Ok);
  EXPECT_EQ(stored, 1000u);
  EXPECT_NE(scoped.get().readDword(kKey, "Io0x5", stored), platform::RegStatus::Ok);
  EXPECT_EQ(FakeModel().IoControl(0, 4, 0, nullptr), E_NOTIMPL);
}

// Exposure-typed values are never negative, also where the model's maximum (none, or the
// largest there is) would let the value's unsigned reading through.
TEST(StreamProperties, IoControlRefusesNegativeExposures) {
  constexpr uint32_t kNoMaximum = 0;
  const struct {
    uint32_t maxUs, type;
    int32_t value;
    HRESULT hr;
  } table[] = {{kNoMaximum, 16, -1, E_INVALIDARG},    {kNoMaximum, 36, INT32_MIN, E_INVALIDARG},
               {kNoMaximum, 38, -1000, E_INVALIDARG}, {~0u, 16, INT32_MIN, E_INVALIDARG},
               {~0u, 36, -1, E_INVALIDARG},           {~0u, 38, -2, E_INVALIDARG},
               {kNoMaximum, 16, INT32_MAX, S_OK},     {~0u, 38, 0, S_OK}};
  for (const auto& row : table) {
    FakeModelConfig config;
    config.ioCount = 1;
    config.maxExposureUs = row.maxUs;
    FakeModel cam(config);
    EXPECT_EQ(cam.IoControl(0, row.type, row.value, nullptr), row.hr)
        << row.maxUs << " " << row.type << " " << row.value;
    EXPECT_EQ(cam.ioCalls().size(), row.hr == S_OK ? 1u : 0u) << row.type << " " << row.value;
  }
}

TEST(StreamProperties, InitUsbRestoresStoredIoValuesInTableOrder) {
  platform::ScopedRegistry scoped(platform::MakeMemoryRegistry());
  // Out of range, above the exposure maximum, or of another value type: skipped.
  const std::pair<const char*, uint32_t> stored[] = {
      {"Io1x40", 9}, {"Io0x12", 30000}, {"Io0x16", 900}, {"Io0x36", 2000},
      {"Io1x4", 1},  {"Io0x6", 5},      {"Io0x18", 0},   {"Io1x22", 1023}};
  for (const auto& [name, value] : stored) scoped.get().writeDword(kKey, name, value);
  scoped.get().writeString(kKey, "Io0x4", ZX_W("1"));
  FakeModel cam(withIo());
  ASSERT_EQ(cam.InitUSB(), S_OK);
  std::vector<std::string> applied;
  for (const IoCall& c : cam.ioCalls())
    applied.push_back(std::to_string(c.index) + "x" + std::to_string(c.type) + "=" +
                      std::to_string(c.value));
  EXPECT_EQ(applied,
            (std::vector<std::string>{"0x6=5", "0x16=900", "1x4=1", "1x22=1023", "1x40=9"}));
  cam.openResult = E_FAIL;
  EXPECT_EQ(cam.InitUSB(), E_FAIL);
  EXPECT_EQ(cam.ioCalls().size(), applied.size());  // a failed open restores nothing
}

}  // namespace
