// The helper's frame hooks on the simulated test sensor: grabs, defect repair, the AE
// hand-over, stills and the frame conversion entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "pipeline/stages/defect_repair.h"
#include "pipeline/algorithms/auto_exposure.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/store/eeprom_data.h"
#include "pipeline_kit.h"
#include "tests/support/deleting_hook.h"
#include "tests/support/test_sensor.h"

namespace zxtest {
namespace {

constexpr uint32_t kW = 64, kH = 48;

struct Hooked {
  explicit Hooked(TestSensorConfig config = {}) : camera(kW, kH), sensor(camera, config) {
    EXPECT_EQ(sensor.PLHlperInit(), 1);
    InitPipeLineStep1(sensor, 0, kW, kH, nullptr, 0, 0);
    InitPipeLineStep2(sensor);
    sensor.onExposureChanged = [](void* n) { ++*static_cast<int*>(n); };
    sensor.onExposureChangedCtx = &notices;
    frame.assign(size_t(kW) * kH * 2, 0);
    d.buffer = frame.data();
  }
  int32_t grab() { return PL_AutoExposure(sensor, &d, nullptr); }
  void enableAe(uint8_t policy) {
    sensor.ctx8->settings.aePolicy = policy;
    sensor.ctx8->settings.lightFrequency = 2;
    ASSERT_EQ(PL_SetAutoExpoEnable(sensor, 1), S_OK);
  }

  SimulatedCamera camera;
  TestSensor sensor;
  std::vector<uint8_t> frame;
  FrameDescriptor d;
  int notices = 0;
};

std::vector<uint8_t> pattern(uint32_t n) {
  std::vector<uint8_t> v(size_t(kW) * kH);
  sim::RenderPattern(v.data(), kW, kH, n);
  return v;
}

TEST(FrameHooks, SentBytesArriveAndListedDefectsAreRepaired) {
  Hooked h;
  ASSERT_EQ(h.grab(), 1);
  EXPECT_TRUE(std::equal(h.frame.begin(), h.frame.begin() + kW * kH, pattern(0).begin()));
  const DefectPixel defects[] = {{10, 10, 0}, {30, 20, 0}};
  h.sensor.curDefects = defects, h.sensor.curDefectCount = 2;
  for (bool trigger : {false, true}) {
    h.sensor.trigger = trigger;
    ASSERT_EQ(h.grab(), 1);
    auto want = pattern(trigger ? 2 : 1);
    stages::FixDefectPixels(h.sensor.ctx8.get(), 2, defects, kW, kH, want.data(), nullptr);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), h.frame.begin())) << "trigger " << trigger;
  }
}

TEST(FrameHooks, TriggerModeRunsNoAutoExposure) {
  Hooked h;
  h.camera.showScene({});
  h.enableAe(0);
  h.sensor.trigger = true;
  const uint32_t writes = h.sensor.timeWrites;
  for (int i = 0; i < 9; ++i) ASSERT_EQ(h.grab(), 1);
  EXPECT_EQ(h.sensor.timeWrites, writes);
  EXPECT_EQ(h.sensor.ctx8->aeCallCount, 2u);
}

// Every value an AE step changes reaches the sensor once; the policy's other value never.
TEST(FrameHooks, EachChangedValueIsWrittenOnce) {
  for (uint8_t policy : {0, 2}) {
    Hooked h;
    sim::SceneOptions dim;
    dim.referenceExposureUs = 40000;
    h.camera.showScene(dim);
    h.enableAe(policy);
    const uint32_t t0 = h.sensor.timeWrites, g0 = h.sensor.gainWrites;
    uint32_t changes = 0, lastT = h.sensor.ctx8->curTime, lastG = h.sensor.ctx8->curGain;
    for (int i = 0; i < 30; ++i) {
      ASSERT_EQ(h.grab(), 1);
      const auto& c = *h.sensor.ctx8;
      changes += (c.curTime != lastT) + (c.curGain != lastG);
      lastT = c.curTime, lastG = c.curGain;
    }
    EXPECT_GT(changes, 0u) << int(policy);
    EXPECT_EQ((h.sensor.timeWrites - t0) + (h.sensor.gainWrites - g0), changes) << int(policy);
    EXPECT_EQ(policy == 0 ? h.sensor.gainWrites - g0 : h.sensor.timeWrites - t0, 0u) << int(policy);
  }
}

