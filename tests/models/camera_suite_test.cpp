// Every built catalogue row on its simulated device, on the virtual clock: construction and
// settings, flags, tables, the helper's generic operations and single grabs. A new row is picked
// up with no code; a row whose sensor has no simulation fails here until it gets one.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "core/lumorix_options.h"
#include "models/common/helper_stream.h"
#include "pipeline/device_values.h"
#include "pipeline/frame_descriptor.h"
#include "pipeline/store/eeprom_data.h"
#include "sim/frame_content.h"
#include "tests/models/model_rig.h"
#include "tests/support/fake_helper.h"
#include "tests/support/fake_transport.h"
#include "tests/support/verbose_trace.h"

namespace {

using testing_models::BuiltRow;
using testing_models::Flavour;
using testing_models::ModelRig;
using testing_models::SettingsKey;

class CameraSuite : public ::testing::TestWithParam<BuiltRow> {
 protected:
  void SetUp() override { ASSERT_NE(GetParam().sim, nullptr) << "no simulated sensor"; }
  const ModelInfo& info() const { return *GetParam().info; }
  uint32_t last() const { return info().previewCount - 1; }
};

TEST_P(CameraSuite, SettingsKeyIsTheClassNameAndNoPrefixPersistsNothing) {
  {
    ModelRig rig(GetParam());
    CmosCamera* cam = rig.open();
    ASSERT_NE(cam, nullptr);
    const std::string key = SettingsKey(GetParam().settingsName);
    EXPECT_EQ(platform::WideToUtf8(cam->registrySubkey()), key);
    rig.close();
    uint32_t index = 99;
    EXPECT_EQ(rig.registry().readDword(key, "PreviewSize", index), platform::RegStatus::Ok);
  }
  for (const WCHAR16 prefix : {WCHAR16(0), WCHAR16(ZX_W('@'))}) {
    ModelRig rig(GetParam());
    CmosCamera* cam = rig.open(prefix);
    ASSERT_NE(cam, nullptr);
    EXPECT_FALSE(cam->hasRegistryKey());
    rig.startSensor(0);
    cam->stream().startPipeline();
    cam->stream().finishPipeline();
    cam->StopSensor();
    rig.close();
    EXPECT_EQ(rig.registry().takeChanges(), std::vector<std::string>{}) << "prefix " << int(prefix);
  }
}

TEST_P(CameraSuite, SavedSpeedAndPreviewIndexAreClamped) {
  ModelRig rig(GetParam());
  const std::string key = SettingsKey(GetParam().settingsName);
  rig.registry().writeDword(key, "FrameRate", info().maxSpeed + 7);
  rig.registry().writeDword(key, "PreviewSize", info().previewCount + 5);
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  EXPECT_EQ(cam->pipelineHelper().speed, info().maxSpeed);
  EXPECT_EQ(cam->previewIndex(), last());
  EXPECT_EQ(cam->pipelineHelper().frameWidth, info().resolutions[last()].width);
  EXPECT_EQ(cam->pipelineHelper().frameHeight, info().resolutions[last()].height);
  EXPECT_EQ(cam->OpenCamera(info().previewCount), E_INVALIDARG);
}

// The registration's word is fixed up for a USB2 port; the helper keeps the class's word.
TEST_P(CameraSuite, HelperKeepsTheClassFlagsWhileTheRecordIsFixedUp) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  EXPECT_EQ(cam->modelFlags(), info().flags);
  EXPECT_EQ(cam->pipelineHelper().modelFlags, cam->spec().helperFlags);
  EXPECT_EQ(cam->pipelineHelper().PLHlperHasFlag40(), (info().flags & LUMORIX_FLAG_USB3) != 0);
}

