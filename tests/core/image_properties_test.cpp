// Image and colour properties through the camera interface, on the fake model with a real
// pipeline state: refusals and their order, neutral answers without a state, range edges, black
// balance limits, windows across a processing size, integer vignette forms and the step bits.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "tests/support/fake_model.h"

namespace {

using Call = std::function<HRESULT(BaseImpl&)>;

FakeModelConfig stateConfig(uint64_t flags = 0, uint8_t format = 0) {
  FakeModelConfig config;
  config.flags = flags;
  config.withState = true;
  config.pixelFormat = format;
  return config;
}

struct CallCase {
  const char* name;
  Call call;
  HRESULT hr;
};

void expectAll(BaseImpl& cam, const std::vector<CallCase>& cases) {
  for (const auto& c : cases) EXPECT_EQ(c.call(cam), c.hr) << c.name;
}

// A mono model refuses colour controls before it looks at any pointer.
TEST(ImageProperties, MonoRefusesColourControlsBeforePointers) {
  FakeModel cam(stateConfig(LUMORIX_FLAG_MONO));
  expectAll(
      cam,
      {
          {"put_Hue", [](BaseImpl& m) { return m.put_Hue(0); }, E_NOTIMPL},
          {"get_Hue", [](BaseImpl& m) { return m.get_Hue(nullptr); }, E_NOTIMPL},
          {"put_Saturation", [](BaseImpl& m) { return m.put_Saturation(9); }, E_NOTIMPL},
          {"get_Saturation", [](BaseImpl& m) { return m.get_Saturation(nullptr); }, E_NOTIMPL},
          {"get_Brightness", [](BaseImpl& m) { return m.get_Brightness(nullptr); }, E_NOTIMPL},
          {"put_WhiteBalanceGain", [](BaseImpl& m) { return m.put_WhiteBalanceGain(nullptr); },
           E_NOTIMPL},
          {"get_WhiteBalanceGain", [](BaseImpl& m) { return m.get_WhiteBalanceGain(nullptr); },
           E_NOTIMPL},
          {"get_TempTint", [](BaseImpl& m) { return m.get_TempTint(nullptr, nullptr); }, E_NOTIMPL},
          {"put_WbGainBase", [](BaseImpl& m) { return m.put_WbGainBase(nullptr); }, E_NOTIMPL},
          {"put_Chrome", [](BaseImpl& m) { return m.put_Chrome(0); }, E_NOTIMPL},
          {"get_Chrome null", [](BaseImpl& m) { return m.get_Chrome(nullptr); }, E_POINTER},
      });
  uint32_t grey = 0;
  EXPECT_EQ(cam.get_Chrome(&grey), S_FALSE);
  EXPECT_EQ(grey, 1u);
  EXPECT_EQ(cam.get_IsColor(), 0u);
}

TEST(ImageProperties, NullPointersAreRefused) {
  FakeModel cam(stateConfig(LUMORIX_FLAG_LIGHTFREQ));
  const uint16_t four[4] = {};
  expectAll(
      cam,
      {
          {"put_Rect", [](BaseImpl& m) { return m.put_Rect(nullptr); }, E_POINTER},
          {"put_AERect", [](BaseImpl& m) { return m.put_AERect(nullptr); }, E_POINTER},
          {"put_AWBRect", [](BaseImpl& m) { return m.put_AWBRect(nullptr); }, E_POINTER},
          {"put_ABBRect", [](BaseImpl& m) { return m.put_ABBRect(nullptr); }, E_POINTER},
          {"put_ColorMatrix", [](BaseImpl& m) { return m.put_ColorMatrix(nullptr); }, E_POINTER},
          {"put_WbGainBase", [](BaseImpl& m) { return m.put_WbGainBase(nullptr); }, E_POINTER},
          {"put_BlackBalance", [](BaseImpl& m) { return m.put_BlackBalance(nullptr); }, E_POINTER},
          {"put_WhiteBalanceGain", [](BaseImpl& m) { return m.put_WhiteBalanceGain(nullptr); },
           E_POINTER},
          {"put_LevelRange", [&](BaseImpl& m) { return m.put_LevelRange(four, nullptr); },
           E_POINTER},
          {"get_AERect", [](BaseImpl& m) { return m.get_AERect(nullptr); }, E_POINTER},
          {"get_LightFrequency", [](BaseImpl& m) { return m.get_LightFrequency(nullptr); },
           E_POINTER},
          {"get_VignetteAmountInt", [](BaseImpl& m) { return m.get_VignetteAmountInt(nullptr); },
           E_POINTER},
          {"get_ProcessFlag", [](BaseImpl& m) { return m.get_ProcessFlag(nullptr); }, E_POINTER},
      });
}

// Without a state each getter answers its code and the neutral value a page can show.
TEST(ImageProperties, NeutralAnswersWithoutAState) {
  FakeModelConfig config;
  config.flags = LUMORIX_FLAG_LIGHTFREQ;
  config.withHelper = true;
  FakeModel cam(config);
  struct Case {
    const char* name;
    std::function<HRESULT(BaseImpl&, double&)> get;
    HRESULT hr;
    double value;
  } cases[] = {
      {"Saturation",
       [](BaseImpl& m, double& v) {
         uint32_t x = 7;
         auto hr = m.get_Saturation(&x);
         v = x;
         return hr;
       },
       E_FAIL, 128},
      {"Gamma",
       [](BaseImpl& m, double& v) {
         int32_t x = 7;
         auto hr = m.get_Gamma(&x);
         v = x;
         return hr;
       },
       E_FAIL, 100},
      {"Hue",
       [](BaseImpl& m, double& v) {
         int32_t x = 7;
         auto hr = m.get_Hue(&x);
         v = x;
         return hr;
       },
       E_FAIL, 0},
      {"Brightness",
       [](BaseImpl& m, double& v) {
         int32_t x = 7;
         auto hr = m.get_Brightness(&x);
         v = x;
         return hr;
       },
       E_FAIL, 0},
      {"Contrast",
       [](BaseImpl& m, double& v) {
         int32_t x = 7;
         auto hr = m.get_Contrast(&x);
         v = x;
         return hr;
       },
       E_FAIL, 0},
      {"VignetteAmount",
       [](BaseImpl& m, double& v) {
         v = 7;
         return m.get_VignetteAmount(&v);
       },
       E_UNEXPECTED, 0.0},
      {"VignetteMidPoint",
       [](BaseImpl& m, double& v) {
         v = 7;
         return m.get_VignetteMidPoint(&v);
       },
       E_UNEXPECTED, 0.125},
      {"VignetteMidPointInt",
       [](BaseImpl& m, double& v) {
         int32_t x = 7;
         auto hr = m.get_VignetteMidPointInt(&x);
         v = x;
         return hr;
       },
       E_UNEXPECTED, 7},
      {"LightFrequency",
       [](BaseImpl& m, double& v) {
         uint32_t x = 7;
         auto hr = m.get_LightFrequency(&x);
         v = x;
         return hr;
       },
       S_OK, 2},
      {"ProcessFlag",
       [](BaseImpl& m, double& v) {
         uint32_t x = 7;
         auto hr = m.get_ProcessFlag(&x);
         v = x;
         return hr;
       },
       S_OK, 0},
  };
  for (const auto& c : cases) {
    double value = -1;
    EXPECT_EQ(c.get(cam, value), c.hr) << c.name;
    EXPECT_EQ(value, c.value) << c.name;
  }
  expectAll(
      cam, {
               {"put_Hue", [](BaseImpl& m) { return m.put_Hue(5); }, E_FAIL},
               {"put_Gamma", [](BaseImpl& m) { return m.put_Gamma(50); }, E_FAIL},
               {"put_AutoExpoTarget", [](BaseImpl& m) { return m.put_AutoExpoTarget(99); }, E_FAIL},
               {"put_HFlip", [](BaseImpl& m) { return m.put_HFlip(1); }, E_UNEXPECTED},
               {"put_ProcessFlag", [](BaseImpl& m) { return m.put_ProcessFlag(1); }, E_UNEXPECTED},
           });
}

// One integer property: a setter, a getter and the values either side of its range.
struct Ranged {
  const char* name;
  std::function<HRESULT(BaseImpl&, int64_t)> put;
  std::function<int64_t(BaseImpl&)> get;
  int64_t value;
  HRESULT hr;
};

template <class T, class M>
std::function<int64_t(BaseImpl&)> reader(M method) {
  return [method](BaseImpl& m) {
    T v{};
    (m.*method)(&v);
    return int64_t(v);
  };
}

// Every edge is taken; a refused value leaves the stored one as it was.
TEST(ImageProperties, RangeEdges) {
  const auto hue = [](BaseImpl& m, int64_t v) { return m.put_Hue(int32_t(v)); };
  const auto sat = [](BaseImpl& m, int64_t v) { return m.put_Saturation(uint32_t(v)); };
  const auto bri = [](BaseImpl& m, int64_t v) { return m.put_Brightness(int32_t(v)); };
  const auto con = [](BaseImpl& m, int64_t v) { return m.put_Contrast(int32_t(v)); };
  const auto gam = [](BaseImpl& m, int64_t v) { return m.put_Gamma(int32_t(v)); };
  const auto aet = [](BaseImpl& m, int64_t v) { return m.put_AutoExpoTarget(uint16_t(v)); };
  const auto exp = [](BaseImpl& m, int64_t v) { return m.put_ExpoTime(uint32_t(v)); };
  const auto gai = [](BaseImpl& m, int64_t v) { return m.put_ExpoAGain(uint16_t(v)); };
  const auto lf = [](BaseImpl& m, int64_t v) { return m.put_LightFrequency(uint32_t(v)); };
  const auto rHue = reader<int32_t>(&BaseImpl::get_Hue);
  const auto rSat = reader<uint32_t>(&BaseImpl::get_Saturation);
  const auto rBri = reader<int32_t>(&BaseImpl::get_Brightness);
  const auto rCon = reader<int32_t>(&BaseImpl::get_Contrast);
  const auto rGam = reader<int32_t>(&BaseImpl::get_Gamma);
  const auto rAet = reader<uint16_t>(&BaseImpl::get_AutoExpoTarget);
  const auto rExp = reader<uint32_t>(&BaseImpl::get_ExpoTime);
  const auto rGai = reader<uint16_t>(&BaseImpl::get_ExpoAGain);
  const auto rLf = reader<uint32_t>(&BaseImpl::get_LightFrequency);
  const Ranged cases[] = {
      {"hue", hue, rHue, -181, E_INVALIDARG},
      {"hue", hue, rHue, -180, S_OK},
      {"hue", hue, rHue, 180, S_OK},
      {"hue", hue, rHue, 181, E_INVALIDARG},
      {"sat", sat, rSat, 0, S_OK},
      {"sat", sat, rSat, 255, S_OK},
      {"sat", sat, rSat, 256, E_INVALIDARG},
      {"bri", bri, rBri, -65, E_INVALIDARG},
      {"bri", bri, rBri, -64, S_OK},
      {"bri", bri, rBri, 64, S_OK},
      {"bri", bri, rBri, 65, E_INVALIDARG},
      {"con", con, rCon, -101, E_INVALIDARG},
      {"con", con, rCon, -100, S_OK},
      {"con", con, rCon, 100, S_OK},
      {"con", con, rCon, 101, E_INVALIDARG},
      {"gam", gam, rGam, 19, E_INVALIDARG},
      {"gam", gam, rGam, 20, S_OK},
      {"gam", gam, rGam, 180, S_OK},
      {"gam", gam, rGam, 181, E_INVALIDARG},
      {"aet", aet, rAet, 15, E_INVALIDARG},
      {"aet", aet, rAet, 16, S_OK},
      {"aet", aet, rAet, 16, S_OK},
      {"aet", aet, rAet, 220, S_OK},
      {"aet", aet, rAet, 221, E_INVALIDARG},
      {"aet", aet, rAet, 256 + 16, E_INVALIDARG},
      {"aet", aet, rAet, 256 + 120, E_INVALIDARG},
      {"exp", exp, rExp, 99, E_INVALIDARG},
      {"exp", exp, rExp, 100, S_OK},
      {"exp", exp, rExp, 1000000, S_OK},
      {"exp", exp, rExp, 1000001, E_INVALIDARG},
      {"gain", gai, rGai, 99, E_INVALIDARG},
      {"gain", gai, rGai, 100, S_OK},
      {"gain", gai, rGai, 5000, S_OK},
      {"gain", gai, rGai, 5001, E_INVALIDARG},
      {"lf", lf, rLf, 0, S_OK},
      {"lf", lf, rLf, 2, S_OK},
      {"lf", lf, rLf, 3, E_INVALIDARG},
  };
  FakeModel cam(stateConfig(LUMORIX_FLAG_LIGHTFREQ));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.value));
    const int64_t before = c.get(cam);
    EXPECT_EQ(c.put(cam, c.value), c.hr);
    EXPECT_EQ(c.get(cam), c.hr == S_OK ? c.value : before);
  }
}

