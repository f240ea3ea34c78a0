// The 3.1 MP camera object on the simulated device: construction, its pipeline helper, the sensor
// programs it runs and the faults they once had, read from the device's log.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "base/lumorix_flags.h"
#include "models/families/usb3_31mp.h"
#include "pipeline/frame_descriptor.h"
#include "sim/frame_content.h"
#include "tests/models/model_rig.h"

namespace {

using testing_models::Flavour;
using testing_models::kRegistrations;
using testing_models::ModelRig;
using testing_models::Registration;
using testing_models::SettingsKey;

constexpr uint32_t kSmallW = 1024, kSmallH = 770;

constexpr std::array kStart{Write(0x301A, 0x00D8), Wait(100),
                            Write(0x3021, 0x0100), Wait(30),
                            Write(0x301A, 0x10D8), Write(0x30B0, 0),
                            Write(0x3064, 0x1902), Write(0x31AC, 0x0C0C),
                            Write(0x3082, 9),      Write(0x30BA, 0x06EC),
                            Write(0x3064, 0x1802), Write(0x31AE, 0x0301),
                            Write(0x301A, 0x10D0), Wait(100),
                            Write(0x301E, 0),      Write(0x302A, 6),
                            Write(0x302E, 10),     Write(0x3030, 147),
                            Write(0x302C, 1),      Wait(100)};
constexpr std::array kWindow0{Write(0x30A2, 1),      Write(0x30A6, 1),
                              Write(0x3004, 134),    Write(0x3008, 2181),
                              Write(0x3002, 6),      Write(0x3006, 1539),
                              Write(0x300A, 1560),   Write(0x3040, 0),
                              Write(0x301A, 0x10DE), Wait(10)};
constexpr std::array kSpeed2{Write(0x301A, 0x10D8), Wait(100), Write(0x3030, 147), Wait(100),
                             Write(0x301A, 0x10DC)};

bool Near(uint32_t actual, uint32_t expected, uint32_t tolerance) {
  return uint32_t(std::abs(int64_t(actual) - int64_t(expected))) <= tolerance;
}

// --- Construction -------------------------------------------------------------------------------

TEST(Usb3_31Camera, SettingsKeyIsTheClassNameAndNoPrefixPersistsNothing) {
  for (const Registration& r : kRegistrations) {
    ModelRig rig({.productId = r.productId});
    CmosCamera* cam = rig.open();
    ASSERT_NE(cam, nullptr) << r.name;
    EXPECT_EQ(platform::WideToUtf8(cam->registrySubkey()), SettingsKey(r.settingsName)) << r.name;
    rig.close();
    uint32_t index = 99;
    EXPECT_EQ(rig.registry().readDword(SettingsKey(r.settingsName), "PreviewSize", index),
              platform::RegStatus::Ok)
        << r.name;
  }
  for (const WCHAR16 prefix : {WCHAR16(0), WCHAR16(ZX_W('@'))}) {
    ModelRig rig;
    CmosCamera* cam = rig.open(prefix);
    ASSERT_NE(cam, nullptr);
    EXPECT_FALSE(cam->hasRegistryKey());
    rig.startSensor(0);
    cam->stream().startPipeline();
    cam->stream().finishPipeline();
    cam->StopSensor();
    rig.close();
    EXPECT_EQ(rig.registry().changes(), 0u) << "prefix " << int(prefix);
  }
}

TEST(Usb3_31Camera, SavedSpeedAndPreviewIndexAreClampedForBothRegistrations) {
  for (const uint16_t id : {0xC310, 0xD310}) {
    ModelRig rig({.productId = id});
    rig.registry().writeDword(SettingsKey("ZMS-RX7-3"), "FrameRate", 9);
    rig.registry().writeDword(SettingsKey("ZMS-RX7-3"), "PreviewSize", 7);
    CmosCamera* cam = rig.open();
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->pipelineHelper().speed, 2) << std::hex << id;
    EXPECT_EQ(cam->previewIndex(), 1u);
    EXPECT_EQ(cam->pipelineHelper().frameWidth, kSmallW);
    EXPECT_EQ(cam->pipelineHelper().frameHeight, kSmallH);
  }
}