// The model's light-frequency hook goes through the pipeline's setter, which refuses a mode
// it does not know instead of storing it.
TEST_P(CameraSuite, LightFrequencyHookTakesOnlyKnownModes) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  if ((info().flags & LUMORIX_FLAG_LIGHTFREQ) == 0) GTEST_SKIP() << "no light frequency";
  struct Case {
    uint32_t mode;
    HRESULT hr;
    uint32_t read;
  } cases[] = {{1, S_OK, 1}, {3, E_INVALIDARG, 1}, {0, S_OK, 0}, {7, E_INVALIDARG, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(rig.helper().PLHlperSetLightFrequency(c.mode), c.hr) << c.mode;
    uint32_t mode = 9;
    EXPECT_EQ(cam->get_LightFrequency(&mode), S_OK);
    EXPECT_EQ(mode, c.read) << c.mode;
  }
}

// No model here has a device black level, conversion gain, fan or cooler: each hook says so.
TEST_P(CameraSuite, HooksForDevicePartsTheModelsLackAreNotImplemented) {
  ModelRig rig(GetParam());
  ASSERT_NE(rig.open(), nullptr);
  CmosHelper& h = rig.helper();
  EXPECT_EQ(h.PLHlperSetBlackLevel(3), E_NOTIMPL);
  EXPECT_EQ(h.PLHlperSetCG(1), E_NOTIMPL);
  EXPECT_EQ(h.PLHlperSetFan(1), E_NOTIMPL);
  EXPECT_EQ(h.PLHlperSetTEC(1), E_NOTIMPL);
  EXPECT_EQ(h.PLHlperSetTECTarget(-100), E_NOTIMPL);
}

TEST_P(CameraSuite, RawLutRawBufferAndPixelSizesFitTheSensor) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  const CmosHelper& h = cam->pipelineHelper();
  ASSERT_NE(h.ctx8, nullptr);
  // A model without a raw curve of its own keeps the pipeline's.
  if (!cam->spec().rawLutAnchors.empty() || !cam->spec().rawLut.empty()) {
    ASSERT_NE(h.rawLut8, nullptr);
    const uint8_t* lut = h.rawLut8;
    for (const LutAnchor& a : cam->spec().rawLutAnchors) EXPECT_EQ(lut[a.in], a.out) << a.in;
    for (int i = 1; i < 256; ++i) EXPECT_GE(lut[i], lut[i - 1]) << i;
    EXPECT_TRUE(std::equal(h.ctx8->rawLut.begin(), h.ctx8->rawLut.end(), lut));
  }
  EXPECT_EQ(cam->buffers().rawBytes(), h.rawFrameBytes);
  EXPECT_GT(h.rawFrameBytes, info().resolutions[0].width * info().resolutions[0].height);

  // Sizes scale with each resolution's ratio; a bad index or no output is refused.
  for (uint32_t i = 0; i < info().previewCount; ++i) {
    float x = 0, y = 0;
    EXPECT_EQ(cam->get_PixelSize(i, &x, nullptr), S_OK);
    EXPECT_EQ(cam->get_PixelSize(i, nullptr, &y), S_OK);
    const ResolutionRatio r = cam->spec().ratios[i];
    EXPECT_FLOAT_EQ(x, info().pixelWidth * r.numerator / r.denominator) << i;
    EXPECT_FLOAT_EQ(y, x);
  }
  float x = 0;
  EXPECT_EQ(cam->get_PixelSize(info().previewCount, &x, &x), E_INVALIDARG);
  EXPECT_EQ(cam->get_PixelSize(0, nullptr, nullptr), E_POINTER);
}

// A class's fixed values as its camera answers them: nominal frame rates at indexes 0, 1, 2 and
// one past the table, the colour matrix (its first and last entries and a position-weighted sum
// of all nine), the base gains and, where the sensor has one of its own, the raw table (a few
// entries and checksums: the plain sum and the position-weighted sum of value x (index + 1)).
struct GoldenValues {
  uint16_t productId;
  std::array<uint32_t, 4> rates;
  std::array<double, 3> matrix;  // first, last, sum of (index + 1) x entry
  std::array<uint32_t, 3> wbBase;
  std::vector<std::pair<uint8_t, uint8_t>> lutEntries{};
  std::array<uint32_t, 2> lutSums{};  // 0, 0: no table of the sensor's own to compare
};

