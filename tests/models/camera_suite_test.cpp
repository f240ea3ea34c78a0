// Every built catalogue row on its simulated device, on the virtual clock: construction and
// settings, flags, tables, the helper's generic operations and single grabs. A new row is picked
// up with no code; a row whose sensor has no simulation fails here until it gets one.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "models/common/helper_stream.h"
#include "pipeline/frame_descriptor.h"
#include "sim/frame_content.h"
#include "tests/models/model_rig.h"
#include "tests/support/fake_helper.h"

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

TEST_P(CameraSuite, RawLutRawBufferAndPixelSizesFitTheSensor) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  const CmosHelper& h = cam->pipelineHelper();
  ASSERT_NE(h.ctx8, nullptr);
  // A model without a raw curve of its own keeps the pipeline's.
  if (!cam->spec().rawLutAnchors.empty()) {
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

// A grab at the smallest size: the sensor's frames with any rows the link adds, the trailer byte
// from revision 3, the last frame of the model's tries, nothing (and one abort) when the sensor
// never started.
TEST_P(CameraSuite, GrabsTakeTheSensorsFrames) {
  const uint32_t w = info().resolutions[last()].width, h = info().resolutions[last()].height;
  const bool usb3 = (info().flags & LUMORIX_FLAG_USB3) != 0;
  const ModelSpec& spec = ModelRig(GetParam()).open()->spec();
  const uint32_t rows = uint32_t(spec.frameBytes(w, h, usb3, 2) / w);
  const auto pattern = [&](uint32_t n) {
    std::vector<uint8_t> image(size_t{w} * rows);
    sim::RenderPattern(image.data(), w, rows, n);
    return image;
  };
  for (const uint16_t revision : {3, 2}) {
    for (const bool singleTry : {true, false}) {
      ModelRig rig({.productId = GetParam().productId, .revision = revision});
      ASSERT_NE(rig.open(), nullptr);
      rig.startSensor(last());
      std::vector<uint8_t> buffer(size_t{w} * rows + 64, 0x5C);
      FrameDescriptor frame;
      frame.buffer = buffer.data();
      ASSERT_EQ(rig.helper().PLHlperGrabFrame(&frame, w, h, nullptr, nullptr, singleTry), 1);
      const uint32_t tries = singleTry ? 1u : rig.camera().spec().grabTries;
      EXPECT_EQ(rig.device().framesSent(), tries);
      const std::vector<uint8_t> expected = pattern(tries - 1);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << revision;
      const bool trailer = spec.trailerFromRevision3 && revision >= 3;
      EXPECT_EQ(buffer[expected.size()], trailer ? sim::kTrailerByte : 0x5C) << revision;
      EXPECT_EQ(buffer[expected.size() + 1], 0x5C) << revision;
    }
  }
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

// The open, a speed change and a USB3 class's device event hand the exposure over as every
// exposure setter does: the host's exposure callback follows each once, with the sensor already
// holding the state's exposure. A USB2 class leaves the sensor alone on a device event.
TEST_P(CameraSuite, ExposureCallbackFollowsTheOpenASpeedChangeAndADeviceEvent) {
  ModelRig rig(GetParam());
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  cam->stream().installNotifications(cam);
  struct Seen {
    ModelRig& rig;
    int calls = 0;
    uint32_t sensorUs = 0;
    static void notify(void* c) {
      Seen& s = *static_cast<Seen*>(c);
      ++s.calls;
      s.sensorUs = s.rig.sensorExposureUs();
    }
  } seen{rig};
  ASSERT_EQ(cam->put_ExpoCallback(Seen::notify, &seen), S_OK);
  const bool speedReprograms = info().maxSpeed > 0 && !cam->sequencer().speedMarksRoiPending();
  const bool usb3Class = (cam->spec().row()->model.flags & LUMORIX_FLAG_USB3) != 0;
  const struct {
    const char* name;
    bool runs;  // the 3.1 MP class takes a new speed with its next window, from the grabber
    int calls;
    // Not after a device event: the window and line length stay as they were on the device, and
    // the simulated port reset clears them.
    bool sensorTimed;
    std::function<void()> act;
  } rows[] = {
      {"open", !cam->sequencer().windowedAtOpen(), 1, true, [&] { rig.startSensor(last()); }},
      {"speed", speedReprograms, 1, true,
       [&] { ASSERT_EQ(cam->put_Speed(cam->pipelineHelper().speed ? 0 : 1), S_OK); }},
      {"device event", true, usb3Class ? 1 : 0, false,
       [&] { ASSERT_EQ(cam->HandleError(-4), S_OK); }},
  };
  for (const auto& row : rows) {
    if (!row.runs) continue;
    seen.calls = 0;
    rig.log().clear();
    row.act();
    uint32_t want = 0;
    ASSERT_EQ(cam->get_ExpoTime(&want), S_OK);
    EXPECT_EQ(seen.calls, row.calls) << row.name;
    if (row.calls == 0) {
      EXPECT_EQ(rig.traffic(), std::vector<std::string>{}) << row.name;
    }
    if (!row.sensorTimed) continue;
    EXPECT_NEAR(seen.sensorUs, want, std::max(want * 0.005, double(rig.sensorLineUs())))
        << row.name;
  }
}

// Raw delivery copies, crops and bins at the pixel format's depth: the high-bit formats' samples
// come in 16-bit words and are named by their own bits.
TEST(HelperStreamShape, RawDepthFollowsThePixelFormat) {
  const struct {
    uint8_t format;
    uint32_t bits, bytes;
  } rows[] = {{kPixelRaw8, 8, 1},    {kPixelRaw10, 10, 2},    {kPixelRaw12, 12, 2},
              {kPixelRaw14, 14, 2},  {kPixelRaw16, 16, 2},    {kPixelYuv422, 16, 2},
              {kPixelRaw8Alt, 8, 1}, {kPixelRaw12Alt, 12, 2}, {kPixelFormatCount, 8, 1}};
  FakeHelper helper(0);
  HelperStream stream(helper);
  for (const auto& row : rows) {
    helper.pixelFormat = row.format;
    const StreamOutputShape shape = stream.shape();
    EXPECT_EQ(shape.rawBits, row.bits) << int(row.format);
    EXPECT_EQ(shape.rawBytesPerPixel, row.bytes) << int(row.format);
  }
}

INSTANTIATE_TEST_SUITE_P(Built, CameraSuite, ::testing::ValuesIn(testing_models::BuiltRows()),
                         testing_models::RowName);

}  // namespace