TEST(Usb3_31Camera, RangesBaseGainsMatrixAndPixelSizes) {
  ModelRig rig;
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  uint32_t tMin = 0, tMax = 0, tDef = 0;
  EXPECT_EQ(cam->get_ExpTimeRange(&tMin, &tMax, &tDef), S_OK);
  EXPECT_EQ((std::array{tMin, tMax, tDef}), (std::array<uint32_t, 3>{100, 2000000, 94000}));
  uint16_t gMin = 0, gMax = 0, gDef = 0;
  EXPECT_EQ(cam->get_ExpoAGainRange(&gMin, &gMax, &gDef), S_OK);
  EXPECT_EQ((std::array{gMin, gMax, gDef}), (std::array<uint16_t, 3>{100, 300, 100}));
  uint32_t wb[3] = {};
  cam->GetWbGainBase(wb);
  EXPECT_EQ((std::array{wb[0], wb[1], wb[2]}), (std::array<uint32_t, 3>{372, 256, 379}));
  double m[9] = {};
  cam->GetColorMatrix(m);
  EXPECT_DOUBLE_EQ(m[0], 1.343064);
  EXPECT_DOUBLE_EQ(m[4], 1.377785);
  EXPECT_DOUBLE_EQ(m[8], 1.552596);

  struct Case {
    uint32_t index;
    bool x, y;
    HRESULT hr;
    float size;
  };
  for (const Case c :
       {Case{0, true, true, S_OK, 2.2f}, Case{1, true, false, S_OK, 4.4f},
        Case{1, false, true, S_OK, 4.4f}, Case{2, true, true, HRESULT(0x80070057), 0},
        Case{0, false, false, HRESULT(0x80004003), 0}}) {
    float x = 0, y = 0;
    EXPECT_EQ(cam->get_PixelSize(c.index, c.x ? &x : nullptr, c.y ? &y : nullptr), c.hr) << c.index;
    EXPECT_FLOAT_EQ(c.x ? x : c.size, c.size);
    EXPECT_FLOAT_EQ(c.y ? y : c.size, c.size);
  }
  int32_t out = 0;
  EXPECT_EQ(cam->IoControl(0, 1, 0, &out), HRESULT(0x80004001));
  EXPECT_EQ(cam->IoControl(0, 4, 1, nullptr), HRESULT(0x80004001));
}

TEST(Usb3_31Camera, HelperKeepsTheClassFlagsWhileTheUsb2RecordIsFixedUp) {
  for (const Registration& r : kRegistrations) {
    ModelRig rig({.productId = r.productId});
    CmosCamera* cam = rig.open();
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->modelFlags(), r.usb3 ? 0x81000041u : 0x81000101u) << r.name;
    EXPECT_EQ(cam->pipelineHelper().modelFlags, 0x81000041u) << r.name;
    EXPECT_EQ(cam->pipelineHelper().PLHlperHasFlag40(), r.usb3) << r.name;
  }
}

TEST(Usb3_31Camera, RawLutAndRawBufferFitTheSensor) {
  ModelRig rig;
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  const CmosHelper& h = cam->pipelineHelper();
  ASSERT_NE(h.rawLut8, nullptr);
  const uint8_t* lut = h.rawLut8;
  for (const LutAnchor& a : usb3_31mp::kRawLut) EXPECT_EQ(lut[a.in], a.out) << a.in;
  for (int i = 0; i < 256; ++i) {
    EXPECT_GE(lut[i], i ? lut[i - 1] : 0) << i;
    EXPECT_LE(std::abs(int(lut[i]) - i), 4) << i;
  }
  ASSERT_NE(h.ctx8, nullptr);
  EXPECT_TRUE(std::equal(h.ctx8->rawLut.begin(), h.ctx8->rawLut.end(), lut));

  EXPECT_EQ(h.rawFrameBytes, 3144192u);
  EXPECT_EQ(cam->buffers().rawBytes(), 3144192u);
  EXPECT_GE(h.rawFrameBytes, 2048u * 1534 + 1);
}

// --- The pipeline helper ----------------------------------------------------------------------