// A step that settles without a change sets the counter to 2; a settled frame leaves it alone.
TEST(FrameHooks, SettlingSetsTheCallCounterToTwo) {
  Hooked h;
  h.camera.showScene({});
  ASSERT_EQ(h.grab(), 1);
  auto& c = *h.sensor.ctx8;
  const ImageRect w{c.aeRectPx.left, c.aeRectPx.top, c.aeRectPx.right, c.aeRectPx.bottom};
  const int32_t bri = AeMeasure(c, h.frame.data(), kW, kH, w);
  ASSERT_GE(bri, 16);
  h.enableAe(0);
  c.settings.aeTarget = uint8_t(std::min(bri, 220));
  c.aeStatus = 1, c.aeCallCount = 2;
  ASSERT_EQ(h.grab(), 1);
  EXPECT_EQ(c.aeStatus, 0u);
  EXPECT_EQ(c.aeCallCount, 2u);
  ASSERT_EQ(h.grab(), 1);
  EXPECT_EQ(c.aeCallCount, 3u);
}

TEST(FrameHooks, ExpoProcTimeWritesOnlyWhenForcedOrChanged) {
  Hooked h;
  const uint32_t writes = h.sensor.timeWrites;
  const int notices = h.notices;
  for (uint32_t force : {0u, 1u}) {
    ExpoProcTime(h.sensor, force);  // the time has not changed: only a forced call writes it
    EXPECT_EQ(h.sensor.timeWrites, writes + force);
    EXPECT_EQ(h.notices, notices + 1 + int(force));
  }
}

// The hand-over's trace: a step that changes nothing says so; the sensor hook traces the snapped
// time it compares before it writes anything.
TEST(FrameHooks, HandOverTraceLines) {
#ifdef _WIN32
  GTEST_SKIP() << "the debugger output is not captured here";
#else
  std::string lines;
  char doNothing[128];
  {
    VerboseTrace trace;  // on before the workers start and off after they end
    {
      Hooked h;
      h.camera.showScene({});
      h.enableAe(0);
      auto& c = *h.sensor.ctx8;
      c.aeCallCount = 0;  // the step ends at the counter: nothing changes
      ASSERT_EQ(h.grab(), 1);
      std::snprintf(doNothing, sizeof doNothing,
                    "#:PL_AutoExposure: do nothing, new = %u, %u, old = %u, %u\n", c.curTime,
                    unsigned(c.curGain), c.curTime, unsigned(c.curGain));
      c.settings.lightFrequency = kLight50Hz;
      c.settings.expoTime = 31000;
      ExpoProcBoth(31000, 150, static_cast<PLHlperBase*>(&h.sensor));
    }
    lines = trace.lines();
  }
  EXPECT_NE(lines.find(doNothing), std::string::npos) << lines;
  // The workers' own lines may fall between the two.
  const size_t first = lines.find("#:ExpoProcBoth: 31000, 150, force = false\n");
  ASSERT_NE(first, std::string::npos) << lines;
  EXPECT_NE(lines.find("#:ExpoProcBoth: 31000, 150, new = 30000, force = false\n", first),
            std::string::npos)
      << lines;
#endif
}

// Still grabs: empty grabs repeat, a stop or an error ends the grab, a size past the raw buffer is
// refused; without processing (depth 0) the raw frame is copied out.
TEST(FrameHooks, StillResults) {
  struct Case {
    const char* name;
    uint32_t empty;
    int32_t failWith;
    bool stopped;
    uint32_t width, depth;
    int32_t status;
  } table[] = {{"repeats on no frame", 3, 0, false, kW, 24, 1},
               {"stopped", 1000000, 0, true, kW, 24, -2},
               {"error passed on", 0, -3, false, kW, 24, -3},
               {"larger than a raw buffer", 0, 0, false, kW * 4, 24, -1},
               {"raw copy", 0, 0, false, kW, 0, 1}};
  for (const Case& c : table) {
    Hooked h;
    h.sensor.emptyGrabs = c.empty, h.sensor.failWith = c.failWith;
    platform::Event stop(platform::Event::Kind::ManualReset, c.stopped);
    std::vector<uint8_t> out(frameSamples<uint8_t>(kW, kH), 0xEE), raw(kW * kH);
    StillResult r;
    GrabStillFrame(h.sensor, &r, out.data(), c.depth ? raw.data() : nullptr, c.depth, &stop,
                   c.width, kH, c.width, kH, 0);
    EXPECT_EQ(r.status, c.status) << c.name;
    if (c.depth == 0) {
      EXPECT_TRUE(std::equal(out.begin(), out.begin() + kW * kH, pattern(0).begin()));
      EXPECT_EQ(out[kW * kH], 0xEE) << "no more than the raw frame";
      EXPECT_EQ(r.width, kW);
    }
  }
}

