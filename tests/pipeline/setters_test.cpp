// The helper's setters: result codes at every edge, what reaches the model's hooks, what the state
// keeps, and the negative and output table on the finished frame.
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/lumorix_flags.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/pl_start.h"
#include "pipeline/stages/still.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

using Log = std::vector<std::string>;

// Records every hook the setters reach, in order.
class SetterHelper : public FakeHelper {
 public:
  explicit SetterHelper(uint64_t flags, const WCHAR16* key = nullptr)
      : FakeHelper(helperArgs(key, flags)) {
    timeMin = 100, timeMax = 1000000, timeDefault = 20000;
    gainMin = 100, gainMax = 5000, gainDefault = 200;
    fanMaxSpeed = 3;
  }
  // A state of the model's ranges; procWidth 0 keeps the frame size.
  void makeState(bool high = false, uint32_t procW = 0, uint32_t procH = 0) {
    PLInitParams p = colourParams(frameWidth, frameHeight);
    p.regKey = subKey.empty() ? nullptr : subKey.c_str();
    p.procWidth = procW ? procW : frameWidth, p.procHeight = procH ? procH : frameHeight;
    p.hasCG = hasFlag(LUMORIX_FLAG_CG), p.wbTempTint = wbTempTint;
    p.hasLightFrequency = 1, p.isColour = !hasFlag(LUMORIX_FLAG_MONO);
    p.hasToneMapping = hasToneMapping;
    if (high) {
      p.pixelFormat = 2, p.bitDepthCaps[2] = 1;
      ctx16.reset(PL_Init16(&p));
    } else {
      ctx8.reset(PL_Init(&p));
    }
  }
  PLSettings& settings() { return ctx8 ? ctx8->settings : ctx16->settings; }

  void note(const std::string& s) { log.push_back(s); }
  static std::string rect(const char* n, uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
    return std::string(n) + " " + std::to_string(x) + "," + std::to_string(y) + "," +
           std::to_string(w) + "," + std::to_string(h);
  }
  HRESULT PLHlperSetBlackLevel(uint16_t v) override {
    return note("black " + std::to_string(v)), S_OK;
  }
  HRESULT PLHlperSetCG(uint32_t v) override { return note("cg " + std::to_string(v)), S_OK; }
  HRESULT PLHlperSetExpoTime(uint32_t v) override {
    return note("time " + std::to_string(v)), S_OK;
  }
  HRESULT PLHlperSetExpoAGain(uint16_t v) override {
    return note("gain " + std::to_string(v)), S_OK;
  }
  HRESULT PLHlperSetFan(uint16_t v) override { return note("fan " + std::to_string(v)), S_OK; }
  HRESULT PLHlperSetTEC(uint32_t v) override { return note("tec " + std::to_string(v)), S_OK; }
  void IspSetAERect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) override {
    note(rect("ae", x, y, w, h));
  }
  void IspSetAWBRect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) override {
    note(rect("awb", x, y, w, h));
  }
  void IspSetABBRect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) override {
    note(rect("abb", x, y, w, h));
  }
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override { return *out = sensorWindow, out; }
  bool bIspHasABB() override { return ispAbb; }
  bool PLHlperIsTrigger() override { return trigger; }

  Log log;
  SensorRect sensorWindow{};
  bool ispAbb = false, trigger = false;
};

constexpr uint64_t kCooler = LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC | LUMORIX_FLAG_TECTARGET;

TEST(PipelineSetters, ExposureAndGainRanges) {
  struct Case {
    bool gain, state, trigger;
    uint32_t value;
    HRESULT hr;
    Log log;
  } cases[] = {
      {false, true, false, 100, S_OK, {"time 100"}},  // the model's minimum
      {false, true, false, 99, E_INVALIDARG, {}},
      {false, true, true, 1000000, S_OK, {"time 1000000"}},
      {false, true, false, 1000001, E_INVALIDARG, {}},
      {false, false, false, 5000, E_FAIL, {}},
      {true, true, false, 100, S_OK, {"gain 100"}},
      {true, true, false, 5001, E_INVALIDARG, {}},
      {true, true, false, 99, E_INVALIDARG, {}},
      {true, false, false, 300, E_FAIL, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.gain) + " " + std::to_string(c.value));
    SetterHelper h(0);
    h.trigger = c.trigger;
    if (c.state) h.makeState(), h.ctx8->aeStatus = 3, h.ctx8->aeCallCount = 2;
    EXPECT_EQ(c.gain ? PL_SetExpoAGain(h, uint16_t(c.value)) : PL_SetExpoTime(h, c.value), c.hr);
    EXPECT_EQ(h.log, c.log);
    if (c.hr != S_OK) continue;
    EXPECT_EQ(c.gain ? h.ctx8->curGain : h.ctx8->curTime, c.value);
    EXPECT_EQ(h.ctx8->aeStatus + h.ctx8->aeCallCount, 0u);  // auto exposure starts over
    if (!c.gain) {
      EXPECT_EQ(c.trigger ? h.triggerModeTime : h.videoModeTime, c.value);
    }
  }
}