TEST(Usb3_31Helper, OutputSizeFollowsBinningAndRegion) {
  struct Case {
    uint8_t binning;
    RoiRect roi;
    uint32_t w, h;
  };
  for (const Case c : {Case{3, {}, 682, 510}, Case{0x82, {}, 1024, 766},
                       Case{1, {100, 50, 501, 351}, 401, 301}, Case{1, {}, 2048, 1534}}) {
    ModelRig rig;
    ASSERT_NE(rig.open(), nullptr);
    rig.camera().device().binning = c.binning;
    rig.camera().device().setRequestedRoi(c.roi);
    uint32_t w = 0, h = 0;
    rig.helper().PLHlperGetOutputSize(&w, &h);
    EXPECT_EQ(w, c.w) << int(c.binning);
    EXPECT_EQ(h, c.h) << int(c.binning);
  }
}

TEST(Usb3_31Helper, ApplyRoiReachesTheDeviceOnlyForAPendingRegion) {
  ModelRig rig;
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

  const RoiRect region{100, 50, 501, 351};
  rig.camera().device().setRequestedRoi(region);
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  EXPECT_EQ(events, std::vector<uint32_t>{11});
  EXPECT_EQ(frame.roi.right, region.right);
  EXPECT_EQ(rig.camera().device().appliedRoi().left, region.left);
}

TEST(Usb3_31Helper, InitOpensOnceAndSettlesResettingOnlyTheKernelPort) {
  for (const Flavour flavour : {Flavour::Kernel, Flavour::WinUsb}) {
    const bool kernel = flavour == Flavour::Kernel;
    ModelRig rig({.flavour = flavour});
    ASSERT_NE(rig.open(), nullptr);
    rig.countOpens();
    CmosDevice& device = rig.camera().device();
    EXPECT_EQ(rig.helper().PLHlperInit(), 0);
    EXPECT_EQ(rig.helper().PLHlperInit(), 1);
    EXPECT_EQ(rig.opens(), 1);
    EXPECT_TRUE(device.isOpen());
    EXPECT_EQ(device.deviceOpened, 1);
    const auto timeline = rig.log().pipeTimeline();
    EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "reset-port"), kernel ? 1 : 0) << kernel;
    EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "pause 50"), 1) << kernel;

    device.bFiniUSB();
    rig.device().refuseOpen(5);
    EXPECT_EQ(rig.helper().PLHlperInit(), HRESULT_FROM_WIN32(5)) << kernel;
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.deviceOpened, 0);
    EXPECT_EQ(rig.camera().stream().openDevice(), HRESULT_FROM_WIN32(5));
  }
}

TEST(Usb3_31Helper, LutWidthIsTheDeepestRawFormat) {
  struct Case {
    uint64_t flags;
    uint32_t bits;
  };
  for (const Case c :
       {Case{0x81000041, 8}, Case{LUMORIX_FLAG_RAW10, 10}, Case{LUMORIX_FLAG_RAW12, 12},
        Case{LUMORIX_FLAG_RAW12_ALT, 12}, Case{LUMORIX_FLAG_RAW14 | LUMORIX_FLAG_RAW10, 14},
        Case{LUMORIX_FLAG_RAW16 | LUMORIX_FLAG_RAW12, 16},
        Case{uint64_t{1} << 30 | LUMORIX_FLAG_RAW16, 24}})
    EXPECT_EQ(CmosHelper::LutBits(c.flags), c.bits) << std::hex << c.flags;

  // The width the caller names is not the one sent: an 8-bit table pads its one block.
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
  rig.log().clear();
  std::vector<uint16_t> table(4096);
  for (size_t i = 0; i < table.size(); ++i) table[i] = uint16_t(i * 3);
  rig.helper().IspSetLut(table.data(), 12);
  const auto sent = rig.log().requests(0xD9);
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(sent[0].payload.size(), 2048u);
  EXPECT_EQ(sent[0].payload[2 * 255], uint8_t(255 * 3));
  EXPECT_EQ(sent[0].payload[2 * 256], uint8_t(255 * 3));
  EXPECT_EQ(sent[0].payload[2 * 1023], uint8_t(255 * 3));
}