TEST(FrameHooks, TwelveBitStillAt48BitsIsNotConverted) {
  TestSensorConfig config;
  config.flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
  SimulatedCamera camera(kW * 2, kH);  // two bytes a pixel on the wire
  TestSensor s(camera, config);
  ASSERT_EQ(s.PLHlperInit(), 1);
  s.pixelFormat = 2;
  InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
  ASSERT_TRUE(s.ctx16);
  std::vector<uint16_t> out(frameSamples<uint16_t>(kW, kH, 3), 0);
  StillResult r;
  GrabStillFrame(s, &r, reinterpret_cast<uint8_t*>(out.data()), nullptr, 48, nullptr, kW, kH, kW,
                 kH, 0);
  ASSERT_EQ(r.status, 1);
  EXPECT_GT(*std::max_element(out.begin(), out.end()), 255) << "16-bit samples kept";
}

// A high-bit still is sharpened as the preview is: the same first frame comes out otherwise
// with an amount set, at both output depths.
TEST(FrameHooks, TwelveBitStillIsSharpened) {
  const auto still = [](uint32_t usm, uint8_t bits) {
    TestSensorConfig config;
    config.flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
    SimulatedCamera camera(kW * 2, kH);
    TestSensor s(camera, config);
    EXPECT_EQ(s.PLHlperInit(), 1);
    s.pixelFormat = 2;
    InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
    std::vector<uint16_t> out(frameSamples<uint16_t>(kW, kH, 3), 0);
    if (!s.ctx16) return out;
    auto& flags = s.ctx16->settings.processFlags;
    flags = PLProcessFlags::withUsm(flags, usm);
    StillResult r;
    GrabStillFrame(s, &r, reinterpret_cast<uint8_t*>(out.data()), nullptr, bits, nullptr, kW, kH,
                   kW, kH, 0);
    EXPECT_EQ(r.status, 1);
    return out;
  };
  for (const uint8_t bits : {24, 48}) {
    SCOPED_TRACE(int(bits));
    EXPECT_EQ(still(0, bits), still(0, bits)) << "the first frame repeats";
    EXPECT_NE(still(300, bits), still(0, bits));
  }
}

// Grey models take the grey driver: every pixel keeps its own sample, no mosaic is interpolated.
// Packed 4:2:2 is converted in the output and processed there: a flat grey frame stays grey.
TEST(FrameHooks, FrameEntryPicksTheDriverByModelAndFormat) {
  struct Row {
    const char* name;
    uint64_t flags;
    uint32_t format;
    bool grey;
  } rows[] = {
      {"colour raw", 0, 0, false},
      {"grey raw", LUMORIX_FLAG_MONO, 0, true},
      {"packed 4:2:2", 0, kPixelYuv422, false},
      {"packed 4:2:2, other order", 0, kPixelYuv422Alt, false},
  };
  for (const Row& row : rows) {
    TestSensorConfig config;
    config.flags |= row.flags;
    Hooked h(config);
    const bool packed = row.format != 0;
    std::vector<uint8_t> raw(kW * kH * (packed ? 2 : 1), 128), out(frameSamples<uint8_t>(kW, kH));
    if (!packed)
      for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(20 + (i % 2) * 100 + (i / kW) % 2);
    const auto sent = raw;
    FrameConvertRequest req{raw.data(), row.format, out.data(), nullptr, nullptr, 1, 0};
    ASSERT_EQ(PL_ProcessFrame8(h.sensor, req), S_OK) << row.name;
    const size_t stride = kernels::rowStride<uint8_t>(3, kW);
    bool samplesKept = true, flat = true;
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        const uint8_t* px = &out[y * stride + x * 3];
        const uint8_t v = sent[(h.sensor.ctx8->rowOrder ? y : kH - 1 - y) * kW + x];
        samplesKept &= px[0] == v && px[1] == v && px[2] == v;
        flat &= px[0] == out[0] && px[1] == out[0] && px[2] == out[0];
      }
    EXPECT_EQ(samplesKept, row.grey) << row.name;
    if (packed) {
      EXPECT_TRUE(flat) << row.name;
      EXPECT_GT(out[0], 100) << row.name << ": luma 128 is a light grey";
    }
  }
}