TEST(PipelineSetters, BlackLevelAndBlackBalanceLimits) {
  constexpr uint64_t kLevel = LUMORIX_FLAG_BLACKLEVEL;
  struct Case {
    uint64_t flags;
    uint8_t format;
    uint32_t level;
    HRESULT levelHr;
    Log log;
    uint16_t offset;
    HRESULT balanceHr;
  } cases[] = {
      {kLevel | LUMORIX_FLAG_RAW12, 0, 496, S_OK, {"black 31"}, 255, S_OK},
      {kLevel | LUMORIX_FLAG_RAW12, 0, 500, E_INVALIDARG, {}, 256, E_INVALIDARG},
      {kLevel | LUMORIX_FLAG_RAW12, 2, 496, S_OK, {"black 496"}, 4095, S_OK},
      {kLevel | LUMORIX_FLAG_RAW12, 2, 0, S_OK, {"black 0"}, 4096, E_INVALIDARG},
      {kLevel | LUMORIX_FLAG_RAW10, 1, 124, S_OK, {"black 124"}, 1024, E_INVALIDARG},
      {kLevel | LUMORIX_FLAG_RAW16, 4, 7936, S_OK, {"black 7936"}, 65535, S_OK},
      {kLevel, 0, 32, E_INVALIDARG, {}, 256, E_INVALIDARG},
      {LUMORIX_FLAG_RAW12, 0, 0, E_NOTIMPL, {}, 0, S_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.flags) + " " + std::to_string(c.level));
    SetterHelper h(c.flags);
    h.pixelFormat = c.format;
    EXPECT_EQ(PL_SetBlackLevel(h, c.level), c.levelHr);
    EXPECT_EQ(h.log, c.log);
    const uint16_t offsets[3] = {1, c.offset, 2};
    EXPECT_EQ(PL_SetBlackBalance(h, offsets), c.balanceHr == S_OK ? E_FAIL : c.balanceHr);
    h.makeState(IsHighBitFormat(c.format));
    EXPECT_EQ(PL_SetBlackBalance(h, offsets), c.balanceHr);
    EXPECT_EQ(h.settings().blackOffset[1], c.balanceHr == S_OK ? c.offset : 0);
  }
}

TEST(PipelineSetters, FanAndCoolerInterplay) {
  struct Case {
    uint64_t flags;
    uint16_t fanBefore;
    bool tec;  // PL_SetTec(value) else PL_SetFan(value)
    uint32_t value;
    HRESULT hr;
    Log log;
    uint32_t tecOnAfter;
  } cases[] = {
      {kCooler, 2, false, 0, S_OK, {"tec 0", "fan 0"}, 0},
      {LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC, 2, false, 0, S_OK, {"fan 0"}, 1},
      {kCooler, 2, false, 4, E_INVALIDARG, {}, 1},
      {kCooler, 0, true, 1, S_OK, {"fan 3", "tec 1"}, 1},
      {kCooler, 1, true, 1, S_OK, {"tec 1"}, 1},
      {LUMORIX_FLAG_TEC, 0, false, 1, E_NOTIMPL, {}, 1},
      {LUMORIX_FLAG_FAN | LUMORIX_FLAG_TEC, 0, true, 1, E_NOTIMPL, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.flags) + (c.tec ? " tec " : " fan ") + std::to_string(c.value));
    SetterHelper h(c.flags);
    h.fanSpeed = c.fanBefore;
    EXPECT_EQ(c.tec ? PL_SetTec(h, c.value) : PL_SetFan(h, uint16_t(c.value)), c.hr);
    EXPECT_EQ(h.log, c.log);
    EXPECT_EQ(h.tecOn, c.tecOnAfter);
  }
}