// The largest offset is one below the format's limit: the limit itself would wrap to 0 in the
// 8-bit kernels. A grey model has one offset for all three.
TEST(ImageProperties, BlackBalanceLimitsPerFormat) {
  struct Case {
    uint64_t flags;
    uint8_t format;
    uint16_t levels[3];
    HRESULT hr;
  } cases[] = {
      {0, 0, {255, 0, 255}, S_OK},
      {0, 0, {256, 256, 256}, E_INVALIDARG},
      {0, 0, {300, 300, 300}, E_INVALIDARG},
      {LUMORIX_FLAG_RAW12, 0, {256, 0, 0}, E_INVALIDARG},
      {LUMORIX_FLAG_RAW10, 1, {1023, 1023, 0}, S_OK},
      {LUMORIX_FLAG_RAW10, 1, {0, 1024, 0}, E_INVALIDARG},
      {LUMORIX_FLAG_RAW12, 2, {4095, 0, 0}, S_OK},
      {LUMORIX_FLAG_RAW12, 2, {0, 0, 4096}, E_INVALIDARG},
      {LUMORIX_FLAG_RAW14, 3, {16383, 0, 0}, S_OK},
      {LUMORIX_FLAG_RAW14, 3, {16384, 0, 0}, E_INVALIDARG},
      {LUMORIX_FLAG_RAW16, 4, {65535, 65535, 65535}, S_OK},
      {LUMORIX_FLAG_MONO, 0, {40, 40, 40}, S_OK},
      {LUMORIX_FLAG_MONO, 0, {40, 41, 40}, E_INVALIDARG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.flags) + " format " + std::to_string(c.format) + " " +
                 std::to_string(c.levels[0]) + "," + std::to_string(c.levels[1]) + "," +
                 std::to_string(c.levels[2]));
    FakeModel cam(stateConfig(c.flags, c.format));
    EXPECT_EQ(cam.put_BlackBalance(c.levels), c.hr);
    uint16_t read[3] = {9, 9, 9};
    ASSERT_EQ(cam.get_BlackBalance(read), S_OK);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(read[i], c.hr == S_OK ? c.levels[i] : 0);
  }
}