// The high-bit hook gives a grey model's 12-bit frame to the grey driver: each pixel keeps its
// own sample's top 8 bits, in every byte.
TEST(FrameHooks, HighBitGreyFrameReachesTheGreyDriver) {
  TestSensorConfig config;
  config.flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_MONO;
  SimulatedCamera camera(kW * 2, kH);
  TestSensor s(camera, config);
  ASSERT_EQ(s.PLHlperInit(), 1);
  s.pixelFormat = 2;
  InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
  ASSERT_TRUE(s.ctx16);
  std::vector<uint16_t> raw(size_t(kW) * kH);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint16_t((i * 37 + (i / kW) * 1000) % 4096);
  const auto sent = raw;
  std::vector<uint8_t> out(frameSamples<uint8_t>(kW, kH), 0);
  FrameConvertRequest req{
      reinterpret_cast<const uint8_t*>(raw.data()), 2, out.data(), nullptr, nullptr, 1, 0};
  PLFrameHooks hooks(s);
  ASSERT_EQ(hooks.PL_ProcessMono16(req), S_OK);
  const size_t stride = kernels::rowStride<uint8_t>(3, kW);
  size_t kept = 0;
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x) {
      const uint8_t* px = &out[y * stride + x * 3];
      const auto v = uint8_t(sent[(s.ctx16->rowOrder ? y : kH - 1 - y) * kW + x] >> 4);
      kept += px[0] == v && px[1] == v && px[2] == v;
    }
  EXPECT_EQ(kept, size_t(kW) * kH);
}

// A packed frame arrives cropped to its region: the conversion covers that region only (the
// raw buffer holds no more, so a full-size conversion overreads under ASan and overwrites the
// bytes past the region's image), and an output of one sample a pixel, which the converters do
// not write, is refused with the output untouched.
TEST(FrameHooks, PackedFrameConvertsAtTheRunningSize) {
  struct Row {
    const char* name;
    uint32_t format;
    uint8_t samplesPerPixel;
    HRESULT result;
  } rows[] = {
      {"4:2:2, region at 3,5", kPixelYuv422, 3, S_OK},
      {"4:2:2 other order, region at 3,5", kPixelYuv422Alt, 3, S_OK},
      {"4:2:2 into grey output", kPixelYuv422, 1, E_NOTIMPL},
      {"4:2:2 other order into grey output", kPixelYuv422Alt, 1, E_NOTIMPL},
  };
  const RECT region{3, 5, 3 + 20, 5 + 14};
  const uint32_t rw = 20, rh = 14;
  for (const Row& row : rows) {
    Hooked h;
    h.sensor.ctx8->samplesPerPixel = row.samplesPerPixel;
    std::vector<uint8_t> raw(size_t(rw) * rh * 2);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(60 + i % 7 * 20);
    std::vector<uint8_t> out(frameSamples<uint8_t>(kW, kH), 0xEE);
    FrameConvertRequest req{raw.data(), row.format, out.data(), nullptr, &region, 1, 0};
    EXPECT_EQ(PL_ProcessFrame8(h.sensor, req), row.result) << row.name;
    const size_t image = kernels::rowStride<uint8_t>(3, rw) * rh;
    const size_t kept = row.result == S_OK ? image : 0;
    EXPECT_EQ(size_t(std::count(out.begin() + kept, out.end(), 0xEE)), out.size() - kept)
        << row.name;
    if (row.result == S_OK) {
      EXPECT_LT(std::count(out.begin(), out.begin() + image, 0xEE), rw * rh / 2) << row.name;
    }
  }
}

