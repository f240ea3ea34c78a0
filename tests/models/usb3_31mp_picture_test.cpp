// The picture of the USB3 3.1 MP camera on its simulated chart at 1024 x 770, AE off, answering
// each image property set through the camera interface; and its sensor and auto exposure.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_settings.h"
#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "tests/models/model_rig.h"
#include "tests/support/stream_rig.h"

namespace {

using stream_rig::kChart;
using stream_rig::Rgb;
using testing_models::ModelRig;

constexpr uint32_t kPreview = 1;  // 1024 x 770
constexpr uint32_t kW = 1024, kH = 770;
constexpr uint32_t kInFlight = 4;  // raw records and the frame being converted
constexpr int kPatchHalf = 6;      // a patch is read as the mean of 13 x 13 pixels

// One pulled frame and what the rows read from it.
struct Picture {
  std::vector<uint8_t> dib;
  // The mean colour of a patch, or of a square of pixels counted from the top left.
  Rgb at(uint32_t x, uint32_t y) const {
    int sum[3] = {};
    for (int dy = -kPatchHalf; dy <= kPatchHalf; ++dy)
      for (int dx = -kPatchHalf; dx <= kPatchHalf; ++dx) {
        const Rgb p =
            stream_rig::PixelAt(dib, kW, kH, uint32_t(int(x) + dx), uint32_t(int(y) + dy));
        sum[0] += p.r, sum[1] += p.g, sum[2] += p.b;
      }
    const int n = (2 * kPatchHalf + 1) * (2 * kPatchHalf + 1);
    return Rgb{(sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n};
  }
  Rgb patch(uint32_t col, uint32_t row) const {
    return at(stream_rig::PatchX(col, kW), stream_rig::PatchY(row, kH));
  }
  double centre() const { return stream_rig::CentreMean(dib, kW, kH); }
};

int Mean(Rgb c) {
  return (c.r + c.g + c.b) / 3;
}
int Chroma(Rgb c) {
  return std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b});
}
constexpr uint32_t kRed[2] = {0, 0}, kWhite[2] = {3, 0}, kGrey[2] = {3, 1};

// Opens the camera behind a prefix and streams through the pin's pull at 1024 x 770, AE off.
class PictureRig {
 public:
  // By default the model's default exposure shows the chart as made.
  explicit PictureRig(WCHAR16 prefix, sim::ContentKind content = sim::ContentKind::Chart,
                      uint32_t referenceUs = 94000) {
    rig_.device().setFramePeriodMs(5);
    scene_.referenceExposureUs = referenceUs;
    rig_.device().setContent(content, scene_);
    cam_ = rig_.open(prefix);
    if (!cam_ || cam_->put_eSize(kPreview) != S_OK || cam_->start() != S_OK) cam_ = nullptr;
    if (cam_) cam_->put_AutoExpoEnable(0);
  }
  ~PictureRig() {
    if (cam_) cam_->stop();
  }
  bool ok() const { return cam_ != nullptr; }
  ILumorix& cam() { return *cam_; }
  ModelRig& rig() { return rig_; }
  const sim::SceneOptions& scene() const { return scene_; }

  // The frame after those exposed or converted before now.
  Picture next() {
    Picture p{std::vector<uint8_t>(size_t{DibRowBytes(24, kW)} * kH)};
    EXPECT_EQ(stream_rig::Puller(*cam_).pull(p.dib, kInFlight + 1), kInFlight + 1);
    return p;
  }

 private:
  ModelRig rig_{testing_models::RigOptions{.realTime = true}};
  sim::SceneOptions scene_ = sim::Usb3Mp31Family::sceneOptions();
  BaseImpl* cam_ = nullptr;
};

using Change = std::function<HRESULT(ILumorix&)>;
using Check = std::function<void(PictureRig&, const Picture& before, const Picture& after)>;

struct PictureRow {
  const char* name;
  Change apply, restore;
  Check check;
  Change baseline = nullptr;  // set before the first picture and kept: a darker start
  WCHAR16 prefix = ZX_W('!');
};
void PrintTo(const PictureRow& row, std::ostream* os) {
  *os << row.name;
}