// Windows are kept in processing pixels and read back in delivered ones, so a half-size
// processing frame loses the odd pixel.
TEST(ImageProperties, WindowsReadBackInDeliveredPixels) {
  using Put = HRESULT (BaseImpl::*)(const RECT*);
  using Get = HRESULT (BaseImpl::*)(RECT*);
  struct Case {
    const char* name;
    Put put;
    Get get;
    RECT given, read;
    HRESULT hr;
  } cases[] = {
      {"AE",
       &BaseImpl::put_AERect,
       &BaseImpl::get_AERect,
       {101, 51, 301, 203},
       {100, 50, 300, 202},
       S_OK},
      {"AWB",
       &BaseImpl::put_AWBRect,
       &BaseImpl::get_AWBRect,
       {0, 0, 1024, 770},
       {0, 0, 1024, 770},
       S_OK},
      {"ABB", &BaseImpl::put_ABBRect, &BaseImpl::get_ABBRect, {2, 2, 4, 4}, {2, 2, 4, 4}, S_OK},
      {"all", &BaseImpl::put_Rect, &BaseImpl::get_Rect, {10, 20, 30, 41}, {10, 20, 30, 40}, S_OK},
      {"AE wide",
       &BaseImpl::put_AERect,
       &BaseImpl::get_AERect,
       {0, 0, 1025, 770},
       {},
       E_INVALIDARG},
      {"AWB empty", &BaseImpl::put_AWBRect, &BaseImpl::get_AWBRect, {5, 5, 5, 9}, {}, E_INVALIDARG},
      {"ABB tall",
       &BaseImpl::put_ABBRect,
       &BaseImpl::get_ABBRect,
       {0, 0, 8, 771},
       {},
       E_INVALIDARG},
  };
  FakeModelConfig config = stateConfig();
  config.procWidth = 512, config.procHeight = 385;
  FakeModel cam(config);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RECT before{}, after{};
    ASSERT_EQ((cam.*c.get)(&before), S_OK);
    EXPECT_EQ((cam.*c.put)(&c.given), c.hr);
    ASSERT_EQ((cam.*c.get)(&after), S_OK);
    const RECT want = c.hr == S_OK ? c.read : before;
    EXPECT_EQ(std::vector<int64_t>({after.left, after.top, after.right, after.bottom}),
              std::vector<int64_t>({want.left, want.top, want.right, want.bottom}));
  }
}