// The chart from the simulated camera through the grab and the frame entry, 30 frames each: as
// 8-bit and 12-bit grey every patch reads the chart's luma, as packed 4:2:2 in either order its
// colour; upright as the colour mosaic comes out (the first row), so red sits top-left.
TEST(FrameHooks, ChartEndToEndOnGreyAndPackedCameras) {
  using sim::SampleLayout;
  struct Row {
    const char* name;
    uint64_t flags;
    uint8_t pixelFormat;
    SampleLayout layout;
    bool colour;
  } rows[] = {
      {"colour mosaic", LUMORIX_FLAG_RAW8, 0, SampleLayout::Bytes, true},
      {"8-bit grey", LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_MONO, 0, SampleLayout::Bytes, false},
      {"12-bit grey", LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_MONO, 2,
       SampleLayout::Grey16, false},
      {"4:2:2", LUMORIX_FLAG_RAW8, kPixelYuv422, SampleLayout::Packed422, true},
      {"4:2:2 other order", LUMORIX_FLAG_RAW8, kPixelYuv422Alt, SampleLayout::Packed422Alt, true},
  };
  for (const Row& row : rows) {
    TestSensorConfig config;
    config.flags = row.flags;
    const bool wide = row.layout != SampleLayout::Bytes;
    SimulatedCamera camera(kW * (wide ? 2 : 1), kH);
    TestSensor s(camera, config);
    ASSERT_EQ(s.PLHlperInit(), 1);
    s.pixelFormat = row.pixelFormat;
    InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
    InitPipeLineStep2(s);
    sim::SceneOptions scene;
    scene.bayerOrder = row.colour ? 1 : sim::kMono;
    scene.layout = row.layout;
    camera.camera->setContent(sim::ContentKind::Chart, scene);
    std::vector<uint8_t> frame(size_t(kW) * kH * 2), out(frameSamples<uint8_t>(kW, kH));
    FrameDescriptor d;
    d.buffer = frame.data();
    PLFrameHooks hooks(s);
    const uint8_t rowOrder = s.ctx16 ? s.ctx16->rowOrder : s.ctx8->rowOrder;
    for (int n = 0; n < 30; ++n) {
      ASSERT_EQ(PL_AutoExposure(s, &d, nullptr), 1) << row.name;
      const FrameConvertRequest req{
          frame.data(), row.pixelFormat, out.data(), nullptr, nullptr, 1, 0};
      ASSERT_EQ(s.ctx16 ? hooks.PL_ProcessMono16(req) : PL_ProcessFrame8(s, req), S_OK) << row.name;
      for (uint32_t py = 0; py < 2; ++py)
        for (uint32_t px = 0; px < 4; ++px) {
          const uint32_t x = (2 * px + 1) * kW / 8, y = (2 * py + 1) * kH / 4;
          const sim::Rgb c = sim::ChartColour(x, y, kW, kH);
          const uint8_t* got =
              &out[(rowOrder ? kH - 1 - y : y) * kernels::rowStride<uint8_t>(3, kW) + x * 3];
          const int want[3] = {c.b, c.g, c.r};  // the state's blue, green, red bytes
          const int luma = (c.r * 77 + c.g * 150 + c.b * 29) >> 8;
          for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(got[k], row.colour ? want[k] : luma, row.colour ? 12 : 2)
                << row.name << ", frame " << n << ", patch " << px << "," << py << ", byte " << k;
        }
      if (HasFailure()) break;
    }
  }
}

// Counts its calls, then dawdles without a lock so that setters land in the middle of the frame.
bool countHook(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* calls) {
  ++*static_cast<std::atomic<int>*>(calls);
  std::this_thread::sleep_for(std::chrono::microseconds(200));
  return true;
}

// Setters replace the demosaic hook and the AE window while frames flow: each frame takes both
// once, under the settings lock, so each frame calls exactly one of the two hooks, and the thread
// sanitizer sees no unlocked read of either.
TEST(FrameHooks, HookAndAeWindowChangeWhileFramesFlow) {
  Hooked h;
  PLContext& c = *h.sensor.ctx8;
  c.aeMarkWindow = 1;
  PLFrameHooks hooks(h.sensor);
  std::atomic<int> first{0}, second{0}, frames{0};
  hooks.SetDemosaicCallback(countHook, &first);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    const auto raw = rawFrame<uint8_t>(kW, kH, 8);
    std::vector<uint8_t> in(raw.size()), out(frameSamples<uint8_t>(kW, kH, 3));
    while (!done) {
      in = raw;
      FrameConvertRequest req{in.data(), 0, out.data(), nullptr, nullptr, 1, 0};
      ASSERT_EQ(PL_ProcessFrame8(h.sensor, req), S_OK);
      ++frames;
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int i = 0; (i < 200 || frames < 50) && std::chrono::steady_clock::now() < deadline; ++i) {
    hooks.SetDemosaicCallback(countHook, i % 2 ? &first : &second);
    {
      // As the settings setters do; theirs is a returned value, which the sanitizer does not see.
      std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
      c.aeRectPx = {i % 9, 0, 40, 30};
    }
    std::this_thread::yield();
  }
  done = true;
  worker.join();
  EXPECT_GE(frames, 50);
  EXPECT_EQ(first + second, frames);
}