TEST(PipelineSetters, ConversionGainAndRotationBits) {
  using namespace PLProcessFlags;
  struct Case {
    uint64_t flags;
    bool state;
    uint8_t value;
    HRESULT hr;
    Log log;
    uint32_t bits;
  } cases[] = {
      {LUMORIX_FLAG_CG, true, 1, S_OK, {"cg 1"}, kCgBit0},
      {LUMORIX_FLAG_CG, true, 2, S_OK, {"cg 2"}, kCgBit1},
      {LUMORIX_FLAG_CG, true, 0, S_OK, {"cg 0"}, 0},
      {LUMORIX_FLAG_CG, false, 2, S_OK, {"cg 2"}, 0},  // the device still hears it
      {0, true, 1, E_NOTIMPL, {}, kCgMask},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.value));
    SetterHelper h(c.flags);
    if (c.state) h.makeState(), h.settings().processFlags |= kCgMask;
    EXPECT_EQ(PL_SetCG(h, c.value), c.hr);
    EXPECT_EQ(h.log, c.log);
    if (c.state) {
      EXPECT_EQ(h.settings().processFlags & kCgMask, c.bits);
    }
    EXPECT_EQ(PL_GetCG(h), c.state && c.flags ? c.value : 0);
  }
  SetterHelper h(0);
  EXPECT_EQ(PL_SetRotate(h, 90), E_UNEXPECTED);
  h.makeState(true);
  const std::tuple<uint32_t, HRESULT, uint32_t> turns[] = {
      {90, S_OK, kRotate90}, {90, S_FALSE, kRotate90}, {270, S_OK, kRotate270},
      {45, S_OK, 0},         {45, S_FALSE, 0},         {180, S_OK, kRotate180},
  };
  for (const auto& [degrees, hr, bits] : turns) {
    EXPECT_EQ(PL_SetRotate(h, degrees), hr) << degrees;
    EXPECT_EQ(h.settings().processFlags & kRotateMask, bits) << degrees;
  }
}