TEST(ImageProperties, VignetteIntegerFormsRoundTrip) {
  FakeModel cam(stateConfig());
  int32_t read = -1;
  ASSERT_EQ(cam.get_VignetteMidPointInt(&read), S_OK);
  EXPECT_EQ(read, 50);
  for (int32_t n = -100; n <= 100; ++n) {
    ASSERT_EQ(cam.put_VignetteAmountInt(n), S_OK);
    ASSERT_EQ(cam.get_VignetteAmountInt(&read), S_OK);
    EXPECT_EQ(read, n) << "amount";
  }
  for (int32_t n = 0; n <= 100; ++n) {
    ASSERT_EQ(cam.put_VignetteMidPointInt(n), S_OK);
    ASSERT_EQ(cam.get_VignetteMidPointInt(&read), S_OK);
    EXPECT_EQ(read, n) << "midpoint";
  }
}

// The double handed on is the written formula evaluated in its own order, to the last bit.
TEST(ImageProperties, VignetteIntegerFormsHandOnTheWrittenValue) {
  FakeModel cam(stateConfig());
  double value = 0;
  for (int32_t n = -100; n <= 100; ++n) {
    ASSERT_EQ(cam.put_VignetteAmountInt(n), S_OK);
    ASSERT_EQ(cam.get_VignetteAmount(&value), S_OK);
    EXPECT_EQ(value, n * std::numbers::pi / 180 * 0.6) << "amount " << n;
  }
  for (int32_t n = 0; n <= 100; ++n) {
    ASSERT_EQ(cam.put_VignetteMidPointInt(n), S_OK);
    ASSERT_EQ(cam.get_VignetteMidPoint(&value), S_OK);
    EXPECT_EQ(value, n / 100.0 * 0.25) << "midpoint " << n;
  }
}