TEST(Usb3_31Helper, Values38SkipsNullPointers) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  uint32_t a = 0, b = 0, c = 0;
  rig.helper().PLHlperGetValues38(nullptr, &b, nullptr);
  rig.helper().PLHlperGetValues38(&a, nullptr, &c);
  EXPECT_EQ((std::array{a, b, c}), (std::array<uint32_t, 3>{102, 4000, 8000}));
  rig.helper().PLHlperGetValues38(nullptr, nullptr, nullptr);
}

// --- Programs through the camera -----------------------------------------------------------------

TEST(Usb3_31Camera, OpenCameraSendsTheStartWindowSpeedAndExposurePrograms) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
  rig.log().clear();
  ASSERT_EQ(rig.camera().OpenCamera(0), S_OK);
  const std::array lineLength{Write(0x300C, 1150)};
  const std::array exposure{Write(0x3012, 4005)};
  EXPECT_EQ(rig.traffic(), ModelRig::Describe({kStart, kWindow0, lineLength, kSpeed2, exposure}));
}

TEST(Usb3_31Camera, LineLengthByRegistrationAndIndex) {
  struct Case {
    uint16_t id;
    uint32_t index;
    uint32_t lineLength;
  };
  for (const Case c : {Case{0xC310, 0, 1150}, Case{0xC310, 1, 1150}, Case{0xD310, 0, 3000},
                       Case{0xD310, 1, 1500}, Case{0x4310, 1, 1500}}) {
    ModelRig rig({.productId = c.id});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(c.index);
    const auto written = rig.writesTo(0x300C);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front(), c.lineLength) << std::hex << c.id << " " << c.index;
  }
}

TEST(Usb3_31Camera, StillSwitchRunsTheSlowClockAndBackKeepingSpeedAndExposure) {
  ModelRig rig;
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  rig.startSensor(1);
  rig.log().clear();
  cam->SetResolution(1, false);
  EXPECT_TRUE(rig.log().entries().empty());

  cam->SetResolution(0, true);
  EXPECT_EQ(rig.writesTo(0x3030), std::vector<uint32_t>{120});
  EXPECT_TRUE(Near(rig.sensorExposureUs(), 94000, rig.lineUs())) << rig.sensorExposureUs();
  EXPECT_EQ(rig.sensorReg(0x300A), 1560);
  EXPECT_EQ(cam->pipelineHelper().speed, 2);

  rig.log().clear();
  cam->SetResolution(1, false);
  EXPECT_EQ(rig.writesTo(0x3030), std::vector<uint32_t>{147});
  EXPECT_TRUE(Near(rig.sensorExposureUs(), 94000, rig.lineUs())) << rig.sensorExposureUs();
  EXPECT_EQ(rig.sensorReg(0x300A), 800);
}

TEST(Usb3_31Camera, SensorLostReprogramsAllButTheWindow) {
  ModelRig rig;
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  rig.startSensor(0);
  rig.log().clear();
  cam->device().OnDeviceEvent(-4);
  std::vector<std::string> expected{"reset-port"};
  const std::array settle{Wait(50)};
  const std::array exposureAndGain{Write(0x3012, 4005), Write(0x3060, 6)};
  for (const std::string& s : ModelRig::Describe({settle, kStart, kSpeed2, exposureAndGain}))
    expected.push_back(s);
  EXPECT_EQ(rig.traffic(), expected);

  for (const int32_t code : {-3, -5, 0, 4, 11}) {
    rig.log().clear();
    cam->device().OnDeviceEvent(code);
    EXPECT_TRUE(rig.log().entries().empty()) << code;
  }
  cam->StopSensor();
  rig.log().clear();
  cam->device().OnDeviceEvent(-4);
  EXPECT_TRUE(rig.log().entries().empty());
}

TEST(Usb3_31Camera, MaxFrameRateByIndex) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  EXPECT_EQ(rig.camera().device().GetMaxFrameRate(0), 28u);
  EXPECT_EQ(rig.camera().device().GetMaxFrameRate(1), 60u);
}