constexpr std::array<double, 3> kMatrix8To10{2.08355, 2.04741, 14.933474};
constexpr std::array<double, 3> kMatrix14{2.068172, 1.760265, 14.602453};
const std::vector<std::pair<uint8_t, uint8_t>> kLut51Entries{{15, 13}, {34, 35}, {128, 131}};
constexpr std::array<uint32_t, 2> kLut51Sums{32871, 5616040};
const std::vector<std::pair<uint8_t, uint8_t>> kLut8To10Entries{{4, 1}, {14, 10}, {131, 131}};
constexpr std::array<uint32_t, 2> kLut8To10Sums{32323, 5567948};
const std::vector<std::pair<uint8_t, uint8_t>> kLut14Entries{{9, 0}, {10, 1}, {160, 155}};
constexpr std::array<uint32_t, 2> kLut14Sums{30936, 5444765};

const GoldenValues kGoldenValues[] = {
    {0xC310, {28, 60, 60, 60}, {1.343064, 1.552596, 15.641452}, {372, 256, 379}},
    {0xC510, {15, 30, 102, 102}, {1.568188, 1.491743, 14.920431}, {327, 256, 356}},
    {0xC850, {9, 26, 26, 26}, kMatrix8To10, {0, 0, 0}},
    {0xC010, {8, 26, 70, 70}, kMatrix8To10, {0, 0, 0}},
    {0xC014, {7, 22, 60, 60}, kMatrix14, {0, 0, 0}},
    {0xF130, {15, 26, 50, 50}, {1.97787, 2.38689, 15.46241}, {0, 0, 0}},
    {0x1207, {20, 20, 20, 20}, {1.552267, 1.908897, 15.189503}, {394, 256, 317}},
    {0xF200, {12, 30, 30, 30}, {1.80786, 2.27151, 15.8781533}, {115, 100, 122}},
    {0xF310, {13, 33, 45, 45}, {1.464067, 1.928278, 16.000551}, {115, 100, 122}},
    {0x6310, {11, 30, 43, 43}, {1.464067, 1.928278, 16.000551}, {115, 100, 122}},
    {0x6035, {30, 80, 80, 80}, {1.56337, 1.96565, 15.6083272}, {0, 0, 0}},
    {0x6131, {15, 15, 15, 15}, {0, 0, 0}, {0, 0, 0}},
    {0xF510,
     {7, 20, 56, 56},
     {1.568188, 1.491743, 14.920431},
     {327, 256, 356},
     kLut51Entries,
     kLut51Sums},
    {0x6512,
     {5, 18, 60, 60},
     {1.605827, 1.528417, 14.988144},
     {334, 256, 353},
     kLut51Entries,
     kLut51Sums},
    {0xF800, {5, 10, 52, 52}, kMatrix8To10, {0, 0, 0}, kLut8To10Entries, kLut8To10Sums},
    {0xF010, {5, 15, 48, 48}, kMatrix8To10, {0, 0, 0}, kLut8To10Entries, kLut8To10Sums},
    {0x6801, {2, 8, 27, 27}, kMatrix8To10, {0, 0, 0}, kLut8To10Entries, kLut8To10Sums},
    {0xF014, {3, 11, 46, 46}, kMatrix14, {0, 0, 0}, kLut14Entries, kLut14Sums},
    {0x6014, {3, 11, 32, 32}, kMatrix14, {0, 0, 0}, kLut14Entries, kLut14Sums},
};

