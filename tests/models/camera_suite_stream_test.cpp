// Every built catalogue row end to end in real time: enumerated and opened from its simulated
// device, streaming through the transport, the grabber and the pipeline with their threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/camera_buffer_impl.h"
#include "core/camera_enumeration.h"
#include "base/geometry.h"
#include "base/pixel_formats.h"
#include "core/lumorix_options.h"
#include "pipeline/algorithms/ae_measure.h"
#include "pipeline/pl_start.h"
#include "platform/event.h"
#include "sim/family_catalogue.h"
#include "sim/frame_content.h"
#include "tests/models/model_rig.h"
#include "tests/models/started_camera_delete.h"
#include "tests/support/recording_directory.h"
#include "tests/support/stream_rig.h"

namespace {

using stream_rig::CentreMean;
using stream_rig::StopsOnExit;
using stream_rig::WaitUntil;
using testing_models::BuiltRow;
using testing_models::ModelRig;

uint32_t Pull(BaseImpl& cam, std::vector<uint8_t>& frame, uint32_t n) {
  return stream_rig::Puller(cam).pull(frame, n);
}

class CameraSuiteStream : public ::testing::TestWithParam<BuiltRow> {
 protected:
  void SetUp() override {
    ASSERT_NE(GetParam().sim, nullptr) << "no simulated sensor";
    rig_.device().setFramePeriodMs(5);
    scene_ = sim::SceneFor(GetParam().productId);
    scene_.referenceExposureUs = GetParam().exposureUs.def;
    rig_.device().setContent(sim::ContentKind::Chart, scene_);
  }
  const ModelInfo& info() const { return *GetParam().info; }
  // Colour classes show the chart's colours; the grey class its luma.
  void expectChart(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h, const char* what) {
    if (info().flags & LUMORIX_FLAG_MONO)
      stream_rig::ExpectGreyChart(dib, w, h, what);
    else
      stream_rig::ExpectChart(dib, w, h, what);
  }
  uint32_t last() const { return info().previewCount - 1; }
  // Enumerates the one simulated device and opens it with settings persisted.
  BaseImpl* open() {
    if (winUsb_)
      directory_.memory.addInterfacePath(kCameraInterfaceClass, rig_.device().winUsbPath());
    else
      directory_.memory.addDosName(ZX_W("lumorix-") + rig_.device().kernelId());
    CameraDeviceRecord records[kMaxCameraRecords] = {};
    if (EnumerateCameras(records, ModelTable(), directory_) != 1) return nullptr;
    rig_.adopt(OpenCameraById((WString(ZX_W("!")) + records[0].id).c_str(), ModelTable()));
    return &rig_.camera();
  }
  // Opens and streams at index with AE on or off from the first frame (a step before the switch
  // would move the exposure the tests compare against); null when a step fails.
  BaseImpl* stream(uint32_t index, uint32_t ae) {
    BaseImpl* cam = open();
    if (!cam || cam->put_eSize(index) != S_OK || PL_SetAutoExpoEnable(rig_.helper(), ae) != S_OK ||
        cam->start() != S_OK)
      return nullptr;
    return cam;
  }
  std::vector<uint8_t> frameAt(uint32_t index) {
    return std::vector<uint8_t>(size_t{DibRowBytes(24, info().resolutions[index].width)} *
                                info().resolutions[index].height);
  }
  // The AE window's mean, as AE measures it, of what the sensor sends now.
  int32_t aeWindowMean(const PLContext& ctx) {
    const uint32_t w = ctx.frameWidth, h = ctx.frameHeight;
    std::vector<uint8_t> raw(size_t(w) * h);
    sim::RenderScene(raw.data(), w, h, scene_, rig_.sensorExposureUs(), rig_.sensorGain(), 0);
    const ImageRect r = ctx.aeRectPx;
    return GetAverageIntensityByte(w, h, ImageRect{r.left, r.top, r.right, r.bottom}, 8, false,
                                   raw.data());
  }