// --- Grabs -------------------------------------------------------------------------------------

std::vector<uint8_t> Pattern(uint32_t frameNumber) {
  std::vector<uint8_t> image(size_t{kSmallW} * kSmallH);
  sim::RenderPattern(image.data(), kSmallW, kSmallH, frameNumber);
  return image;
}

TEST(Usb3_31Grab, TrailerFollowsTheImageFromRevisionThree) {
  struct Case {
    uint16_t revision;
    uint8_t afterImage;
  };
  for (const Case c : {Case{3, sim::kTrailerByte}, Case{2, 0x5C}}) {
    ModelRig rig({.revision = c.revision});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(1);
    std::vector<uint8_t> buffer(size_t{kSmallW} * kSmallH + 64, 0x5C);
    FrameDescriptor frame;
    frame.buffer = buffer.data();
    ASSERT_EQ(rig.helper().PLHlperGrabFrame(&frame, kSmallW, kSmallH, nullptr, nullptr, true), 1);
    const std::vector<uint8_t> expected = Pattern(0);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin())) << c.revision;
    EXPECT_EQ(buffer[expected.size()], c.afterImage) << c.revision;
    EXPECT_EQ(buffer[expected.size() + 1], 0x5C) << c.revision;
  }
}

TEST(Usb3_31Grab, TwoTriesReturnTheSecondFrame) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  rig.startSensor(1);
  std::vector<uint8_t> buffer(size_t{kSmallW} * kSmallH + 1);
  FrameDescriptor frame;
  frame.buffer = buffer.data();
  ASSERT_EQ(rig.helper().PLHlperGrabFrame(&frame, kSmallW, kSmallH, nullptr, nullptr, false), 1);
  EXPECT_EQ(rig.device().framesSent(), 2u);
  const std::vector<uint8_t> second = Pattern(1);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), buffer.begin()));
}

TEST(Usb3_31Grab, NothingOnTheFirstTryEndsTheGrab) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);  // the sensor never starts: no frame comes
  rig.log().clear();
  std::vector<uint8_t> buffer(size_t{kSmallW} * kSmallH + 1);
  FrameDescriptor frame;
  frame.buffer = buffer.data();
  const uint64_t before = rig.clock().now();
  EXPECT_EQ(rig.helper().PLHlperGrabFrame(&frame, kSmallW, kSmallH, nullptr, nullptr, false), 0);
  const auto timeline = rig.log().pipeTimeline();
  EXPECT_EQ(std::count(timeline.begin(), timeline.end(), "abort"), 1);
  EXPECT_LT(rig.clock().now() - before, 2u * 5000);
}

// --- Faults ------------------------------------------------------------------------------------

// A 2 s exposure doubles the line length; a restart or a still switch rewrites it first.
TEST(Usb3_31Faults, TwoSecondExposureSurvivesRestartAndStillSwitch) {
  constexpr uint32_t kTwoSeconds = 2000000;
  ModelRig restart;
  ASSERT_NE(restart.open(), nullptr);
  restart.startSensor(0);
  restart.camera().stream().startPipeline();
  restart.setExposure(kTwoSeconds);
  EXPECT_EQ(restart.sensorReg(0x300C), 2300);
  EXPECT_EQ(restart.sensorReg(0x3012), 42608);
  EXPECT_TRUE(Near(restart.sensorExposureUs(), kTwoSeconds, restart.lineUs()));
  restart.restart(0);
  EXPECT_TRUE(Near(restart.sensorExposureUs(), kTwoSeconds, restart.lineUs()))
      << restart.sensorExposureUs();

  ModelRig still;
  ASSERT_NE(still.open(), nullptr);
  still.startSensor(1);
  still.setExposure(kTwoSeconds);
  still.camera().SetResolution(0, true);
  EXPECT_TRUE(Near(still.sensorExposureUs(), kTwoSeconds, still.lineUs()))
      << still.sensorExposureUs();
  still.camera().SetResolution(1, false);
  EXPECT_TRUE(Near(still.sensorExposureUs(), kTwoSeconds, still.lineUs()))
      << still.sensorExposureUs();
}

}  // namespace