TEST(PipelineSetters, WindowsAreCheckedScaledAndPushedWithMirroredRows) {
  struct Case {
    const char* name;
    uint32_t frameW, frameH, procW, procH;
    RECT rect;
    HRESULT hr;
    ImageRect px;
  } cases[] = {
      {"whole frame", 640, 480, 640, 480, {0, 0, 640, 480}, S_OK, {0, 0, 640, 480}},
      {"right past", 640, 480, 640, 480, {0, 0, 641, 480}, E_INVALIDARG, {}},
      {"bottom past", 640, 480, 640, 480, {0, 0, 640, 481}, E_INVALIDARG, {}},
      {"empty", 640, 480, 640, 480, {10, 10, 10, 20}, E_INVALIDARG, {}},
      {"negative", 640, 480, 640, 480, {-2, 0, 10, 20}, E_INVALIDARG, {}},
      {"half size", 640, 480, 320, 240, {64, 48, 640, 480}, S_OK, {32, 24, 320, 240}},
      {"64-bit scale", 60000, 8, 50000, 8, {30000, 0, 60000, 8}, S_OK, {25000, 0, 50000, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetterHelper h(0);
    h.frameWidth = c.frameW, h.frameHeight = c.frameH;
    EXPECT_EQ(PL_SetAERect(h, c.rect), E_INVALIDARG);  // no state
    h.makeState(false, c.procW, c.procH);
    const ImageRect before = h.ctx8->awbRectPx;
    EXPECT_EQ(PL_SetAERect(h, c.rect), c.hr);
    const ImageRect& ae = h.ctx8->aeRectPx;
    if (c.hr == S_OK) {
      EXPECT_EQ(std::tie(ae.left, ae.top, ae.right, ae.bottom),
                std::tie(c.px.left, c.px.top, c.px.right, c.px.bottom));
    }
    EXPECT_EQ(h.ctx8->awbRectPx.right, before.right);  // the others stay
  }
  struct Push {
    SensorRect sensor;
    bool abb;
    Log log;
  } pushes[] = {
      {{}, false, {"awb 100,330,200,100", "ae 100,330,200,100"}},
      {{64, 32, 576, 432}, true, {"awb 36,298,200,100", "ae 36,298,200,100", "abb 36,298,200,100"}},
      {{128, 32, 576, 432}, true, {}},  // left of the sensor window
      {{64, 0, 576, 400}, true, {}},    // inside as rows from the top, outside once mirrored
  };
  const RECT r{100, 50, 300, 150};
  for (const auto& p : pushes) {
    SetterHelper h(LUMORIX_FLAG_ISP);
    h.sensorWindow = p.sensor, h.ispAbb = p.abb;
    h.makeState();
    EXPECT_EQ(PL_SetAllRect(h, &r), S_OK);
    EXPECT_EQ(h.log, p.log);
  }
  SetterHelper h(LUMORIX_FLAG_ISP);
  h.makeState();
  EXPECT_EQ(PL_SetAllRect(h, nullptr), E_INVALIDARG);
  EXPECT_EQ(PL_SetABBRect(h, r), S_OK);  // the processor takes no ABB window
  EXPECT_EQ(PL_SetAWBRect(h, r), S_OK);
  EXPECT_EQ(h.log, Log{"awb 100,330,200,100"});
}

class PipelineSettersStored : public RegistryTest {};

TEST_F(PipelineSettersStored, WhiteBalanceAeMaximumAndMains) {
  SetterHelper rgb(0, cameraKeyWide());
  rgb.wbTempTint = 0;
  const int32_t gains[3] = {200, 0, -200};
  EXPECT_EQ(PL_SetWhiteBalanceGain(rgb, gains), E_FAIL);
  EXPECT_EQ(PL_SetWhiteBalanceTempTint(rgb, 3000, 1000), E_NOTIMPL);
  rgb.makeState();
  EXPECT_EQ(PL_SetWhiteBalanceGain(rgb, gains), S_OK);
  EXPECT_EQ(rgb.ctx8->wbGain, (std::array<uint32_t, 3>{255, 128, 1}));
  EXPECT_EQ(std::make_tuple(get("WBGainR"), get("WBGainG"), int32_t(get("WBGainB"))),
            std::make_tuple(127u, 0u, -127));

  SetterHelper temp(0, cameraKeyWide());
  EXPECT_EQ(PL_SetWhiteBalanceGain(temp, gains), E_NOTIMPL);
  temp.makeState();
  const std::pair<int32_t, int32_t> outside[] = {
      {1999, 1000}, {15001, 1000}, {6500, 199}, {6500, 2501}};
  for (const auto& [t, tint] : outside)
    EXPECT_EQ(PL_SetWhiteBalanceTempTint(temp, t, tint), E_INVALIDARG) << t << " " << tint;
  EXPECT_EQ(PL_SetWhiteBalanceTempTint(temp, 3000, 1100), S_OK);
  EXPECT_EQ(std::make_tuple(get("WhiteBalanceTemp"), get("WhiteBalanceTint")),
            std::make_tuple(3000u, 1100u));
  EXPECT_GT(temp.ctx8->wbGain[2], temp.ctx8->wbGain[0]);  // warm light: blue raised over red

  const std::tuple<uint32_t, uint16_t, uint32_t, uint16_t> maxima[] = {
      {0, 0, 350000, 500},
      {99, 99, 350000, 500},
      {2000000, 5000, 1000000, 5000},
      {20000, 300, 20000, 300}};
  for (const auto& [t, g, wantT, wantG] : maxima) {
    EXPECT_EQ(PL_SetAeMax(temp, t, g), S_OK);
    EXPECT_EQ(std::tie(temp.aeMaxTime, temp.aeMaxGain), std::tie(wantT, wantG)) << t;
    EXPECT_EQ(std::tie(temp.ctx8->aeTimeMax, temp.ctx8->aeGainMax), std::tie(wantT, wantG)) << t;
  }

  SetterHelper mains(0);
  EXPECT_EQ(PL_SetLightFrquency(mains, 1), S_OK);  // no state
  EXPECT_EQ(PL_SetLightFrquency(mains, 3), E_INVALIDARG);
  mains.makeState();
  mains.settings().expoTime = 14000;
  mains.appliedTime = 14000;
  EXPECT_EQ(PL_SetLightFrquency(mains, 1), S_OK);  // 50 Hz: a manual time snaps to 10 ms
  EXPECT_EQ(PL_SetLightFrquency(mains, 1), S_OK);
  mains.settings().aeEnable = 1;
  EXPECT_EQ(PL_SetLightFrquency(mains, 0), S_OK);  // auto exposure snaps on its own
  EXPECT_EQ(mains.log, Log{"time 10000"});
}

TEST(PipelineSetters, CalibrationStatusWords) {
  struct Case {
    const char* name;
    uint32_t value;
    bool valid, running;
    HRESULT hr;
    uint8_t enable, frames, request;
    bool notice;
  } cases[] = {
      {"frames 5", 0xFF000005u, false, false, S_OK, 1, 5, 0, false},
      {"frames 0", 0xFF000000u, false, false, E_INVALIDARG, 1, 7, 0, false},
      {"frames 256", 0xFF000100u, false, false, E_INVALIDARG, 1, 7, 0, false},
      {"on without data", 1, false, false, E_UNEXPECTED, 1, 7, 0, false},
      {"on", 1, true, false, S_OK, 1, 7, 0, false},
      {"off", 0, true, false, S_OK, 0, 7, 0, false},
      {"other", 2, true, false, E_INVALIDARG, 1, 7, 0, false},
      {"discard nothing", 0xFFFFFFFFu, false, false, S_FALSE, 1, 0, 0, false},
      {"discard a run", 0xFFFFFFFFu, false, true, S_FALSE, 1, 0, 0, false},
      {"discard data", 0xFFFFFFFFu, true, false, S_OK, 0, 0, 0, true},
      {"a second run counts afresh", 0xFF000002u, true, true, S_OK, 1, 2, 1, false},
  };
  for (const bool dark : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (dark ? " dark" : " flat"));
      SetterHelper h(0);
      struct Notices {
        SetterHelper* h;
        int count = 0, underTheState = 0;  // a host restart from there would wait for itself
      } notices{&h};
      (dark ? h.onDfcDone : h.onFfcDone) = [](void* n) {
        auto& seen = *static_cast<Notices*>(n);
        ++seen.count;
        seen.underTheState += seen.h->stateLock().heldSharedHere() ? 1 : 0;
      };
      (dark ? h.onDfcDoneCtx : h.onFfcDoneCtx) = &notices;
      EXPECT_EQ(dark ? PL_SetDfcStatus(h, 1) : PL_SetFfcStatus(h, 1), E_UNEXPECTED);
      ASSERT_TRUE(PLInit(h, nullptr, 0, 0));
      PLContext& x = *h.ctx8;
      x.hotPixels = {{1, 1}};
      (dark ? x.dfcEnable : x.ffcEnable) = 1, (dark ? x.dfcValid : x.ffcValid) = c.valid;
      (dark ? x.dfcFrames : x.ffcFrames) = 7;
      (dark ? x.dfcCount : x.ffcCount) = 7;  // as the session's earlier run ended
      if (c.running) {
        EXPECT_EQ(dark ? PL_DfcOnePush(h) : PL_FfcOnePush(h), S_OK);
      }
      EXPECT_EQ(dark ? PL_SetDfcStatus(h, c.value) : PL_SetFfcStatus(h, c.value), c.hr);
      EXPECT_EQ(dark ? x.dfcEnable : x.ffcEnable, c.enable);
      EXPECT_EQ(dark ? x.dfcFrames : x.ffcFrames, c.frames);
      EXPECT_EQ(dark ? x.dfcRequest : x.ffcRequest, c.request);
      EXPECT_EQ(notices.count, c.notice ? 1 : 0);
      EXPECT_EQ(notices.underTheState, 0) << "the notice ran inside the state's hold";
      EXPECT_EQ(x.hotPixels.empty(), dark && c.value == 0xFFFFFFFFu);
      if (!c.request) continue;
      std::vector<uint8_t> raw(size_t(x.procWidth) * x.procHeight, 9);
      PL_ProcessRaw8(&x, raw.data(), nullptr, nullptr, nullptr, 1, false);
      EXPECT_EQ(dark ? x.dfcRequest : x.ffcRequest, 1) << "one frame of two taken";
    }
  }
  SetterHelper h(0);
  h.makeState(false, 320, 240);
  h.ctx8->ffcSum.assign(4, 9);
  EXPECT_EQ(PL_FfcOnePush(h), S_OK);
  EXPECT_EQ(std::tie(h.ctx8->ffcFrames, h.ctx8->ffcRequest),
            std::make_tuple(uint8_t{1}, uint8_t{1}));
  EXPECT_EQ(h.ctx8->ffcSum, std::vector<uint32_t>(320 * 240, 0));
}