TEST_P(CameraSuite, FixedValuesAreTheClassesGoldenOnes) {
  const auto* golden =
      std::find_if(std::begin(kGoldenValues), std::end(kGoldenValues),
                   [](const GoldenValues& g) { return g.productId == GetParam().productId; });
  if (golden == std::end(kGoldenValues)) GTEST_SKIP() << "no golden row";
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  for (uint32_t i = 0; i < golden->rates.size(); ++i)
    EXPECT_EQ(cam->device().GetMaxFrameRate(i), golden->rates[i]) << i;
  double matrix[9] = {};
  cam->GetColorMatrix(matrix);
  double weighted = 0;
  for (int i = 0; i < 9; ++i) weighted += (i + 1) * matrix[i];
  EXPECT_DOUBLE_EQ(matrix[0], golden->matrix[0]);
  EXPECT_DOUBLE_EQ(matrix[8], golden->matrix[1]);
  EXPECT_NEAR(weighted, golden->matrix[2], 1e-6);
  uint32_t base[3] = {9, 9, 9};
  cam->GetWbGainBase(base);
  EXPECT_EQ(std::vector<uint32_t>(base, base + 3),
            std::vector<uint32_t>(golden->wbBase.begin(), golden->wbBase.end()));
  if (golden->lutSums[0] == 0) return;
  const uint8_t* lut = cam->pipelineHelper().rawLut8;
  ASSERT_NE(lut, nullptr);
  for (const auto& [index, value] : golden->lutEntries) EXPECT_EQ(lut[index], value) << int(index);
  uint32_t sum = 0, weightedSum = 0;
  for (uint32_t i = 0; i < 256; ++i) sum += lut[i], weightedSum += (i + 1) * lut[i];
  EXPECT_EQ(sum, golden->lutSums[0]);
  EXPECT_EQ(weightedSum, golden->lutSums[1]);
}

// A skip change at the half size takes the defect list of the new read-out (skip list 2, binning
// list 1) by the next frame, on sensors that reprogram at once and on those whose region step does
// it.
TEST_P(CameraSuite, ASkipChangeAtHalfSizeTakesTheModesDefectList) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  if ((cam->spec().helperFlags & LUMORIX_FLAG_SKIP) == 0) GTEST_SKIP() << "no skip option";
  rig.startSensor(1);
  CmosHelper& h = rig.helper();
  FrameDescriptor frame;
  h.PLHlperApplyRoi(&frame, nullptr);  // the open's pending window
  ASSERT_GE(h.defectLists.size(), 3u);
  for (const uint16_t list : {uint16_t{1}, uint16_t{2}}) {
    DefectListSlot& slot = h.defectLists[list];
    slot.entries.assign(1, DefectPixel{});
    slot.entries[0] = DefectPixel{10u * list, 10u * list, 1};
    slot.count = 1, slot.clipped = 1;
  }
  ASSERT_EQ(h.skip, 1u);
  for (const uint32_t skip : {0u, 1u}) {
    EXPECT_EQ(PL_SetSkip(h, skip, false), S_OK) << skip;
    h.PLHlperApplyRoi(&frame, nullptr);
    TakeRequestedDefectList(h);  // the grabber's frame step, before its repair
    EXPECT_EQ(h.curDefects, h.defectLists[skip ? 2 : 1].entries.data()) << skip;
  }
}

TEST_P(CameraSuite, InitOpensOnceAndSettlesResettingOnlyTheKernelPort) {
  for (const Flavour flavour : {Flavour::Kernel, Flavour::WinUsb}) {
    const bool kernel = flavour == Flavour::Kernel;
    ModelRig rig({.productId = GetParam().productId, .flavour = flavour});
    ASSERT_NE(rig.open(), nullptr);
    rig.countOpens();
    CmosDevice& device = rig.camera().device();
    EXPECT_EQ(rig.helper().PLHlperInit(), 0);
    EXPECT_EQ(rig.helper().PLHlperInit(), 1);
    EXPECT_EQ(rig.opens(), 1);
    EXPECT_TRUE(device.isOpen());
    // The USB2 open variants neither reset the port nor settle (their own suite shows theirs).
    const bool resets = rig.camera().spec().openVariant == OpenVariant::ResetPort;
    const auto timeline = rig.log().pipeTimeline();
    EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "reset-port"), resets && kernel ? 1 : 0)
        << kernel;
    EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "pause 50"), resets ? 1 : 0) << kernel;

    device.bFiniUSB();
    rig.device().refuseOpen(5);
    EXPECT_EQ(rig.helper().PLHlperInit(), HRESULT_FROM_WIN32(5)) << kernel;
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.deviceOpened, 0);
    EXPECT_EQ(rig.camera().stream().openDevice(), HRESULT_FROM_WIN32(5));
  }
}