  ModelRig rig_{GetParam(), true};
  sim::SceneOptions scene_;
  RecordingDirectory directory_;
  bool winUsb_ = false;
};

TEST_P(CameraSuiteStream, StreamsEveryResolutionRestartsSnapsAndReturnsEveryBuffer) {
  BaseImpl* cam = open();
  ASSERT_NE(cam, nullptr);
  for (uint32_t index = 0; index <= last(); ++index) {
    const uint32_t w = info().resolutions[index].width, h = info().resolutions[index].height;
    std::vector<uint8_t> frame = frameAt(index);
    ASSERT_EQ(cam->put_eSize(index), S_OK);
    for (int run = 0; run < (index == last() ? 2 : 1); ++run) {  // the last size starts twice
      ASSERT_EQ(cam->start(), S_OK);
      EXPECT_EQ(Pull(*cam, frame, run ? 3 : 30), run ? 3u : 30u) << "frames at size " << index;
      expectChart(frame, w, h, "preview");
      if (index == last() && run == 0 && info().stillCount > 0) {
        ASSERT_EQ(cam->put_eStillSize(0), S_OK);
        std::vector<uint8_t> still = frameAt(0);
        EXPECT_EQ(stream_rig::SnapWithin(*cam, still), S_OK) << "the still at size 0";
        expectChart(still, info().resolutions[0].width, info().resolutions[0].height, "still");
        EXPECT_EQ(Pull(*cam, frame, 3), 3u) << "preview after the still";
      }
      EXPECT_EQ(cam->stop(), S_OK);
      EXPECT_EQ(
          rig_.camera().buffers().freeList().size() + rig_.camera().buffers().readyList().size(),
          CameraBufferImpl::kRecordCount);
    }
  }
}

TEST_P(CameraSuiteStream, StreamsThroughWinUsb) {
  winUsb_ = true;
  BaseImpl* cam = stream(last(), 1);
  ASSERT_NE(cam, nullptr);
  std::vector<uint8_t> frame = frameAt(last());
  EXPECT_EQ(Pull(*cam, frame, 3), 3u);
  EXPECT_EQ(cam->stop(), S_OK);
}

TEST_P(CameraSuiteStream, ExposureAndGainReachTheSensorWithAutoExposureOff) {
  // The steps below stay under the scene's full light also on sensors with a short default.
  scene_.referenceExposureUs = std::max(GetParam().exposureUs.def, 40000u);
  rig_.device().setContent(sim::ContentKind::Chart, scene_);
  BaseImpl* cam = stream(last(), 0);
  ASSERT_NE(cam, nullptr);
  const uint32_t w = info().resolutions[last()].width, h = info().resolutions[last()].height;
  std::vector<uint8_t> frame = frameAt(last());
  ASSERT_EQ(Pull(*cam, frame, 2), 2u);
  // Within half a percent, or one line where a line is longer than that.
  const auto nearly = [&](uint32_t actual, uint32_t want) {
    return std::abs(double(actual) - want) <= std::max(want * 0.005, double(rig_.sensorLineUs()));
  };
  // Sensors whose window follows the region take a new clock at the grabber's next region step,
  // which rewrites window, timing and exposure in turn: read the sensor between frames until the
  // step has run.
  const auto settles = [&](uint32_t want) {
    for (int frames = 0; frames < 10 && !nearly(rig_.sensorExposureUs(), want); ++frames)
      Pull(*cam, frame, 1);
    return nearly(rig_.sensorExposureUs(), want);
  };
  EXPECT_TRUE(settles(GetParam().exposureUs.def)) << "at the open: " << rig_.sensorExposureUs();
  // Each speed has its own clock and blanking. An exposure of many lines shows a line a percent
  // or two off, which the one line allowed on a short default would hide.
  const uint32_t longUs = std::max(GetParam().exposureUs.def, 40000u);
  rig_.setExposure(longUs);
  for (uint32_t speed = 0; speed <= info().maxSpeed; ++speed) {
    ASSERT_EQ(cam->put_Speed(uint16_t(speed)), S_OK);
    EXPECT_TRUE(settles(longUs)) << "speed " << speed << ": " << rig_.sensorExposureUs() << " us";
  }
  const struct {
    uint32_t us;
    uint16_t gain;
  } steps[] = {{20000, 100}, {40000, 100}, {20000, 200}};
  double bright[3] = {};
  for (int i = 0; i < 3; ++i) {
    rig_.setExposure(steps[i].us);
    ExpoProcAGain(rig_.helper(), steps[i].gain, 0);
    EXPECT_TRUE(settles(steps[i].us)) << rig_.sensorExposureUs();
    EXPECT_EQ(rig_.sensorGain(), steps[i].gain);
    ASSERT_EQ(Pull(*cam, frame, 4), 4u);  // frames exposed before are gone
    bright[i] = CentreMean(frame, w, h);
  }
  EXPECT_GT(bright[1], bright[0] * 1.3) << "twice the exposure";
  EXPECT_NEAR(bright[2], bright[1], bright[1] * 0.1) << "twice the gain, as twice the exposure";
  EXPECT_EQ(cam->stop(), S_OK);
}

TEST_P(CameraSuiteStream, AutoExposureReachesItsTarget) {
  scene_.referenceExposureUs = 3 * GetParam().exposureUs.def;  // a third of the light
  rig_.device().setContent(sim::ContentKind::Scene, scene_);
  BaseImpl* cam = stream(last(), 0);  // AE starts once the scene is seen away from its target
  ASSERT_NE(cam, nullptr);
  std::vector<uint8_t> frame = frameAt(last());
  const PLContext& ctx = *rig_.helper().ctx8;
  EXPECT_GT(std::abs(aeWindowMean(ctx) - 120), 20) << "the scene starts away from the target";
  PL_SetAutoExpoEnable(rig_.helper(), 1);
  uint32_t settled = 0;
  int32_t mean = 0;
  for (uint32_t n = 0; n < 100 && settled < 5; ++n) {
    ASSERT_EQ(Pull(*cam, frame, 1), 1u);
    mean = aeWindowMean(ctx);
    settled = std::abs(mean - 120) <= 20 ? settled + 1 : 0;
  }
  EXPECT_EQ(settled, 5u) << "AE window mean " << mean;
  EXPECT_EQ(cam->stop(), S_OK);
}

// Exposure set from another thread while AE streams and an application pulls: every exposure
// program reaches the sensor whole.
TEST_P(CameraSuiteStream, ExposureProgramsStayWholeWhileAeStreams) {
  BaseImpl* cam = stream(last(), 1);
  ASSERT_NE(cam, nullptr);
  std::vector<uint8_t> frame = frameAt(last());
  ASSERT_EQ(Pull(*cam, frame, 3), 3u);
  rig_.log().clear();
  std::atomic<bool> done{false};
  std::thread setter([&] {
    // Alternating across the longest exposure, so most programs rewrite the line length.
    for (uint32_t i = 0; i < 500; ++i) {
      rig_.setExposure(i % 2 ? GetParam().exposureUs.max : GetParam().exposureUs.def + i);
      ExpoProcAGain(rig_.helper(), uint16_t(100 + i % 190), 0);
    }
    done = true;
  });
  std::vector<uint8_t> image(size_t{info().resolutions[last()].width} *
                             info().resolutions[last()].height * 3);
  LumorixFrameInfo frameInfo{};
  while (!done) {
    cam->PullImage(image.data(), 24, 0, &frameInfo);  // asks the output shape meanwhile
    std::this_thread::yield();
  }
  setter.join();
  const auto writes = rig_.log().ofKind(sim::LogKind::RegisterWrite);
  EXPECT_EQ(cam->stop(), S_OK);
  const uint16_t first = GetParam().sim->lineLengthReg, second = GetParam().sim->linesReg;
  size_t programs = 0;
  for (size_t k = 0; k < writes.size(); ++k) {
    programs += writes[k].code == second;
    if (writes[k].code != first) continue;
    ASSERT_LT(k + 1, writes.size());
    EXPECT_EQ(writes[k + 1].code, second) << "program split at " << k;
  }
  EXPECT_GE(programs, 400u);
}

// A pin's still held in flight by a stalled stream while another thread stops or restarts the
// stream: the still ends on the stop before the transport lets go of its reads, and the sensor is
// back in the preview window, so the preview resumes at its size.
TEST_P(CameraSuiteStream, StopOrRestartDuringAPinStillResumesThePreview) {
  if (info().stillCount == 0) GTEST_SKIP() << "no still sizes";
  const struct {
    const char* name;
    bool restart;
  } cases[] = {{"stop, then start", false}, {"restart", true}};
  BaseImpl* cam = open();
  ASSERT_NE(cam, nullptr);
  ASSERT_EQ(cam->put_eSize(last()), S_OK);
  ASSERT_EQ(cam->put_eStillSize(0), S_OK);
  // The first window register the still's program writes differently from the preview's.
  const SensorDriver& sensor = rig_.camera().spec().sensor();
  SensorContext context = rig_.camera().sensorContext();
  context.alternative = rig_.camera().spec().isAlternative(GetParam().productId);
  ProgramBuffer stillSteps, previewSteps;
  context.index = 0;
  sensor.windowProgram(stillSteps, context);
  context.index = last();
  sensor.windowProgram(previewSteps, context);
  // Register writes only: a vendor step (the FPGA's width) is no register to read back.
  const auto writesOf = [](std::span<const RegStep> steps) {
    std::vector<RegStep> out;
    for (const RegStep& step : steps)
      if (step.kind == RegStep::Kind::Write) out.push_back(step);
    return out;
  };
  const auto stillProgram = writesOf(stillSteps.steps());
  const auto previewProgram = writesOf(previewSteps.steps());
  const auto differs = std::mismatch(previewProgram.begin(), previewProgram.end(),
                                     stillProgram.begin(), stillProgram.end());
  ASSERT_NE(differs.first, previewProgram.end()) << "the still and preview windows are alike";
  const RegStep window = *differs.first;
  std::vector<uint8_t> frame = frameAt(last()), still = frameAt(0);
  ASSERT_EQ(cam->start(), S_OK);
  for (const auto& c : cases) {
    ASSERT_EQ(Pull(*cam, frame, 3), 3u) << c.name;
    // Nobody pulls: once every record is ready the grabber reads nothing, and the next frame's
    // number is the one the still will wait for.
    ASSERT_TRUE(WaitUntil([&] {
      return rig_.camera().buffers().readyList().size() == CameraBufferImpl::kRecordCount;
    }));
    rig_.device().addStreamFault({sim::StreamFault::Kind::Stall, rig_.device().frameNumber()});
    rig_.log().clear();
    std::atomic<HRESULT> interrupted{E_PENDING};
    std::thread other([&] {
      WaitUntil([&] {
        return rig_.camera().runState() == RunState::StillParked &&
               rig_.device().outstandingReads() > 0;
      });
      interrupted = c.restart ? rig_.camera().RestartStream(false, false, [] {}) : cam->stop();
    });
    platform::Event cancel(platform::Event::Kind::ManualReset, false);
    EXPECT_EQ(cam->SnapForPin(still.data(), uint32_t(still.size()), &cancel), S_FALSE) << c.name;
    other.join();
    EXPECT_EQ(interrupted.load(), S_OK) << c.name;
    if (!c.restart) {
      EXPECT_EQ(rig_.device().systemInitValue(), 0) << c.name;
      ASSERT_EQ(cam->start(), S_OK);
    }
    // A window that follows the region is programmed by the next frame's grab.
    EXPECT_EQ(Pull(*cam, frame, 3), 3u) << c.name;
    const auto writes = rig_.writesTo(window.reg);
    ASSERT_FALSE(writes.empty()) << c.name;
    EXPECT_EQ(writes.back(), window.value) << c.name << ": the sensor stays in the still window";
    EXPECT_EQ(rig_.device().withFamily([](sim::SensorFamily& f) { return f.width(); }),
              info().resolutions[last()].width)
        << c.name;
  }
  EXPECT_EQ(cam->stop(), S_OK);
}

// A sensor whose window follows the region sends frames of the region's size, through speed and
// skip changes (programmed with the window by the grabber) and a still and back.
TEST_P(CameraSuiteStream, ARegionOnAWindowedSensorStreamsFramesOfItsSize) {
  BaseImpl* cam = stream(last(), 1);
  ASSERT_NE(cam, nullptr);
  if (!rig_.camera().sequencer().windowed()) {
    EXPECT_EQ(cam->stop(), S_OK);
    GTEST_SKIP() << "the window does not follow the region";
  }
  // A region of even size on the 24-pixel grid: every windowed sensor's step (8 or 6) divides it.
  const uint32_t w = info().resolutions[last()].width / 48 * 24;
  const uint32_t h = info().resolutions[last()].height / 4 * 2;
  std::vector<uint8_t> frame = frameAt(last()), region(size_t{DibRowBytes(24, w)} * h);
  ASSERT_EQ(Pull(*cam, frame, 2), 2u);
  ASSERT_EQ(cam->put_Roi(24, 8, w, h), S_OK);
  const auto sensorSize = [&] {
    return rig_.device().withFamily(
        [](sim::SensorFamily& f) { return std::make_pair(f.width(), f.height()); });
  };
  // Frames of the old size queued before the change do not fit the region's buffer. After a
  // change that keeps the region's size, the frames queued before it are let go first: they may
  // all predate the grabber's next region step, which programs the window again.
  const auto regionFrames = [&](const char* what, bool flush = true) {
    if (flush) {
      ASSERT_EQ(cam->Flush(), S_OK) << what;
    }
    uint32_t got = 0;
    for (int tries = 0; tries < 60 && got < 3; ++tries) got += Pull(*cam, region, 1);
    EXPECT_EQ(got, 3u) << what;
    EXPECT_EQ(sensorSize(), std::make_pair(w, h)) << what;
  };
  regionFrames("region", false);
  ASSERT_EQ(cam->put_Speed(0), S_OK);
  regionFrames("slowest speed");
  if (info().flags & LUMORIX_FLAG_SKIP) {  // the 3.1 MP reads one mode per size
    ASSERT_EQ(cam->put_Skip(0), S_OK);
    regionFrames("binning");
  }
  rig_.camera().SetResolution(0, true);
  rig_.camera().SetResolution(last(), false);
  regionFrames("back from a still");
  EXPECT_EQ(cam->stop(), S_OK);
}

// The pages' notifications on the real pipeline: AE moving the exposure calls the exposure
// callback on a camera thread, a grey switch while streaming calls the colour/grey one, each with
// its context; cleared, neither is called again.
TEST_P(CameraSuiteStream, NotificationsFollowAutoExposureAndTheGreySwitch) {
  struct Notices {
    std::atomic<int> calls{0};
    static void count(void* context) { ++static_cast<Notices*>(context)->calls; }
  };
  struct Row {
    const char* name;
    HRESULT (*put)(BaseImpl&, LumorixNotifyCallback, void*);
  };
  const Row rows[] = {
      {"exposure",
       [](BaseImpl& c, LumorixNotifyCallback f, void* x) { return c.put_ExpoCallback(f, x); }},
      {"chrome",
       [](BaseImpl& c, LumorixNotifyCallback f, void* x) { return c.put_ChromeCallback(f, x); }},
  };
  scene_.referenceExposureUs = 3 * GetParam().exposureUs.def;  // AE has a third of the light
  rig_.device().setContent(sim::ContentKind::Scene, scene_);
  BaseImpl* cam = stream(last(), 0);
  ASSERT_NE(cam, nullptr);
  std::vector<uint8_t> frame = frameAt(last());
  Notices notices[2];
  const StopsOnExit stops(*cam);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(rows[i].put(*cam, Notices::count, &notices[i]), S_OK);
  PL_SetAutoExpoEnable(rig_.helper(), 1);
  for (uint32_t n = 0; n < 100 && notices[0].calls == 0; ++n) ASSERT_EQ(Pull(*cam, frame, 1), 1u);
  EXPECT_GT(notices[0].calls.load(), 0) << rows[0].name;
  EXPECT_EQ(notices[1].calls.load(), 0) << rows[1].name;
  const bool colour = !cam->isMono();
  if (colour) {
    ASSERT_EQ(cam->put_Chrome(1), S_OK);
    ASSERT_EQ(cam->put_Chrome(0), S_OK);
    EXPECT_EQ(notices[1].calls.load(), 2) << rows[1].name;
  }
  for (int i = 0; i < 2; ++i) ASSERT_EQ(rows[i].put(*cam, nullptr, nullptr), S_OK);
  const int exposureCalls = notices[0].calls.load();
  PL_SetAutoExpoEnable(rig_.helper(), 0);
  rig_.setExposure(GetParam().exposureUs.def);  // far from AE's choice: AE has more to do
  PL_SetAutoExpoEnable(rig_.helper(), 1);
  ASSERT_EQ(Pull(*cam, frame, 10), 10u);
  if (colour) {
    ASSERT_EQ(cam->put_Chrome(1), S_OK);
  }
  EXPECT_EQ(notices[0].calls.load(), exposureCalls) << "cleared";
  EXPECT_EQ(notices[1].calls.load(), colour ? 2 : 0) << "cleared";
  if (colour) {
    EXPECT_EQ(cam->put_Chrome(0), S_OK);
  }
  EXPECT_EQ(cam->stop(), S_OK);
}

// Raw delivery hands the application its format's depth: every sample of the frame, two bytes a
// sample for the high-bit formats, named so in the header.
TEST_P(CameraSuiteStream, RawFramesCarryTheirFormatsDepth) {
  struct FirstFrame {
    std::mutex lock;
    bool seen = false;
    LumorixFrameHeader header{};
    std::vector<uint8_t> data;
    static void onData(const uint8_t* data, const LumorixFrameHeader* header, int32_t, void* c) {
      auto& f = *static_cast<FirstFrame*>(c);
      std::lock_guard<std::mutex> hold(f.lock);
      if (f.seen || !data || !header) return;
      f.header = *header;
      f.data.assign(data, data + header->imageSize);
      f.seen = true;
    }
  };
  BaseImpl* cam = open();
  ASSERT_NE(cam, nullptr);
  const uint32_t w = info().resolutions[last()].width, h = info().resolutions[last()].height;
  ASSERT_EQ(cam->put_eSize(last()), S_OK);
  ASSERT_EQ(cam->put_Option(LUMORIX_OPTION_RAW, 1), S_OK);
  int formats = 0;
  for (uint8_t f : {kPixelRaw8, kPixelRaw10, kPixelRaw12, kPixelRaw14, kPixelRaw16}) {
    if (!rig_.helper().formatAvailable[f]) continue;
    ++formats;
    ASSERT_TRUE(SUCCEEDED(cam->put_PixelFormat(f))) << int(f);  // 1: already that format
    FirstFrame first;
    const StopsOnExit stops(*cam);
    ASSERT_EQ(cam->start(FirstFrame::onData, nullptr, nullptr, nullptr, &first), S_OK);
    ASSERT_TRUE(WaitUntil([&] {
      std::lock_guard<std::mutex> hold(first.lock);
      return first.seen;
    })) << int(f);
    EXPECT_EQ(cam->stop(), S_OK);
    EXPECT_EQ(first.header.bitCount, kFormatBitsPerPixel[f]) << int(f);
    ASSERT_EQ(first.header.imageSize, uint32_t(kFormatBytesPerPixel[f]) * w * h) << int(f);
    // The chart reaches the last row: nothing of the frame was left behind.
    const size_t row = size_t(kFormatBytesPerPixel[f]) * w;
    EXPECT_TRUE(std::any_of(first.data.end() - std::ptrdiff_t(row), first.data.end(),
                            [](uint8_t v) { return v != 0; }))
        << int(f);
  }
  EXPECT_GT(formats, 0);
}

// A raw still at another size is described as a raw preview frame is: its format's depth and
// FourCC, its own size's bytes, to the data callback and to the still-buffer callback alike.
TEST_P(CameraSuiteStream, RawStillsAtAnotherSizeCarryTheirFormat) {
  struct FirstStill {
    std::mutex lock;
    bool seen = false;
    LumorixFrameHeader header{};
    uint8_t format = 0;
    uint32_t fourcc = 0;
    void take(const LumorixFrameHeader* h, uint8_t f, uint32_t code) {
      std::lock_guard<std::mutex> hold(lock);
      if (seen || !h) return;
      header = *h, format = f, fourcc = code, seen = true;
    }
    static void onData(const uint8_t*, const LumorixFrameHeader* h, int32_t snap, void* c) {
      if (snap) static_cast<FirstStill*>(c)->take(h, 0, h ? h->compression : 0);
    }
    static void onBuffer(const uint8_t*, const LumorixFrameHeader* h, int32_t snap, const uint8_t*,
                         uint32_t, const LumorixFrameInfo*, uint8_t f, uint32_t code, uint32_t,
                         void* c) {
      if (snap) static_cast<FirstStill*>(c)->take(h, f, code);
    }
  };
  // Streaming at the smallest size, a still at the largest (stills share the preview sizes).
  if (info().stillCount == 0 || last() == 0) GTEST_SKIP() << "no still at another size";
  const uint32_t preview = last(), other = 0;
  BaseImpl* cam = open();
  ASSERT_NE(cam, nullptr);
  const uint32_t w = info().resolutions[other].width, h = info().resolutions[other].height;
  ASSERT_EQ(cam->put_eSize(preview), S_OK);
  ASSERT_EQ(cam->put_Option(LUMORIX_OPTION_RAW, 1), S_OK);
  int formats = 0;
  for (uint8_t f : {kPixelRaw8, kPixelRaw10, kPixelRaw12, kPixelRaw14, kPixelRaw16, kPixelRaw8Alt,
                    kPixelRaw12Alt}) {
    if (!rig_.helper().formatAvailable[f]) continue;
    ++formats;
    ASSERT_TRUE(SUCCEEDED(cam->put_PixelFormat(f))) << int(f);
    uint32_t fourcc = 0, bits = 0;
    ASSERT_EQ(cam->get_RawFormat(&fourcc, &bits), S_OK) << int(f);
    for (bool bufferCallback : {false, true}) {
      SCOPED_TRACE(testing::Message() << int(f) << (bufferCallback ? " still-buffer" : " data"));
      FirstStill first;
      const StopsOnExit stops(*cam);
      ASSERT_EQ(cam->start(bufferCallback ? nullptr : FirstStill::onData, nullptr,
                           bufferCallback ? FirstStill::onBuffer : nullptr, nullptr, &first),
                S_OK);
      ASSERT_EQ(cam->Snap(other, 1, reinterpret_cast<uint64_t>(&first)), S_OK);
      ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard<std::mutex> hold(first.lock);
        return first.seen;
      }));
      EXPECT_EQ(cam->stop(), S_OK);
      EXPECT_EQ(first.header.bitCount, kFormatBitsPerPixel[f]);
      EXPECT_EQ(first.header.compression, fourcc);
      EXPECT_EQ(first.fourcc, fourcc);
      EXPECT_EQ(first.header.imageSize, uint32_t(kFormatBytesPerPixel[f]) * w * h);
      if (bufferCallback) {
        EXPECT_EQ(first.format, f);
      }
    }
  }
  EXPECT_GT(formats, 0);
}