// A skip switch on a host thread while frames flow: the switch only asks for the list, the
// grabber's next step makes the new one current, so each frame repairs with one whole list and
// never reads a new count against the old (shorter) list; the thread sanitizer sees no race.
TEST(FrameHooks, ASkipSwitchWhileFramesFlowChangesTheListBetweenFrames) {
  TestSensorConfig config;
  config.flags |= LUMORIX_FLAG_SKIP;
  Hooked h(config);
  auto list = [](uint32_t n) {
    DefectListSlot slot;
    for (uint32_t i = 0; i < n; ++i) slot.entries.push_back({10 + i % 40, 10 + i / 40 * 2, 0});
    slot.count = n;
    return slot;
  };
  h.sensor.defectLists = {list(1), list(2), list(80)};  // size 1: skip off list 1, on list 2
  h.sensor.resolutionIndex = 1, h.sensor.skip = 0;
  SelectDefectList(h.sensor);
  ASSERT_EQ(h.sensor.curDefectCount, 2u);
  std::atomic<bool> done{false};
  std::atomic<int> frames{0};
  std::thread grabber([&] {
    while (!done) {
      ASSERT_EQ(h.grab(), 1);
      ++frames;
    }
  });
  auto switchSkip = [&](uint32_t on) {
    std::lock_guard<platform::RecursiveLock> hold(h.sensor.sensorLock());  // as the model does
    h.sensor.skip = on;
    RequestDefectList(h.sensor);
  };
  for (int i = 0; i < 200 || frames < 20; ++i) {
    switchSkip(i % 2 ? 0 : 1);
    std::this_thread::yield();
  }
  done = true;
  grabber.join();
  switchSkip(0);  // taken by the next frame: the two-pixel list
  ASSERT_EQ(h.grab(), 1);
  EXPECT_EQ(h.sensor.curDefectCount, 2u);
  EXPECT_EQ(h.sensor.curDefects, h.sensor.defectLists[1].entries.data());
}

// Holds the frame at one point of its conversion until the test lets it go.
struct FrameHold {
  static constexpr uint32_t kHoldMs = 5000;
  platform::Event entered{platform::Event::Kind::ManualReset, false};
  platform::Event release{platform::Event::Kind::ManualReset, false};
  std::atomic<bool> returned{false};
  void hold() {
    entered.set();
    release.wait(kHoldMs);
    returned = true;
  }
  static bool demosaicHook(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* self) {
    static_cast<FrameHold*>(self)->hold();
    return true;
  }
};

// A sensor's pipeline opened at the preview size in one raw format, its workers started.
void openPipeline(TestSensor& s, uint8_t format) {
  ASSERT_EQ(s.PLHlperInit(), 1);
  s.pixelFormat = format;
  InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
  InitPipeLineStep2(s);
}

// A sensor whose grab first stops at the test's hold.
class HeldGrabSensor : public TestSensor {
 public:
  using TestSensor::TestSensor;
  int32_t PLHlperGrabFrame(FrameDescriptor* f, uint32_t w, uint32_t h, const SensorRect* window,
                           platform::Event* stop, bool singleTry) override {
    if (hold) hold->hold();
    return TestSensor::PLHlperGrabFrame(f, w, h, window, stop, singleTry);
  }
  FrameHold* hold = nullptr;
};