TEST_P(CameraSuite, OutputSizeFollowsBinningAndRegion) {
  struct Case {
    uint8_t binning;
    SensorRect roi;
    uint32_t divisor;  // of the default size; 0: the region's size
  };
  // Binned sizes are even; a region is taken as it is.
  for (const Case c :
       {Case{3, {}, 3}, Case{0x82, {}, 2}, Case{1, {100, 50, 501, 351}, 0}, Case{1, {}, 1}}) {
    ModelRig rig(GetParam());
    ASSERT_NE(rig.open(), nullptr);
    const uint32_t w = rig.helper().frameWidth, h = rig.helper().frameHeight;
    const uint32_t index = rig.camera().spec().defaultPreviewIndex;
    EXPECT_EQ(w, info().resolutions[index].width);
    rig.camera().device().binning = c.binning;
    rig.camera().device().setRequestedRoi(c.roi);
    uint32_t ow = 0, oh = 0;
    rig.helper().PLHlperGetOutputSize(&ow, &oh);
    const uint32_t mask = c.divisor > 1 ? ~1u : ~0u;
    EXPECT_EQ(ow, c.divisor ? w / c.divisor & mask : 401) << int(c.binning);
    EXPECT_EQ(oh, c.divisor ? h / c.divisor & mask : 301) << int(c.binning);
  }
}

TEST_P(CameraSuite, ApplyRoiReachesTheDeviceOnlyForAPendingRegion) {
  ModelRig rig(GetParam());
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
  std::vector<uint32_t> events;
  rig.camera().device().setEventSink(
      [](void* c, uint32_t code) { static_cast<std::vector<uint32_t>*>(c)->push_back(code); },
      &events);
  rig.log().clear();
  FrameDescriptor frame;
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  EXPECT_TRUE(rig.log().entries().empty());
  EXPECT_TRUE(events.empty());

  const SensorRect region{100, 50, 501, 351};
  rig.camera().device().setRequestedRoi(region);
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  EXPECT_EQ(events, std::vector<uint32_t>{kEventRegion});
  EXPECT_EQ(frame.roi.right, region.right);
  EXPECT_EQ(rig.camera().device().appliedRoi().left, region.left);
}

// A grab at every size: the sensor's frames with any rows the link adds, the trailer byte from
// revision 3, the last frame of the model's tries, nothing (and one abort) when the sensor never
// started. A sensor that refuses its window sends nothing: the grab gives up on the virtual clock
// and the sensor's complaint is shown. The link's variants run at the smallest size; every other
// size takes one grab with the trailer.
TEST_P(CameraSuite, GrabsTakeTheSensorsFrames) {
  const bool usb3 = (info().flags & LUMORIX_FLAG_USB3) != 0;
  const ModelSpec& spec = ModelRig(GetParam()).open()->spec();
  const struct {
    uint16_t revision;
    bool singleTry;
  } variants[] = {{3, true}, {3, false}, {2, true}, {2, false}};
  for (uint32_t index = 0; index <= last(); ++index) {
    const uint32_t w = info().resolutions[index].width, h = info().resolutions[index].height;
    const uint32_t rows = uint32_t(spec.frameBytes(w, h, usb3, 2) / w);
    for (const auto& [revision, singleTry] : std::span(variants, index == last() ? 4 : 1)) {
      SCOPED_TRACE(testing::Message() << "size " << index << ", revision " << revision
                                      << (singleTry ? ", one try" : ", the model's tries"));
      ModelRig rig({.productId = GetParam().productId, .revision = revision});
      ASSERT_NE(rig.open(), nullptr);
      rig.startSensor(index);
      std::vector<uint8_t> buffer(size_t{w} * rows + 64, 0x5C);
      FrameDescriptor frame;
      frame.buffer = buffer.data();
      const int32_t grabbed =
          rig.helper().PLHlperGrabFrame(&frame, w, h, nullptr, nullptr, singleTry);
      std::string complaints;
      for (const sim::LogEntry& e : rig.log().ofKind(sim::LogKind::Error))
        complaints += e.text + "; ";
      ASSERT_EQ(grabbed, 1) << complaints;
      const uint32_t tries = singleTry ? 1u : rig.camera().spec().grabTries;
      EXPECT_EQ(rig.device().framesSent(), tries);
      std::vector<uint8_t> expected(size_t{w} * rows);
      sim::RenderPattern(expected.data(), w, rows, tries - 1);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));
      const bool trailer = spec.trailerFromRevision3 && revision >= 3;
      EXPECT_EQ(buffer[expected.size()], trailer ? sim::kTrailerByte : 0x5C);
      EXPECT_EQ(buffer[expected.size() + 1], 0x5C);
    }
  }
  const uint32_t w = info().resolutions[last()].width, h = info().resolutions[last()].height;
  ModelRig rig(GetParam());
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
  std::vector<uint8_t> buffer(size_t{w} * h + 1);
  FrameDescriptor frame;
  frame.buffer = buffer.data();
  const uint64_t before = rig.clock().now();
  EXPECT_EQ(rig.helper().PLHlperGrabFrame(&frame, w, h, nullptr, nullptr, false), 0);
  const auto timeline = rig.log().pipeTimeline();
  EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "abort"), 1);
  EXPECT_LT(rig.clock().now() - before, 2u * 5000);
}