TEST(PipelineSetters, AutomaticLevelCuts) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, float>> bins;  // luminance and R, G, B alike
    std::vector<std::pair<int, float>> red;   // replaces R when given
    uint8_t low, high;
  } cases[] = {
      {"all in 128", {{128, 1.0f}}, {}, 0, 255},  // one bin is no range: the whole one
      {"no statistics", {}, {}, 0, 255},
      {"uniform", {}, {}, 2, 253},
      {"red wider", {{60, 0.5f}, {180, 0.5f}}, {{20, 0.5f}, {200, 0.5f}}, 20, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetterHelper h(0);
    EXPECT_EQ(PL_AutoLevelRange(h), E_UNEXPECTED);
    h.makeState();
    auto& stats = h.ctx8->statsF;
    for (auto& a : stats) a.fill(std::string(c.name) == "uniform" ? 1.0f / 256 : 0.0f);
    for (auto& a : stats)
      for (const auto& [bin, share] : c.bins) a[size_t(bin)] = share;
    if (!c.red.empty()) {
      stats[1].fill(0);
      for (const auto& [bin, share] : c.red) stats[1][size_t(bin)] = share;
    }
    EXPECT_EQ(PL_AutoLevelRange(h), S_OK);
    for (int n = 0; n < 4; ++n)
      EXPECT_EQ(std::tie(h.settings().levelLow[n], h.settings().levelHigh[n]),
                std::tie(c.low, c.high));
  }
}