// Each way a frame is converted or grabbed holds the state for the whole call: a rebuild asked
// while the host's demosaic hook (or the grab) holds the frame waits for the frame to end, so the
// state the frame uses is never freed under it (the address sanitizer watches the rest).
TEST(FrameHooks, ARebuildWaitsForTheFrameUsingTheState) {
  enum Hold { InHook, InGrab };
  struct Row {
    const char* name;
    uint64_t flags;
    uint8_t format;
    Hold at;
    std::function<void(TestSensor&, std::vector<uint8_t>&, std::vector<uint8_t>&)> run;
  };
  const uint64_t deep = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
  auto frame = [](TestSensor& s, std::vector<uint8_t>& raw, std::vector<uint8_t>& out) {
    const FrameConvertRequest req{raw.data(), s.pixelFormat, out.data(), nullptr, nullptr, 1, 0};
    PLFrameHooks hooks(s);
    const HRESULT hr = !IsHighBitFormat(s.pixelFormat) ? hooks.PL_ProcessFrame8(req)
                       : s.hasFlag(LUMORIX_FLAG_MONO)  ? hooks.PL_ProcessMono16(req)
                                                       : hooks.PL_ProcessRaw16(req);
    EXPECT_EQ(hr, S_OK);
  };
  auto still = [](TestSensor& s, std::vector<uint8_t>&, std::vector<uint8_t>& out) {
    StillResult r;
    GrabStillFrame(s, &r, out.data(), nullptr, 24, nullptr, kW, kH, kW, kH, 0);
    EXPECT_EQ(r.status, 1);
  };
  auto grab = [](TestSensor& s, std::vector<uint8_t>& raw, std::vector<uint8_t>&) {
    FrameDescriptor d;
    d.buffer = raw.data();
    EXPECT_EQ(PL_AutoExposure(s, &d, nullptr), 1);
  };
  const Row rows[] = {
      {"8-bit colour frame", LUMORIX_FLAG_RAW8, 0, InHook, frame},
      {"8-bit grey frame", LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_MONO, 0, InHook, frame},
      {"12-bit colour frame", deep, 2, InHook, frame},
      {"12-bit grey frame", deep | LUMORIX_FLAG_MONO, 2, InHook, frame},
      {"8-bit still", LUMORIX_FLAG_RAW8, 0, InHook, still},
      {"12-bit still", deep, 2, InHook, still},
      {"grab with an AE step", LUMORIX_FLAG_RAW8, 0, InGrab, grab},
  };
  for (const Row& row : rows) {
    TestSensorConfig config;
    config.flags = row.flags;
    SimulatedCamera camera(kW * (row.format ? 2 : 1), kH);
    HeldGrabSensor s(camera, config);
    ASSERT_NO_FATAL_FAILURE(openPipeline(s, row.format));
    FrameHold held;
    if (row.at == InHook)
      PLFrameHooks(s).SetDemosaicCallback(FrameHold::demosaicHook, &held);
    else
      s.hold = &held;
    std::vector<uint8_t> raw = rawFrame<uint8_t>(kW * 2, kH, 8),
                         out(frameSamples<uint16_t>(kW, kH));
    std::thread converting([&] { row.run(s, raw, out); });
    ASSERT_TRUE(held.entered.wait(FrameHold::kHoldMs)) << row.name;
    std::atomic<bool> frameEndedFirst{false};
    std::thread rebuilding([&] {
      InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
      frameEndedFirst = held.returned.load();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // room for a wrong rebuild
    held.release.set();
    converting.join();
    rebuilding.join();
    EXPECT_TRUE(frameEndedFirst) << row.name;
  }
}

// A settings block loaded whole (as a preset is) beside the fill-buffer thread's reads: each
// snapped time pairs the time with the mains of the same block, never of the other.
TEST(FrameHooks, TheSnappedTimeTakesTimeAndMainsFromOneBlock) {
  Hooked h;
  PLContext& c = *h.sensor.ctx8;
  const std::pair<uint32_t, uint32_t> blocks[] = {{26000, kLight50Hz}, {20000, kLight60Hz}};
  auto load = [&](const std::pair<uint32_t, uint32_t>& b) {
    std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
    c.settings.expoTime = b.first, c.settings.lightFrequency = b.second;
  };
  uint32_t want[2] = {};
  for (int k = 0; k < 2; ++k) {
    load(blocks[k]);
    ASSERT_TRUE(PL_CurrentExposureTime(h.sensor, &want[k]));
  }
  ASSERT_NE(want[0], want[1]);  // 30000 and 16666; a mixed pair gives 25000 or 20000
  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, mixed{0};
  std::thread fill([&] {
    for (uint32_t t = 0; !done; ++reads)
      if (!PL_CurrentExposureTime(h.sensor, &t) || (t != want[0] && t != want[1])) ++mixed;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int i = 0; (i < 20000 || reads < 1000) && std::chrono::steady_clock::now() < deadline; ++i)
    load(blocks[i & 1]);
  done = true;
  fill.join();
  EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
}

// The quick demosaic on two threads while opens grow its scratch: every frame gets the bytes a
// conversion alone gives it.
TEST(FrameHooks, QuickConversionsOnTwoThreadsMatchOneAlone) {
  constexpr int kConversions = 300;
  struct Row {
    const char* name;
    uint64_t flag;
    uint8_t format;
  } const rows[] = {{"8-bit", LUMORIX_FLAG_RAW8_ALT, 0},
                    {"12-bit", LUMORIX_FLAG_RAW12_ALT, kPixelRaw12Alt}};
  for (const Row& row : rows) {
    TestSensorConfig config;
    config.flags |= row.flag;
    Hooked h(config);
    auto frameOf = [&](uint32_t seed) {
      if (row.format == 0) return rawFrame<uint8_t>(kW, kH, 8, seed);
      const auto words = rawFrame<uint16_t>(kW, kH, 12, seed);
      std::vector<uint8_t> bytes(words.size() * 2);
      std::memcpy(bytes.data(), words.data(), bytes.size());
      return bytes;
    };
    std::vector<uint8_t> in[2] = {frameOf(1), frameOf(2)}, want[2] = {in[0], in[1]};
    for (auto& w : want) ASSERT_EQ(QuickRawToRgb(h.sensor, w.data(), kW, kH, row.format), 0);
    std::atomic<int> differ{0}, started{0};
    auto convert = [&](int k) {
      for (++started; started < 2;) std::this_thread::yield();  // both at once
      for (int i = 0; i < kConversions; ++i) {
        std::vector<uint8_t> f = in[k];
        if (QuickRawToRgb(h.sensor, f.data(), kW, kH, row.format) != 0 || f != want[k]) ++differ;
      }
    };
    std::thread first(convert, 0), second(convert, 1);
    for (uint32_t grow = 2; grow <= 16; grow += 2)  // each open a larger frame: a new scratch
      InitPipeLineStep1(h.sensor, 0, kW + grow, kH + grow, nullptr, 0, 0);
    first.join();
    second.join();
    EXPECT_EQ(differ, 0) << row.name << ": of " << 2 * kConversions;
  }
}

// The helper deleted inside a demosaic or histogram hook goes at once (no wait for the hold
// around the hook), the frame ends right after the hook, and the state goes with that hold; the
// address sanitizer watches for any later touch of either. The delete saves the settings before
// it returns: the camera opened again at once, still inside the hook, reads the deleted one's.
TEST(FrameHooks, DeletingTheHelperInsideAHookEndsTheFrame) {
  constexpr uint32_t kHookWaitMs = 5000;
  enum Hook { Demosaic, Histogram };
  struct Row {
    const char* name;
    uint64_t flags;
    uint8_t format;
    Hook hook;
    bool still;
  };
  const uint64_t deep = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
  const Row rows[] = {
      {"8-bit colour frame, demosaic hook", LUMORIX_FLAG_RAW8, 0, Demosaic, false},
      {"8-bit colour frame, histogram hook", LUMORIX_FLAG_RAW8, 0, Histogram, false},
      {"8-bit grey frame, histogram hook", LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_MONO, 0, Histogram,
       false},
      {"12-bit colour frame, histogram hook", deep, 2, Histogram, false},
      {"12-bit grey frame, demosaic hook", deep | LUMORIX_FLAG_MONO, 2, Demosaic, false},
      {"8-bit still, demosaic hook", LUMORIX_FLAG_RAW8, 0, Demosaic, true},
      {"12-bit still, demosaic hook", deep, 2, Demosaic, true},
  };
  int32_t contrast = 10;  // each row's own, so a save left from the row before shows
  for (const Row& row : rows) {
    TestSensorConfig config;
    config.flags = row.flags;
    config.subKey = ZX_W("Software\\ZerithalTest\\FrameHooks\\Deleted");
    SimulatedCamera camera(kW * (row.format ? 2 : 1), kH);
    DeletingHook<TestSensor> probe;
    probe.owned = new TestSensor(camera, config);
    TestSensor& s = *probe.owned;
    ASSERT_NO_FATAL_FAILURE(openPipeline(s, row.format));
    ++contrast;
    WithState(s, [&](auto& c) { c.settings.contrast = contrast; });
    int32_t reopened = 0;
    probe.then = [&] {
      TestSensor again(camera, config);
      openPipeline(again, row.format);
      WithState(again, [&](auto& c) { reopened = c.settings.contrast; });
    };
    if (row.hook == Demosaic)
      PLFrameHooks(s).SetDemosaicCallback(DeletingHook<TestSensor>::demosaic, &probe);
    else
      PLFrameHooks(s).SetHistogramCallback(DeletingHook<TestSensor>::histogram, &probe);
    std::vector<uint8_t> raw = rawFrame<uint8_t>(kW * 2, kH, 8),
                         out(frameSamples<uint16_t>(kW, kH));
    HRESULT hr = S_OK;
    platform::Event ended{platform::Event::Kind::ManualReset, false};
    auto convert = [&] {
      if (row.still) {
        StillResult still;
        GrabStillFrame(s, &still, out.data(), nullptr, 24, nullptr, kW, kH, kW, kH, 0);
        return still.status < 0 ? E_UNEXPECTED : S_OK;
      }
      const FrameConvertRequest req{raw.data(), s.pixelFormat, out.data(), nullptr, nullptr, 1, 0};
      PLFrameHooks hooks(s);
      if (!IsHighBitFormat(s.pixelFormat)) return hooks.PL_ProcessFrame8(req);
      return s.hasFlag(LUMORIX_FLAG_MONO) ? hooks.PL_ProcessMono16(req)
                                          : hooks.PL_ProcessRaw16(req);
    };
    std::thread converting([&] {
      hr = convert();
      ended.set();
    });
    if (!ended.wait(kHookWaitMs)) {
      std::fprintf(stderr, "%s: the delete inside the hook waits for its own frame\n", row.name);
      std::_Exit(1);
    }
    converting.join();
    EXPECT_TRUE(probe.deleted) << row.name;
    EXPECT_EQ(reopened, contrast) << row.name << ": the settings were saved after the delete";
    EXPECT_EQ(hr, E_UNEXPECTED) << row.name << ": the frame went on past the hook";
    delete probe.owned;  // none when the hook ran
  }
}

}  // namespace
}  // namespace zxtest