// Every patch's channels that should be dark read at most `most`.
void ExpectOffChannelsAtMost(const Picture& p, int most) {
  for (uint32_t row = 0; row < 2; ++row)
    for (uint32_t col = 0; col < 4; ++col) {
      const Rgb c = p.patch(col, row);
      const stream_rig::ChartPatch& want = kChart[row][col];
      if (!want.r) {
        EXPECT_LE(c.r, most) << want.name;
      }
      if (!want.g) {
        EXPECT_LE(c.g, most) << want.name;
      }
      if (!want.b) {
        EXPECT_LE(c.b, most) << want.name;
      }
    }
}

void ExpectNegative(const Picture& before, const Picture& after) {
  for (uint32_t row = 0; row < 2; ++row)
    for (uint32_t col = 0; col < 4; ++col) {
      const Rgb b = before.patch(col, row), a = after.patch(col, row);
      EXPECT_NEAR(a.r, 255 - b.r, 3) << kChart[row][col].name;
      EXPECT_NEAR(a.g, 255 - b.g, 3) << kChart[row][col].name;
      EXPECT_NEAR(a.b, 255 - b.b, 3) << kChart[row][col].name;
    }
}

int ColourChroma(const Picture& p) {
  int sum = 0;
  for (uint32_t row = 0; row < 2; ++row)
    for (uint32_t col = 0; col < 3; ++col) sum += Chroma(p.patch(col, row));
  return sum;
}

// Corner over centre brightness.
double CornerShare(const Picture& p) {
  return (Mean(p.at(12, 12)) + 1) / (p.centre() + 1);
}

const uint8_t* InvertingTable() {
  static const std::array<uint8_t, 256> table = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[size_t(i)] = uint8_t(255 - i);
    return t;
  }();
  return table.data();
}

HRESULT SetTempTint(ILumorix& c, int32_t temp) {
  int32_t t = 0, tint = 0;
  const HRESULT hr = c.get_TempTint(&t, &tint);
  return FAILED(hr) ? hr : c.put_TempTint(temp, tint);
}

const uint16_t kLow[4] = {60, 60, 60, 60}, kHigh[4] = {200, 200, 200, 200};
const uint16_t kFullLow[4] = {0, 0, 0, 0}, kFullHigh[4] = {255, 255, 255, 255};
const int32_t kWbRedDown[3] = {-100, 0, 0}, kWbNeutral[3] = {0, 0, 0};
// Red and blue rows swapped; a matrix whose first entry is not positive is not taken.
const double kSwapRedBlue[9] = {0.01, 0, 0.99, 0, 1, 0, 0.99, 0, 0.01};
const uint16_t kBlack60[3] = {60, 60, 60}, kBlack0[3] = {0, 0, 0};

// Brightness scales each level, so only the unsaturated grey patch can show it.
int GreyMean(const Picture& p) {
  return Mean(p.patch(kGrey[0], kGrey[1]));
}

// The dominant channel of the red patch: 0 red, 1 green, 2 blue.
int RedPatchTurnsTo(const Picture& p) {
  const Rgb c = p.patch(kRed[0], kRed[1]);
  const int v[3] = {c.r, c.g, c.b};
  const int top = int(std::max_element(v, v + 3) - v);
  for (int k = 0; k < 3; ++k)
    if (k != top && v[k] + 30 > v[top]) return -1;
  return top;
}