// Every flow that reprograms the sensor's timing hands the exposure over as every exposure setter
// does, traced, and the host's exposure callback follows once, with the sensor already holding the
// state's exposure. A window that follows the region takes a speed or skip change at the grabber's
// next region step, which each row runs as a frame would. A USB3 class's device event hands the
// gain over too; a USB2 class leaves the sensor alone on one.
TEST_P(CameraSuite, ExposureCallbackFollowsTheOpenASpeedChangeAndADeviceEvent) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  cam->stream().installNotifications(cam);
  struct Seen {
    ModelRig& rig;
    int calls = 0;
    uint32_t sensorUs = 0;
    // Another thread takes the sensor and control locks (the serial read takes the latter) while
    // the callback runs; a held lock shows as the probe not finishing. Probes are joined once the
    // flow has returned, so a held lock fails the row rather than hanging it.
    bool locksFree = true;
    std::vector<std::future<void>> probes{};
    static void notify(void* c) {
      Seen& s = *static_cast<Seen*>(c);
      ++s.calls;
      s.sensorUs = s.rig.sensorExposureUs();
      s.probes.push_back(std::async(std::launch::async, [&s] {
        { std::lock_guard<platform::RecursiveLock> hold(s.rig.helper().sensorLock()); }
        char serial[32];
        s.rig.camera().get_SerialNumber(serial);
      }));
      const auto waited = s.probes.back().wait_for(std::chrono::seconds(5));
      s.locksFree = waited == std::future_status::ready && s.locksFree;
    }
  } seen{rig};
  ASSERT_EQ(cam->put_ExpoCallback(Seen::notify, &seen), S_OK);
  const SensorSequencer& sequencer = cam->sequencer();
  const bool usb3Class = (cam->spec().row()->model.flags & LUMORIX_FLAG_USB3) != 0;
  const bool skips = (cam->spec().helperFlags & LUMORIX_FLAG_SKIP) != 0;
  const bool stills = cam->spec().row()->model.stillCount > 0 && last() > 0;
  // Back at its preview the USB2 5.1 MP hands over at once and again as its region comes back.
  const int previewCalls = !stills                                                     ? 0
                           : sequencer.windowed() && !sequencer.speedMarksRoiPending() ? 2
                                                                                       : 1;
  const auto regionStep = [&] {
    FrameDescriptor frame;
    rig.helper().PLHlperApplyRoi(&frame, nullptr);
  };
  int regionEvents = 0;
  cam->device().setEventSink(
      [](void* c, uint32_t code) { *static_cast<int*>(c) += code == kEventRegion ? 1 : 0; },
      &regionEvents);
  const struct {
    const char* name;
    int calls;
    bool gain;  // the gain is handed over too
    std::function<void()> act;
  } rows[] = {
      // A start with no region leaves the window the open programmed to its first frame.
      {"open", 1, false,
       [&] {
         rig.startSensor(last());
         const int opened = regionEvents;
         regionStep();
         EXPECT_EQ(regionEvents, opened) << "the first frame reprogrammed the window";
       }},
      {"speed", info().maxSpeed > 0 ? 1 : 0, false,
       [&] {
         (void)cam->put_Speed(cam->pipelineHelper().speed ? 0 : 1);
         regionStep();
       }},
      {"region", sequencer.windowed() ? 1 : 0, false,
       [&] {
         cam->device().setRequestedRoi(SensorRect{16, 16, 160, 120});
         regionStep();
       }},
      {"skip", skips ? 1 : 0, false,
       [&] {
         (void)cam->put_Skip(cam->pipelineHelper().skip ? 0 : 1);
         regionStep();
       }},
      {"still", stills && cam->spec().sensor().stillHandsOver ? 1 : 0, false,
       [&] { cam->SetResolution(0, true); }},
      {"preview again", previewCalls, false,
       [&] {
         cam->SetResolution(last(), false);
         regionStep();
       }},
      {"device event", usb3Class ? 1 : 0, usb3Class,
       [&] { ASSERT_EQ(cam->HandleError(-4), S_OK); }},
  };
  for (const auto& row : rows) {
    regionStep();  // what the open or a row left pending, before this row counts
    seen.calls = 0;
    seen.locksFree = true;
    rig.log().clear();
    std::string lines;
    {
      zxtest::VerboseTrace trace;
      row.act();
      lines = trace.lines();
    }
    uint32_t want = 0;
    ASSERT_EQ(cam->get_ExpoTime(&want), S_OK);
    seen.probes.clear();
    EXPECT_EQ(seen.calls, row.calls) << row.name;
    EXPECT_TRUE(seen.locksFree) << row.name;
    if (row.name == std::string("device event") && !usb3Class) {
      EXPECT_EQ(rig.traffic(), std::vector<std::string>{}) << row.name;
    }
#ifndef _WIN32  // the debugger output is not captured there
    const size_t forced = lines.find("#:ExpoProcTime: force = true\n");
    EXPECT_EQ(forced != std::string::npos, row.calls > 0) << row.name << "\n" << lines;
    if (forced != std::string::npos) {
      EXPECT_NE(lines.find("#:ExpoProcTime: real = " + std::to_string(rig.helper().appliedTime) +
                               "\n#:PLHlperSetExpoTime: ",
                           forced),
                std::string::npos)
          << row.name << "\n"
          << lines;
    }
    uint16_t gain = 0;
    ASSERT_EQ(cam->get_ExpoAGain(&gain), S_OK);
    const std::string gainLines =
        "#:ExpoProcAGain: " + std::to_string(gain) +
        ", force = true\n#:ExpoProcAGain: real = " + std::to_string(gain) +
        "\n#:PLHlperSetExpoAGain: " + std::to_string(gain) + "\n";
    EXPECT_EQ(lines.find(gainLines) != std::string::npos, row.gain) << row.name << "\n" << lines;
#endif
    // Not after a device event: the window and line length stay as they were on the device, and
    // the simulated port reset clears them.
    if (row.calls == 0 || row.gain) continue;
    EXPECT_NEAR(seen.sensorUs, want, std::max(want * 0.005, double(rig.sensorLineUs())))
        << row.name;
  }
}