// One frame of a busy 64x48 state through the preview or the still path.
template <typename S>
std::vector<S> finishedFrame(SetterHelper& h, bool still) {
  auto& c = [&]() -> PLContextT<S>& {
    if constexpr (sizeof(S) == 1)
      return *h.ctx8;
    else
      return *h.ctx16;
  }();
  auto raw = rawFrame<S>(64, 48, c.bitDepth);
  std::vector<S> out(frameSamples<S>(64, 48), 0);
  if constexpr (sizeof(S) == 1) {
    if (still)
      stages::PL_ProcessStill8(&c, raw.data(), out.data(), out.size(), 24, 64, 48, 64, 48);
    else
      PL_ProcessRaw8(&c, raw.data(), out.data(), nullptr, nullptr, 1, false);
  } else {
    PL_ProcessRaw16(&c, raw.data(), nullptr, out.data(), nullptr, 1, 0);
  }
  return out;
}

template <typename S>
void expectNegativeThenTable(bool still) {
  SetterHelper h(0);
  h.frameWidth = 64, h.frameHeight = 48;
  h.hasToneMapping = 1;  // the tone step runs first
  h.makeState(sizeof(S) == 2);
  auto& c = *[&] {
    if constexpr (sizeof(S) == 1)
      return h.ctx8.get();
    else
      return h.ctx16.get();
  }();
  makeBusy(c, false);
  const uint32_t max = c.tableMax();
  const auto plain = finishedFrame<S>(h, still);
  // A halving table, freed at once: every later frame must read the state's copy.
  auto table = std::make_unique<S[]>(max + 1);
  for (uint32_t v = 0; v <= max; ++v) table[v] = S(v / 2);
  if constexpr (sizeof(S) == 1)
    PL_SetOutputLut(h, table.get(), nullptr);
  else
    PL_SetOutputLut(h, nullptr, table.get());
  table.reset();
  h.settings().processFlags |= PLProcessFlags::kNegative;
  const auto turned = finishedFrame<S>(h, still);
  const size_t row = kernels::rowStride<S>(3, 64), n = 64 * 3;
  for (size_t y = 0; y < 48; ++y)
    for (size_t i = 0; i < n; ++i)
      ASSERT_EQ(turned[y * row + i], S((max - plain[y * row + i]) / 2)) << y << " " << i;
}