// A value that is not a number never reaches a clamp, which would let NaN through.
TEST(ImageProperties, NonFiniteDoublesAreRefused) {
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (const double bad : {kNan, kInf, -kInf}) {
    FakeModel cam(stateConfig());
    ASSERT_EQ(cam.put_VignetteAmount(-40), S_OK);
    ASSERT_EQ(cam.put_VignetteMidPoint(0.2), S_OK);
    EXPECT_EQ(cam.put_VignetteAmount(bad), E_INVALIDARG);
    EXPECT_EQ(cam.put_VignetteMidPoint(bad), E_INVALIDARG);
    double amount = 0, midpoint = 0;
    cam.get_VignetteAmount(&amount), cam.get_VignetteMidPoint(&midpoint);
    EXPECT_EQ(amount, -40);
    EXPECT_EQ(midpoint, 0.2);
    double matrix[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    matrix[4] = bad;
    EXPECT_EQ(cam.put_ColorMatrix(matrix), E_INVALIDARG);
    EXPECT_EQ(cam.fakeHelper()->colourMatrix[4], 0.0);  // nothing copied
  }
}

// Bit 6 belongs to the state: a caller can neither set nor clear it.
TEST(ImageProperties, ProcessFlagKeepsTheStateBit) {
  struct Case {
    uint8_t stored;
    int8_t given;
    uint32_t read;
  } cases[] = {
      {0x00, int8_t(0xFF), 0x3F}, {0x3F, int8_t(0x40), 0x00}, {0x40, int8_t(0xFF), 0xFF},
      {0x40, int8_t(0x01), 0x41}, {0xC0, int8_t(0x00), 0x40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.stored) + " " + std::to_string(uint8_t(c.given)));
    FakeModel cam(stateConfig());
    cam.fakeHelper()->ctx8->settings.stepBits = c.stored;
    EXPECT_EQ(cam.put_ProcessFlag(c.given), S_OK);
    uint32_t read = 0;
    EXPECT_EQ(cam.get_ProcessFlag(&read), S_OK);
    EXPECT_EQ(read, c.read);
  }
}