const PictureRow kRows[] = {
    {"BrightnessUp", [](ILumorix& c) { return c.put_Brightness(64); },
     [](ILumorix& c) { return c.put_Brightness(0); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       EXPECT_GE(GreyMean(a), GreyMean(b) + 20);
     }},
    {"BrightnessDown", [](ILumorix& c) { return c.put_Brightness(-64); },
     [](ILumorix& c) { return c.put_Brightness(0); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       EXPECT_LE(GreyMean(a), GreyMean(b) - 20);
     }},
    // Contrast turns the levels about mid-grey: from a dimmer start, white and grey move apart.
    {"Contrast", [](ILumorix& c) { return c.put_Contrast(100); },
     [](ILumorix& c) { return c.put_Contrast(0); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       const auto spread = [](const Picture& p) {
         return Mean(p.patch(kWhite[0], kWhite[1])) - GreyMean(p);
       };
       EXPECT_GE(spread(a), spread(b) + 20);
     },
     [](ILumorix& c) { return c.put_ExpoTime(60000); }},
    // The tone curve raises each level to gamma / 100: 20 lifts the grey, 180 sinks it.
    {"Gamma", [](ILumorix& c) { return c.put_Gamma(20); },
     [](ILumorix& c) { return c.put_Gamma(100); },
     [](PictureRig& rig, const Picture& b, const Picture& a) {
       const int grey = Mean(b.patch(kGrey[0], kGrey[1]));
       EXPECT_GT(Mean(a.patch(kGrey[0], kGrey[1])), grey + 10);
       ASSERT_EQ(rig.cam().put_Gamma(180), S_OK);
       EXPECT_LT(Mean(rig.next().patch(kGrey[0], kGrey[1])), grey - 10);
     }},
    {"SaturationZero", [](ILumorix& c) { return c.put_Saturation(0); },
     [](ILumorix& c) { return c.put_Saturation(128); },
     [](PictureRig&, const Picture&, const Picture& a) {
       for (uint32_t row = 0; row < 2; ++row)
         for (uint32_t col = 0; col < 4; ++col)
           EXPECT_LE(Chroma(a.patch(col, row)), 6) << kChart[row][col].name;
     }},
    {"SaturationFull", [](ILumorix& c) { return c.put_Saturation(255); },
     [](ILumorix& c) { return c.put_Saturation(64); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       EXPECT_GT(ColourChroma(a), ColourChroma(b) + 60);
     },
     [](ILumorix& c) { return c.put_Saturation(64); }},
    // The two turns rotate the red patch to green and to blue, one each.
    {"Hue", [](ILumorix& c) { return c.put_Hue(120); }, [](ILumorix& c) { return c.put_Hue(0); },
     [](PictureRig& rig, const Picture&, const Picture& a) {
       const int plus = RedPatchTurnsTo(a);
       ASSERT_EQ(rig.cam().put_Hue(-120), S_OK);
       const int minus = RedPatchTurnsTo(rig.next());
       EXPECT_EQ(std::min(plus, minus), 1);
       EXPECT_EQ(std::max(plus, minus), 2);
     }},
    {"Chrome", [](ILumorix& c) { return c.put_Chrome(1); },
     [](ILumorix& c) { return c.put_Chrome(0); },
     [](PictureRig&, const Picture&, const Picture& a) {
       for (uint32_t row = 0; row < 2; ++row)
         for (uint32_t col = 0; col < 4; ++col) EXPECT_EQ(Chroma(a.patch(col, row)), 0);
     }},
    {"Negative", [](ILumorix& c) { return c.put_Negative(1); },
     [](ILumorix& c) { return c.put_Negative(0); },
     [](PictureRig&, const Picture& b, const Picture& a) { ExpectNegative(b, a); }},
    {"HFlip", [](ILumorix& c) { return c.put_HFlip(1); },
     [](ILumorix& c) { return c.put_HFlip(0); },
     [](PictureRig&, const Picture&, const Picture& a) {
       const Rgb right = a.patch(3, 0);
       EXPECT_GT(right.r, std::max(right.g, right.b) + 40) << "red at the top right";
     }},
    {"VFlip", [](ILumorix& c) { return c.put_VFlip(1); },
     [](ILumorix& c) { return c.put_VFlip(0); },
     [](PictureRig&, const Picture&, const Picture& a) {
       const Rgb low = a.patch(0, 1);
       EXPECT_GT(low.r, std::max(low.g, low.b) + 40) << "red at the bottom left";
     }},
    {"LevelRange", [](ILumorix& c) { return c.put_LevelRange(kLow, kHigh); },
     [](ILumorix& c) { return c.put_LevelRange(kFullLow, kFullHigh); },
     [](PictureRig&, const Picture&, const Picture& a) { ExpectOffChannelsAtMost(a, 5); }},
    // The automatic range reads the statistics of a frame the host asked for. From a third of the
    // chart's exposure it spreads the picture over the whole scale: every channel of every patch
    // grows by 255 over the brightest one, and what is dark stays dark.
    {"LevelRangeAuto", [](ILumorix& c) { return c.GetHistogram(nullptr, nullptr); },
     [](ILumorix& c) { return c.put_LevelRange(kFullLow, kFullHigh); },
     [](PictureRig& rig, const Picture& b, const Picture&) {
       ASSERT_EQ(rig.cam().LevelRangeAuto(), S_OK);
       const Picture a = rig.next();
       int top = 0;
       for (uint32_t row = 0; row < 2; ++row)
         for (uint32_t col = 0; col < 4; ++col)
           top = std::max({top, b.patch(col, row).r, b.patch(col, row).g, b.patch(col, row).b});
       ASSERT_LT(top, 160) << "a start that leaves room to stretch";
       const auto stretched = [&](int v) { return v * 255.0 / top; };
       for (uint32_t row = 0; row < 2; ++row)
         for (uint32_t col = 0; col < 4; ++col) {
           const Rgb x = b.patch(col, row), y = a.patch(col, row);
           EXPECT_NEAR(y.r, stretched(x.r), 6) << kChart[row][col].name;
           EXPECT_NEAR(y.g, stretched(x.g), 6) << kChart[row][col].name;
           EXPECT_NEAR(y.b, stretched(x.b), 6) << kChart[row][col].name;
         }
     },
     [](ILumorix& c) { return c.put_ExpoTime(30000); }},
    {"Vignette",
     [](ILumorix& c) {
       const HRESULT hr = c.put_VignetteAmountInt(-100);
       return FAILED(hr) ? hr : c.put_VignetteEnable(1);
     },
     [](ILumorix& c) { return c.put_VignetteEnable(0); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       EXPECT_GT(std::abs(CornerShare(a) / CornerShare(b) - 1), 0.15)
           << CornerShare(b) << " -> " << CornerShare(a);
     }},
    {"Temperature3000K", [](ILumorix& c) { return SetTempTint(c, 3000); },
     [](ILumorix& c) { return SetTempTint(c, kWbTempDefault); },
     [](PictureRig&, const Picture&, const Picture& a) {
       const Rgb white = a.patch(kWhite[0], kWhite[1]);
       EXPECT_GT(white.b, white.r + 10) << white.r << "," << white.g << "," << white.b;
     }},
    {"WhiteBalanceGains", [](ILumorix& c) { return c.put_WhiteBalanceGain(kWbRedDown); },
     [](ILumorix& c) { return c.put_WhiteBalanceGain(kWbNeutral); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       EXPECT_LT(a.patch(kWhite[0], kWhite[1]).r, b.patch(kWhite[0], kWhite[1]).r - 20);
     },
     nullptr, ZX_W('&')},
    {"ColourMatrix", [](ILumorix& c) { return c.put_ColorMatrix(kSwapRedBlue); },
     [](ILumorix& c) {
       double matrix[9];
       dynamic_cast<BaseImpl&>(c).GetColorMatrix(matrix);
       return c.put_ColorMatrix(matrix);
     },
     [](PictureRig&, const Picture&, const Picture& a) {
       const Rgb red = a.patch(kRed[0], kRed[1]);
       EXPECT_GT(red.b, std::max(red.r, red.g) + 40) << red.r << "," << red.g << "," << red.b;
     }},
    {"BlackBalance", [](ILumorix& c) { return c.put_BlackBalance(kBlack60); },
     [](ILumorix& c) { return c.put_BlackBalance(kBlack0); },
     [](PictureRig&, const Picture& b, const Picture& a) {
       for (uint32_t row = 0; row < 2; ++row)
         for (uint32_t col = 0; col < 4; ++col)
           EXPECT_LT(Mean(a.patch(col, row)), Mean(b.patch(col, row)) - 5) << kChart[row][col].name;
     }},
    {"OutputTable", [](ILumorix& c) { return c.put_OutputLut(InvertingTable(), nullptr); },
     [](ILumorix& c) { return c.put_OutputLut(nullptr, nullptr); },
     [](PictureRig&, const Picture& b, const Picture& a) { ExpectNegative(b, a); }},
    // From a fifth of the chart's exposure, so neither doubling clips.
    {"GainAsExposure", [](ILumorix& c) { return c.put_ExpoAGain(200); },
     [](ILumorix& c) { return c.put_ExpoAGain(100); },
     [](PictureRig& rig, const Picture& b, const Picture& a) {
       EXPECT_GT(a.centre(), b.centre() * 1.3);
       ASSERT_EQ(rig.cam().put_ExpoAGain(100), S_OK);
       ASSERT_EQ(rig.cam().put_ExpoTime(40000), S_OK);
       const double exposed = rig.next().centre();
       EXPECT_NEAR(a.centre(), exposed, exposed * 0.1);
       ASSERT_EQ(rig.cam().put_ExpoTime(20000), S_OK);
     },
     [](ILumorix& c) { return c.put_ExpoTime(20000); }},
};