// Deleted by its owner's thread; by its own data callback on a preview frame, or on a still at
// another size through each data callback (the still's pool buffer is in that thread's hand); by
// the event callback of a queued still; by the host's demosaic hook in a still at another size or
// in a frame bound for the pull queue on the fill-buffer thread (its buffer in that thread's hand);
// by the statistics callback, alone or beside the histogram or demosaic hook, or by the black
// balance's completion; or by the exposure callback a flow raises at its end on a camera thread
// (the grabber's region step after a speed change, a still at another size, the lost sensor's
// reprogramming): the device is stopped and closed, the settings are saved before the delete
// returns, and the let-go thread touches nothing of the camera on its way out, the settings store
// included, and frees what it held (the sanitizers see any touch and any leak).
TEST_P(CameraSuiteStream, DeletingAStartedCameraStopsItFirst) {
  using testing_models::DeleteBy;
  const bool stills = info().stillCount != 0 && last() != 0;
  const auto applies = [&](DeleteBy by) {
    if (testing_models::DeletesInAStill(by)) return stills;
    if (by == DeleteBy::RegionNotice) return GetParam().sim->driver().speedMarksRoiPending;
    return by != DeleteBy::SensorLostNotice || (info().flags & LUMORIX_FLAG_USB3) != 0;
  };
  std::vector<uint8_t> frame = frameAt(last());
  for (const DeleteBy by :
       {DeleteBy::Owner, DeleteBy::OwnerWhileDelivering, DeleteBy::DataCallback,
        DeleteBy::StillDataA, DeleteBy::StillDataB, DeleteBy::StillBufferCallback,
        DeleteBy::StillEvent, DeleteBy::StillHook, DeleteBy::PullHook, DeleteBy::Statistics,
        DeleteBy::StatisticsBesideHistogram, DeleteBy::StatisticsBesideDemosaic,
        DeleteBy::BlackBalanceDone, DeleteBy::RegionNotice, DeleteBy::StillNotice,
        DeleteBy::SensorLostNotice}) {
    if (!applies(by)) continue;
    ASSERT_NE(open(), nullptr);
    testing_models::DeleteStartedCamera(rig_, rig_.helper(), by, last(), 0, frame);
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Built, CameraSuiteStream,
                         ::testing::ValuesIn(testing_models::StreamRows()),
                         testing_models::RowName);

}  // namespace