TEST(PipelineSetters, NegativeThenOutputTableEndEveryPath) {
  expectNegativeThenTable<uint8_t>(false);
  expectNegativeThenTable<uint8_t>(true);
  expectNegativeThenTable<uint16_t>(false);
}

// Host threads set while frames run: every frame step reads what it needs under the lock.
TEST(PipelineSetters, SettersRaceFrames) {
  SetterHelper h(0);
  h.frameWidth = 64, h.frameHeight = 48;
  h.makeState(true);
  PLContext16& c = *h.ctx16;
  c.aeMarkWindow = 1;
  std::atomic<bool> done{false};
  std::thread host([&] {
    for (uint32_t i = 0; !done; ++i) {
      PL_SetRotate(h, i % 2 ? 180 : 0);
      PL_SetAERect(h, RECT{int32_t(i % 8), 0, 32, 24});
      PL_SetWhiteBalanceTempTint(h, 3000 + int32_t(i % 100), 1000);
      std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
      c.settings.mirror = i % 4;
      c.settings.processFlags ^= PLProcessFlags::kNegative;
    }
  });
  for (int frame = 0; frame < 20; ++frame) finishedFrame<uint16_t>(h, false);
  done = true;
  host.join();
}

// Each row of the matrix the state takes is noted as the identity's or not, to within 2^-23.
TEST(PipelineSetters, TheColourMatrixNotesItsIdentityRows) {
  constexpr double kNear = 1.0 / (1 << 24), kFar = 1.0 / (1 << 22);
  using Notes = std::array<uint8_t, 3>;
  const struct {
    const char* name;
    uint8_t on;
    std::array<double, 9> m;
    Notes notes;
    uint8_t matrixOn;
  } rows[] = {
      {"the identity", 1, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 1, 1}, 1},
      {"switched off: the identity", 0, {1.3, -0.2, -0.1, 0, 1, 0, 0, 0, 1}, {1, 1, 1}, 1},
      {"within the tolerance", 1, {1 + kNear, 0, 0, 0, 1, -kNear, 0, 0, 1}, {1, 1, 1}, 1},
      {"beyond it", 1, {1, kFar, 0, 0, 1, 0, 0, 0, 1 - kFar}, {0, 1, 0}, 1},
      {"scaled to the identity", 1, {2, 0, 0, 0, 1, 0, 0, 0, 0.5}, {1, 1, 1}, 1},
      {"mixing rows", 1, {1.3, -0.2, -0.1, 0, 1, 0, 0.05, -0.3, 1.25}, {0, 1, 0}, 1},
      {"no matrix: the state's stays", 1, {0, 0, 0, 0, 1.3, 0, 0, 0, 1}, {1, 1, 1}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SetterHelper h(0);
    h.makeState();
    h.hasColourMatrix = row.on, h.colourMatrix = row.m;
    PL_SetColorMatrix(h);
    EXPECT_EQ(h.ctx8->colourRowIsIdentity, row.notes);
    EXPECT_EQ(h.ctx8->colourMatrixOn, row.matrixOn);
  }
}

TEST(PipelineSetters, HostTablesAreCopiesAndFollowNewStates) {
  SetterHelper h(LUMORIX_FLAG_RAW12 | (uint64_t{1} << 31));
  auto tone = std::make_unique<uint16_t[]>(4096);
  for (uint32_t v = 0; v < 4096; ++v) tone[v] = uint16_t(4095 - v);
  EXPECT_EQ(PL_SetToneCurveTable(h, nullptr, tone.get()), S_OK);  // no state yet: kept
  tone.reset();
  h.pixelFormat = 2;
  ASSERT_TRUE(PLInit(h, nullptr, 0, 0));
  const auto held = SnapshotTables(*h.ctx16).cameraTone;
  ASSERT_TRUE(held);
  EXPECT_EQ(held->lut.size(), 4096u);
  EXPECT_EQ(std::make_pair(held->lut[0], held->lut[4095]),
            std::make_pair(uint16_t{4095}, uint16_t{0}));
  EXPECT_EQ(PL_SetToneCurveTable(h, nullptr, nullptr), S_OK);  // null removes it
  EXPECT_FALSE(SnapshotTables(*h.ctx16).cameraTone);
  EXPECT_TRUE(h.toneTable16.empty());
}

}  // namespace
}  // namespace zxtest