class Usb3_31Picture : public ::testing::TestWithParam<PictureRow> {};

// Each row: the change shows in the frames after those in flight, and undoing it brings the
// picture back.
TEST_P(Usb3_31Picture, ThePictureAnswersTheProperty) {
  const PictureRow& row = GetParam();
  PictureRig rig(row.prefix);
  ASSERT_TRUE(rig.ok());
  if (row.baseline) {
    ASSERT_EQ(row.baseline(rig.cam()), S_OK);
  }
  const Picture before = rig.next();
  if (!row.baseline) stream_rig::ExpectChart(before.dib, kW, kH, "before");
  ASSERT_EQ(row.apply(rig.cam()), S_OK);
  const Picture after = rig.next();
  row.check(rig, before, after);
  ASSERT_EQ(row.restore(rig.cam()), S_OK);
  const Picture restored = rig.next();
  EXPECT_NEAR(restored.centre(), before.centre(), 4) << "restored";
  const Rgb r0 = before.patch(kRed[0], kRed[1]), r1 = restored.patch(kRed[0], kRed[1]);
  EXPECT_NEAR(r1.r - r1.b, r0.r - r0.b, 6) << "restored";
}

std::string RowName(const ::testing::TestParamInfo<PictureRow>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Usb3_31Picture, ::testing::ValuesIn(kRows), RowName);