// The helper keeps the minimum as given (within the model's range); the running floor only rises.
TEST(ImageProperties, AutoExposureMinimumOnlyRaisesTheRunningFloor) {
  struct Case {
    uint32_t us;
    uint16_t percent;
    uint32_t keptUs, floorUs;
    uint16_t keptGain, floorGain;
  } cases[] = {
      {0, 0, 10000, 10000, 100, 100},
      {50, 0, 100, 10000, 100, 100},
      {20000, 300, 20000, 20000, 300, 300},
      {5000, 200, 5000, 20000, 200, 300},
  };
  FakeModel cam(stateConfig());
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.us) + " " + std::to_string(c.percent));
    EXPECT_EQ(cam.put_AutoExpoMinTimeAGain(c.us, c.percent), S_OK);
    uint32_t us = 0;
    uint16_t gain = 0;
    EXPECT_EQ(cam.get_AutoExpoMinTimeAGain(&us, &gain), S_OK);
    EXPECT_EQ(us, c.keptUs);
    EXPECT_EQ(gain, c.keptGain);
    EXPECT_EQ(cam.fakeHelper()->ctx8->aeTimeMin, c.floorUs);
    EXPECT_EQ(cam.fakeHelper()->ctx8->aeGainMin, c.floorGain);
  }
}

// Each model balances one way; the other way's calls are refused and change nothing.
TEST(ImageProperties, WhiteBalanceFollowsTheModelsMode) {
  for (const uint8_t tempTint : {0, 1}) {
    SCOPED_TRACE(int(tempTint));
    FakeModelConfig config = stateConfig();
    config.wbTempTint = tempTint;
    FakeModel cam(config);
    const int32_t gains[3] = {-100, 0, 27};
    int32_t read[3] = {5, 5, 5}, temp = 5, tint = 5;
    EXPECT_EQ(cam.put_WhiteBalanceGain(gains), tempTint ? E_NOTIMPL : S_OK);
    EXPECT_EQ(cam.get_WhiteBalanceGain(read), tempTint ? E_NOTIMPL : S_OK);
    EXPECT_EQ(read[0], tempTint ? 5 : -100);
    EXPECT_EQ(read[2], tempTint ? 5 : 27);
    EXPECT_EQ(cam.put_TempTint(3000, 900), tempTint ? S_OK : E_NOTIMPL);
    EXPECT_EQ(cam.put_TempTint(1999, 900), tempTint ? E_INVALIDARG : E_NOTIMPL);
    EXPECT_EQ(cam.get_TempTint(&temp, nullptr), tempTint ? S_OK : E_NOTIMPL);
    EXPECT_EQ(cam.get_TempTint(nullptr, &tint), tempTint ? S_OK : E_NOTIMPL);
    EXPECT_EQ(temp, tempTint ? 3000 : 5);
    EXPECT_EQ(tint, tempTint ? 900 : 5);
  }
}

}  // namespace