// A start raises the host's exposure callback under the control lock. A stop, start or thread
// priority that callback asks for on its own thread is answered as from a camera thread, never
// waited for: each used to wait for ever on the lock its own thread held, and the priority to try
// it there (a debug build's control lock stops the process at either).
TEST(ControlLock, CallsFromAStartsExposureCallbackOnItsOwnThreadDoNotWait) {
  const struct {
    const char* name;
    HRESULT (*call)(BaseImpl&);
    HRESULT result;
  } rows[] = {
      {"stop", [](BaseImpl& c) { return c.stop(); }, kWrongThread},
      {"start", [](BaseImpl& c) { return c.start(); }, kWrongThread},
      {"thread priority",
       [](BaseImpl& c) { return c.put_Option(LUMORIX_OPTION_THREAD_PRIORITY, 2); }, S_OK},
  };
  struct Probe {
    BaseImpl& camera;
    HRESULT (*call)(BaseImpl&);
    int calls = 0;
    HRESULT result = E_FAIL;
    static void notify(void* c) {
      Probe& p = *static_cast<Probe*>(c);
      if (p.calls++ == 0) p.result = p.call(p.camera);
    }
  };
  for (const uint16_t productId : {uint16_t{0xC310}, uint16_t{0xF510}}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(testing::Message() << std::hex << productId << " " << row.name);
      testing_models::ModelRig rig(
          testing_models::RigOptions{.productId = productId, .realTime = true});
      ASSERT_NE(rig.open(), nullptr);
      BaseImpl& camera = rig.camera();
      Probe probe{camera, row.call};
      ASSERT_EQ(camera.put_ExpoCallback(Probe::notify, &probe), S_OK);
      std::atomic<bool> returned{false};
      HRESULT started = E_FAIL;
      std::thread host([&] {
        started = camera.start();
        returned = true;
      });
      for (int i = 0; i < 500 && !returned; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!returned) {  // nothing would end this test: say so and end it
        std::fprintf(stderr, "%s from the exposure callback hung its start\n", row.name);
        std::_Exit(1);
      }
      host.join();
      EXPECT_EQ(started, S_OK);
      EXPECT_GE(probe.calls, 1);
      EXPECT_EQ(probe.result, row.result);
      EXPECT_EQ(camera.put_ExpoCallback(nullptr, nullptr), S_OK);
      EXPECT_EQ(camera.stop(), S_OK);
    }
  }
}