// --- The sensor and auto exposure ----------------------------------------------------------------

// Row times standing for the camera's shortest, as its range says, and a microsecond below it;
// a sensor time for no register written.
constexpr uint32_t kShortest = UINT32_MAX, kBelowShortest = UINT32_MAX - 1, kNoWrite = 0;

// Times and gains set with AE off, as the sensor then holds them.
struct SensorRow {
  const char* name;
  uint32_t us;        // put_ExpoTime
  uint16_t gain;      // put_ExpoAGain after, 0 none
  uint32_t mains;     // put_LightFrequency after
  HRESULT result;     // of the last call
  uint32_t sensorUs;  // the sensor's time within a line, and get_RealExpoTime exactly
  uint16_t sensorGain;
};
void PrintTo(const SensorRow& row, std::ostream* os) {
  *os << row.name;
}

const SensorRow kSensorRows[] = {
    {"Time", 20000, 0, kLightSteady, S_OK, 20000, 100},
    {"ShortestTime", kShortest, 0, kLightSteady, S_OK, kShortest, 100},
    {"BelowShortestTime", kBelowShortest, 0, kLightSteady, E_INVALIDARG, kNoWrite, 0},
    {"Gain", 20000, 200, kLightSteady, S_OK, 20000, 200},
    // 14000 us is 1.4 periods of the 100 Hz flicker: one whole period stays.
    {"MainsSnapsTime", 14000, 0, kLight50Hz, S_OK, 10000, 100},
};

class Usb3_31Sensor : public ::testing::TestWithParam<SensorRow> {};

TEST_P(Usb3_31Sensor, TheSensorHoldsWhatWasSet) {
  const SensorRow& row = GetParam();
  PictureRig rig(ZX_W('!'));
  ASSERT_TRUE(rig.ok());
  uint32_t shortest = 0, longest = 0, def = 0;
  ASSERT_EQ(rig.cam().get_ExpTimeRange(&shortest, &longest, &def), S_OK);
  const auto time = [&](uint32_t us) {
    return us == kShortest ? shortest : us == kBelowShortest ? shortest - 1 : us;
  };
  rig.rig().log().clear();
  HRESULT hr = rig.cam().put_ExpoTime(time(row.us));
  if (row.gain) hr = rig.cam().put_ExpoAGain(row.gain);
  if (row.mains != kLightSteady) hr = rig.cam().put_LightFrequency(row.mains);
  EXPECT_EQ(hr, row.result);
  if (row.sensorUs == kNoWrite) {
    EXPECT_TRUE(rig.rig().log().ofKind(sim::LogKind::RegisterWrite).empty());
    return;
  }
  const uint32_t want = time(row.sensorUs);
  ModelRig& sensor = rig.rig();
  EXPECT_TRUE(testing_models::Near(sensor.sensorExposureUs(), want, testing_models::LineUs(sensor)))
      << sensor.sensorExposureUs();
  EXPECT_EQ(sensor.sensorGain(), row.sensorGain);
  uint32_t real = 0;
  EXPECT_EQ(rig.cam().get_RealExpoTime(&real), S_OK);
  EXPECT_EQ(real, want);
}

std::string SensorRowName(const ::testing::TestParamInfo<SensorRow>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Usb3_31Sensor, ::testing::ValuesIn(kSensorRows), SensorRowName);

// A window in tenths of the frame, right and bottom exclusive.
struct Tenths {
  int32_t left, top, right, bottom;
};
constexpr Tenths kWholeWidthTop{0, 0, 10, 2}, kWholeWidthBottom{0, 8, 10, 10};

// Auto exposure on the gradient scene, which darkens upwards: the AE window settles at the target
// in each window in turn; with two, the second, brighter one at half the exposure or less.
struct AeRow {
  const char* name;
  uint16_t target;
  std::vector<Tenths> windows;  // none: the default window
};
void PrintTo(const AeRow& row, std::ostream* os) {
  *os << row.name;
}

const AeRow kAeRows[] = {
    {"Target60", 60, {}},
    {"Target180", 180, {}},
    {"WindowDarkThenBright", 120, {kWholeWidthTop, kWholeWidthBottom}},
};

// The mean of the raw samples the sensor sends now inside a window of the delivered frame, whose
// rows count from the top while the sensor sends the bottom row first.
double RawWindowMean(PictureRig& rig, const RECT& win) {
  std::vector<uint8_t> raw(size_t{kW} * kH);
  ModelRig& sensor = rig.rig();
  sim::RenderScene(raw.data(), kW, kH, rig.scene(), sensor.sensorExposureUs(), sensor.sensorGain(),
                   0);
  uint64_t sum = 0;
  for (int32_t y = win.top; y < win.bottom; ++y)
    for (int32_t x = win.left; x < win.right; ++x) sum += raw[size_t(kH - 1 - y) * kW + size_t(x)];
  const uint64_t n = uint64_t(win.right - win.left) * uint64_t(win.bottom - win.top);
  return n ? double(sum) / double(n) : 0;
}

// Pulls until five frames in a row meet the target within 20; the mean last seen otherwise.
bool Settles(PictureRig& rig, const RECT& win, uint16_t target, double& mean) {
  std::vector<uint8_t> frame(size_t{DibRowBytes(24, kW)} * kH);
  BaseImpl& cam = dynamic_cast<BaseImpl&>(rig.cam());
  uint32_t inRow = 0;
  for (uint32_t n = 0; n < 150 && inRow < 5; ++n) {
    if (stream_rig::Puller(cam).pull(frame, 1) != 1) return false;
    mean = RawWindowMean(rig, win);
    inRow = std::abs(mean - target) <= 20 ? inRow + 1 : 0;
  }
  return inRow == 5;
}

class Usb3_31AutoExposure : public ::testing::TestWithParam<AeRow> {};

TEST_P(Usb3_31AutoExposure, SettlesAtTheTargetInTheWindow) {
  const AeRow& row = GetParam();
  // A fifth of the default exposure shows the scene as made; AE starts from the default.
  PictureRig rig(ZX_W('!'), sim::ContentKind::Scene, 20000);
  ASSERT_TRUE(rig.ok());
  ASSERT_EQ(rig.cam().put_AutoExpoTarget(row.target), S_OK);
  ASSERT_EQ(rig.cam().put_AutoExpoEnable(1), S_OK);
  std::vector<double> exposure;
  const size_t runs = std::max<size_t>(row.windows.size(), 1);
  for (size_t k = 0; k < runs; ++k) {
    RECT win{};
    if (row.windows.empty()) {
      ASSERT_EQ(rig.cam().get_AERect(&win), S_OK);
    } else {
      const Tenths t = row.windows[k];
      win = RECT{int32_t(kW * t.left / 10), int32_t(kH * t.top / 10), int32_t(kW * t.right / 10),
                 int32_t(kH * t.bottom / 10)};
      ASSERT_EQ(rig.cam().put_AERect(&win), S_OK);
    }
    double mean = 0;
    EXPECT_TRUE(Settles(rig, win, row.target, mean)) << "window " << k << " mean " << mean;
    exposure.push_back(double(rig.rig().sensorExposureUs()) * rig.rig().sensorGain());
  }
  for (size_t k = 1; k < exposure.size(); ++k)
    EXPECT_GE(exposure[k - 1], 2 * exposure[k]) << "window " << k;
}

std::string AeRowName(const ::testing::TestParamInfo<AeRow>& row) {
  return row.param.name;
}

INSTANTIATE_TEST_SUITE_P(Rows, Usb3_31AutoExposure, ::testing::ValuesIn(kAeRows), AeRowName);

}  // namespace