// Raw delivery copies, crops and bins at the pixel format's depth: the high-bit formats' samples
// come in 16-bit words and are named by their own bits. The deepest is the largest of the
// current format and one more the model enables (none: kPixelFormatCount).
TEST(HelperStreamShape, RawDepthFollowsThePixelFormat) {
  constexpr uint8_t kNone = kPixelFormatCount;
  constexpr uint8_t kRgb24 = 7;
  const struct {
    uint8_t format;
    uint32_t bits, bytes;
    uint8_t enabled;
    uint32_t deepest;
  } rows[] = {{kPixelRaw8, 8, 1, kNone, 1},
              {kPixelRaw10, 10, 2, kNone, 2},
              {kPixelRaw12, 12, 2, kNone, 2},
              {kPixelRaw14, 14, 2, kNone, 2},
              {kPixelRaw16, 16, 2, kNone, 2},
              {kPixelYuv422, 16, 2, kNone, 2},
              {kPixelRaw8Alt, 8, 1, kNone, 1},
              {kPixelRaw12Alt, 12, 2, kNone, 2},
              {kPixelFormatCount, 8, 1, kNone, 1},
              {kPixelRaw8, 8, 1, kPixelRaw16, 2},
              {kPixelRaw8Alt, 8, 1, kPixelRaw12Alt, 2},
              {kPixelRaw16, 16, 2, kPixelRaw8, 2},
              {kPixelRaw8, 8, 1, kRgb24, 3}};
  FakeHelper helper(0);
  FakeTransport device(nullptr);
  HelperStream stream(helper, device);
  for (const auto& row : rows) {
    helper.pixelFormat = row.format;
    helper.formatAvailable.fill(0);
    if (row.enabled != kNone) helper.formatAvailable[row.enabled] = 1;
    const StreamOutputShape shape = stream.shape();
    EXPECT_EQ(shape.rawBits, row.bits) << int(row.format);
    EXPECT_EQ(shape.rawBytesPerPixel, row.bytes) << int(row.format);
    EXPECT_EQ(shape.deepestRawBytesPerPixel, row.deepest)
        << int(row.format) << " with " << int(row.enabled);
  }
}

INSTANTIATE_TEST_SUITE_P(Built, CameraSuite, ::testing::ValuesIn(testing_models::BuiltRows()),
                         testing_models::RowName);

}  // namespace
