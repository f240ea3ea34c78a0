// Streaming end to end on the fake model: start, pulls, stills, triggers, restarts and stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "core/stream/delivery.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/pull_api.h"
#include "kernels/dispatch.h"
#include "platform/clock.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using namespace zxstream;

TEST(StreamSizes, RotatedImagesNeedTheirOwnRowPadding) {
  EXPECT_EQ(ImageBytesAnyTurn(24, 1024, 770), 2367488u);
  EXPECT_EQ(ImageBytes(24, DeliveredShape(2048, 1534, 1, true)), 9428992u);
  EXPECT_EQ(ImageBytes(24, DeliveredShape(2048, 1534, 1, false)), 9428992u - 4096u);
  const ImageShape binned = DeliveredShape(1000, 800, 3, false);
  EXPECT_EQ(binned.width, 332u);
  EXPECT_EQ(binned.height, 266u);
}

TEST(StreamStart, PinPullsRisingFramesAndStopIsPrompt) {
  FakeModel cam;
  ASSERT_EQ(cam.start(), S_OK);
  EXPECT_EQ(cam.start(), E_UNEXPECTED);
  std::vector<uint8_t> buffer(pinBytes(1024, 770));
  uint32_t last = 0, pulled = 0;
  while (pulled < 100) {
    const HRESULT hr =
        cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr);
    ASSERT_TRUE(hr == S_OK || hr == S_FALSE);
    if (hr != S_OK) continue;
    uint32_t sequence;
    std::memcpy(&sequence, buffer.data(), 4);
    EXPECT_GT(sequence, last);
    last = sequence;
    ++pulled;
  }
  const auto begin = Clock::now();
  EXPECT_EQ(cam.stop(), S_OK);
  EXPECT_LT(Clock::now() - begin, std::chrono::seconds(1));
  EXPECT_FALSE(cam.hasThreads());
}

TEST(StreamStart, ShortPinBufferFailsAndTheFrameGoesBack) {
  FakeModel cam;
  ASSERT_EQ(cam.start(), S_OK);
  std::vector<uint8_t> buffer(pinBytes(1024, 770));
  HRESULT hr = S_FALSE;
  while (hr == S_FALSE) hr = cam.PullFrameForPin(buffer.data(), pinBytes(1024, 770) - 1, nullptr);
  EXPECT_EQ(hr, E_FAIL);
  cam.stop();
  EXPECT_EQ(cam.buffers().freeList().size(), 3u);
}

// A longer buffer is sized for another connected size: the frame would reach the host as a
// mis-sized picture, so it is refused as a short one is.
TEST(StreamStart, LongPinBufferFailsAndTheFrameGoesBack) {
  for (const uint32_t bytes : {pinBytes(1024, 770) + 4, pinBytes(2048, 1534)}) {
    SCOPED_TRACE(bytes);
    FakeModel cam;
    ASSERT_EQ(cam.start(), S_OK);
    std::vector<uint8_t> buffer(bytes);
    HRESULT hr = S_FALSE;
    while (hr == S_FALSE) hr = cam.PullFrameForPin(buffer.data(), bytes, nullptr);
    EXPECT_EQ(hr, E_FAIL);
    cam.stop();
    EXPECT_EQ(cam.buffers().freeList().size(), 3u);
  }
}

TEST(StreamStart, RotatedPinBufferIsCheckedAgainstTheTurnedImage) {
  FakeModelConfig config;
  config.previews = {{2048, 1534, 1, 1}};
  config.stillCount = 1;
  FakeModel cam(config);
  cam.rotated = true;
  ASSERT_EQ(cam.start(), S_OK);
  std::vector<uint8_t> buffer(9428992);
  HRESULT hr = S_FALSE;
  while (hr == S_FALSE) hr = cam.PullFrameForPin(buffer.data(), 9428992 - 4096, nullptr);
  EXPECT_EQ(hr, E_FAIL);
  hr = S_FALSE;
  while (hr == S_FALSE) hr = cam.PullFrameForPin(buffer.data(), 9428992, nullptr);
  EXPECT_EQ(hr, S_OK);
}

TEST(StreamStart, OpenFailuresStopTheSensorAndLeaveNoThread) {
  for (int which = 0; which < 2; ++which) {
    FakeModel cam;
    (which == 0 ? cam.openResult : cam.openCameraResult) = static_cast<HRESULT>(0x80070005);
    EXPECT_EQ(cam.start(), E_FAIL);
    EXPECT_FALSE(cam.hasThreads());
    EXPECT_FALSE(cam.started());
    const auto calls = cam.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "StopSensor"), calls.end());
  }
}

TEST(StreamStart, ThreadCreationFailureFailsWithoutHanging) {
  for (int nth = 1; nth <= 2; ++nth) {
    FakeModel cam;
    BaseImpl::FailThreadStartAt(nth);
    EXPECT_EQ(cam.start(
                  nullptr, nullptr, nullptr, nullptr, nullptr, [](uint32_t, void*) {}, nullptr),
              E_FAIL);
    BaseImpl::FailThreadStartAt(0);
    EXPECT_FALSE(cam.hasThreads());
  }
}

// A restart whose start step fails reports that failure and leaves a fully stopped camera, which
// the host can start again, not a "started" one without a grabber.
TEST(StreamRestart, AFailedStartStepIsReturnedAfterAFullStop) {
  const HRESULT denied = static_cast<HRESULT>(0x80070005);
  const struct {
    const char* name;
    bool openCamera;
    int breakWith;  // 0 the device open, 1 the model's camera open, 2 the grabber thread
    HRESULT expected;
    bool bySpeed = false;  // a speed change on a transport that restarts for it
  } rows[] = {
      {"device open", true, 0, denied},
      {"camera open", true, 1, denied},
      {"grabber thread", false, 2, E_OUTOFMEMORY},
      {"speed, device open", true, 0, denied, true},
      {"speed, camera open", true, 1, denied, true},
  };
  for (const auto& row : rows) {
    FakeModel cam;
    ASSERT_EQ(cam.start(), S_OK) << row.name;
    if (row.breakWith == 2) BaseImpl::FailThreadStartAt(1);
    (row.breakWith == 0 ? cam.openResult : cam.openCameraResult) =
        row.breakWith < 2 ? denied : S_OK;
    cam.usb().deferSpeed = row.bySpeed;
    EXPECT_EQ(row.bySpeed ? cam.put_Speed(1) : cam.RestartStream(row.openCamera, false, [] {}),
              row.expected)
        << row.name;
    BaseImpl::FailThreadStartAt(0);
    EXPECT_FALSE(cam.started()) << row.name;
    EXPECT_FALSE(cam.hasThreads()) << row.name;
    const auto calls = cam.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "StopSensor"), row.openCamera ? 2 : 1)
        << row.name << ": parked for the reopen, then the full stop";
    cam.openResult = S_OK;
    cam.openCameraResult = S_OK;
    EXPECT_EQ(cam.start(), S_OK) << row.name;
    EXPECT_TRUE(waitFor([&] { return cam.framesGrabbed() > 0; })) << row.name;
  }
}

TEST(StreamDelivery, PullQueueHoldsThreeFramesOfTheTurnedSize) {
  FakeModel cam;
  EventLog log;
  ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log), S_OK);
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= 3; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(log.count(4), 3u);  // nobody pulled: the producer waits
  LumorixFrameEntry entry{};
  ASSERT_EQ(cam.PopFrame(&entry), S_OK);
  ASSERT_NE(entry.data, nullptr);
  EXPECT_EQ(entry.info.width, 1024u);
  EXPECT_EQ(cam.ReturnFrame(&entry), S_OK);
  // The returned entry lets the producer fill again; PullImage's refusals are in
  // StreamDelivery.PullImageTable.
  ASSERT_TRUE(waitFor([&] { return log.count(4) >= 4; }));
  cam.stop();
}

TEST(StreamTrigger, TriggerThreePassesExactlyThree) {
  FakeModel cam;
  cam.usb().triggerMode = 1;
  ASSERT_EQ(cam.start(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(cam.framesGrabbed(), 0u);
  EXPECT_EQ(cam.trigger(3), S_OK);
  std::vector<uint8_t> buffer(pinBytes(1024, 770));
  int pulled = 0;
  const auto end = Clock::now() + std::chrono::milliseconds(200);
  platform::Event tick(platform::Event::Kind::ManualReset, true);
  while (Clock::now() < end)
    if (cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), &tick) == S_OK)
      ++pulled;
  EXPECT_EQ(pulled, 3);
  EXPECT_EQ(cam.framesGrabbed(), 3u);
  EXPECT_EQ(cam.SnapForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr),
            E_UNEXPECTED);
  cam.stop();
}

// The largest count means "until stopped": more frames than any finite count would pass. Tiny
// frames with no wait between them keep the run short; the bound is generous, since under wine
// on a busy machine 65535 frames have taken over 30 s.
TEST(StreamTrigger, LargestCountIsContinuous) {
  FakeModelConfig config;
  config.previews = {{16, 8, 1, 1}};
  config.stillCount = 1;
  config.frameIntervalMs = 0;
  FakeModel cam(config);
  cam.usb().triggerMode = 1;
  std::atomic<uint32_t> frames{0};
  const LumorixDataCallbackV2 count = [](const uint8_t* data, const LumorixFrameInfo*, int32_t,
                                         void* context) {
    if (data) ++*static_cast<std::atomic<uint32_t>*>(context);
  };
  ASSERT_EQ(cam.start(nullptr, count, nullptr, nullptr, &frames), S_OK);
  ASSERT_EQ(cam.trigger(0xFFFF), S_OK);
  EXPECT_TRUE(waitFor([&] { return frames.load() >= 0xFFFFu; }, 120000)) << frames.load();
  EXPECT_TRUE(waitFor([&] { return frames.load() > 0xFFFFu + 100; }, 2000)) << frames.load();
  cam.stop();
}

TEST(StreamStill, SnapForPinSwitchesToTheStillAndBack) {
  FakeModel cam;
  ASSERT_EQ(cam.put_eStillSize(1), S_OK);
  ASSERT_EQ(cam.start(), S_OK);
  std::vector<uint8_t> still(pinBytes(2048, 1534));
  EXPECT_EQ(cam.SnapForPin(still.data(), static_cast<uint32_t>(still.size()) - 1, nullptr), E_FAIL);
  EXPECT_EQ(cam.runState(), RunState::Running);
  EXPECT_EQ(cam.SnapForPin(still.data(), static_cast<uint32_t>(still.size()), nullptr), S_OK);
  EXPECT_EQ(still[0], 0x5A);
  const auto calls = cam.calls();
  const std::vector<std::string> tail(calls.end() - 3, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"SetResolution 1 still", "grabStill 1",
                                            "SetResolution 0 preview"}));
  EXPECT_EQ(cam.runState(), RunState::Running);
  cam.stillStatus = -1;
  EXPECT_EQ(cam.SnapForPin(still.data(), static_cast<uint32_t>(still.size()), nullptr), E_FAIL);
  std::vector<uint8_t> frame(pinBytes(1024, 770));
  EXPECT_EQ(cam.PullFrameForPin(frame.data(), static_cast<uint32_t>(frame.size()), nullptr),
            E_FAIL);
  cam.stop();
  // Stopped, the failure is over: a pin that pulls once more gets no frame, not an error.
  EXPECT_EQ(cam.PullFrameForPin(frame.data(), static_cast<uint32_t>(frame.size()), nullptr),
            S_FALSE);
}

// A cancelled still (-2) is no still and the stream goes on; a failed one ends the stream. Both
// ways in: the pin's still and a snap at another index, served by the fill-buffer thread.
TEST(StreamStill, CancelledStillKeepsStreamingAFailedOneEndsIt) {
  const struct {
    bool pin;
    int32_t status;
    bool continues;
  } table[] = {{true, -2, true}, {true, -1, false}, {false, -2, true}, {false, -1, false}};
  for (const auto& row : table) {
    const std::string name = std::string(row.pin ? "pin " : "snap ") + std::to_string(row.status);
    FakeModel cam;
    ASSERT_EQ(cam.put_eStillSize(1), S_OK);
    ASSERT_EQ(cam.start([](const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {}), S_OK);
    cam.stillStatus = row.status;
    if (row.pin) {
      std::vector<uint8_t> still(pinBytes(2048, 1534));
      EXPECT_EQ(cam.SnapForPin(still.data(), static_cast<uint32_t>(still.size()), nullptr),
                row.status == -2 ? S_FALSE : E_FAIL)
          << name;
    } else {
      ASSERT_EQ(cam.Snap(1, 1, 0), S_OK);
      ASSERT_TRUE(waitFor([&] { return cam.calls().back() == "SetResolution 0 preview"; })) << name;
    }
    const uint32_t before = cam.framesGrabbed();
    EXPECT_EQ(waitFor([&] { return cam.framesGrabbed() > before + 3; }, 500), row.continues)
        << name;
    EXPECT_EQ(cam.grabStatus() >= 0, row.continues) << name;
    cam.stop();
  }
}

// Nothing would park the grabber: the still fails at once instead of waiting for it.
TEST(StreamStill, StillAfterTheGrabberDiedFailsAtOnce) {
  FakeModel cam;
  cam.script({GrabStep{}, GrabStep{GrabStep::Result, -1}});
  ASSERT_EQ(cam.put_eStillSize(1), S_OK);
  ASSERT_EQ(cam.start(), S_OK);
  ASSERT_TRUE(waitFor([&] { return cam.grabStatus() < 0; }));
  std::atomic<HRESULT> result{E_PENDING};
  std::thread pin([&] {
    std::vector<uint8_t> still(pinBytes(2048, 1534));
    result = cam.SnapForPin(still.data(), static_cast<uint32_t>(still.size()), nullptr);
  });
  EXPECT_TRUE(waitFor([&] { return result.load() != E_PENDING; }, 2000));
  cam.stop();  // frees a still that waits for the grabber
  pin.join();
  EXPECT_EQ(result.load(), E_FAIL);
}

TEST(StreamRestart, RestartWhilePinPullsKeepsItsBuffer) {
  FakeModel cam;
  ASSERT_EQ(cam.start(), S_OK);
  std::atomic<bool> done{false};
  std::atomic<int> ok{0};
  std::thread pin([&] {
    std::vector<uint8_t> buffer(pinBytes(1024, 770));
    while (!done)
      if (cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr) == S_OK)
        ++ok;
  });
  for (int i = 0; i < 20; ++i) EXPECT_EQ(cam.RestartStream(false, false, [] {}), S_OK);
  ASSERT_TRUE(waitFor([&] { return ok.load() > 20; }));
  done = true;
  cam.stop();
  pin.join();
  EXPECT_EQ(cam.buffers().freeList().size(), 3u);
}

// A restart while the pin converts a record waits for the conversion (it reads the state the
// restart rebuilds), so the record is never written while it is read; afterwards frames go on.
TEST(StreamRestart, RestartWaitsForTheRecordThePinConverts) {
  FakeModel cam;
  platform::Event entered(platform::Event::Kind::ManualReset, false);
  platform::Event release(platform::Event::Kind::ManualReset, false);
  std::atomic<uint32_t> stampIn{0}, stampOut{0};
  cam.onConvert = [&](const uint8_t* raw) {
    uint32_t stamp = 0;
    std::memcpy(&stamp, raw, 4);
    stampIn = stamp;
    entered.set();
    release.wait(5000);
    std::memcpy(&stamp, raw, 4);
    stampOut = stamp;
  };
  ASSERT_EQ(cam.start(), S_OK);
  std::atomic<HRESULT> pulled{S_FALSE};
  std::thread pin([&] {
    std::vector<uint8_t> buffer(pinBytes(1024, 770));
    HRESULT hr = S_FALSE;
    for (int tries = 0; hr == S_FALSE && tries < 1000; ++tries)
      hr = cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr);
    pulled = hr;
  });
  ASSERT_TRUE(entered.wait(5000));
  std::atomic<bool> restarted{false};
  std::thread host([&] {
    EXPECT_EQ(cam.RestartStream(false, false, [] {}), S_OK);
    restarted = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(restarted.load());  // still waiting for the conversion
  release.set();
  pin.join();
  host.join();
  EXPECT_EQ(pulled.load(), S_OK);
  EXPECT_EQ(stampOut.load(), stampIn.load());
  // Frames go on: a consumer gets a new frame. Counting grabs would not show it, as the grabber
  // rests once every record is ready and nobody takes one.
  std::vector<uint8_t> buffer(pinBytes(1024, 770));
  HRESULT next = S_FALSE;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (next == S_FALSE && std::chrono::steady_clock::now() < until)
    next = cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr);
  EXPECT_EQ(next, S_OK);
  cam.stop();
  EXPECT_EQ(cam.buffers().freeList().size(), 3u);
}

// A host's hook running inside a pin's conversion that stops, starts or restarts would wait for
// its own conversion: each is refused at once, and the stream goes on.
TEST(StreamRestart, StopOrRestartFromInsideAConversionIsRefusedAtOnce) {
  FakeModel cam;
  std::atomic<bool> asked{false};
  std::atomic<HRESULT> stopped{S_OK}, restarted{S_OK}, started{S_OK};
  std::atomic<int64_t> tookMs{-1};
  cam.onConvert = [&](const uint8_t*) {
    if (asked.exchange(true)) return;
    const auto begin = Clock::now();
    stopped = cam.stop();
    restarted = cam.RestartStream(false, false, [] {});
    started = cam.start();
    tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
  };
  ASSERT_EQ(cam.start(), S_OK);
  std::vector<uint8_t> buffer(pinBytes(1024, 770));
  for (int pulls = 0; pulls < 2; ++pulls) {
    HRESULT hr = S_FALSE;
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (hr == S_FALSE && Clock::now() < until)
      hr = cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr);
    EXPECT_EQ(hr, S_OK) << "pull " << pulls;
  }
  ASSERT_TRUE(asked.load());
  EXPECT_EQ(stopped.load(), kWrongThread);
  EXPECT_EQ(restarted.load(), kWrongThread);
  EXPECT_EQ(started.load(), kWrongThread);
  EXPECT_LT(tookMs.load(), 1000);
  EXPECT_EQ(cam.stop(), S_OK);
}

// Every instruction set the processor offers, the scalar loops first; the best one after.
template <class Body>
void forEachIsa(Body body) {
  for (auto isa : {kernels::Isa::Scalar, kernels::Isa::Sse2, kernels::Isa::Avx2}) {
    if (isa > kernels::DetectedIsa()) continue;
    kernels::ForceIsa(isa);
    body(isa);
  }
  kernels::ForceIsa(kernels::Isa::Avx2);
}

std::vector<uint8_t> noise(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> v(bytes);
  for (auto& b : v) {
    seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
    b = static_cast<uint8_t>(seed >> 7);
  }
  return v;
}

template <class Sample>
std::vector<Sample> referenceBin(const std::vector<Sample>& frame, uint32_t w, uint32_t h,
                                 uint32_t factor, bool average, uint32_t bits) {
  const uint32_t ow = (w / factor) & ~1u, oh = (h / factor) & ~1u;
  std::vector<Sample> out(size_t{ow} * oh);
  for (uint32_t y = 0; y < oh; ++y)
    for (uint32_t x = 0; x < ow; ++x) {
      uint32_t sum = 0;
      for (uint32_t j = 0; j < factor; ++j)
        for (uint32_t i = 0; i < factor; ++i)
          sum += frame[size_t{y / 2 * 2 * factor + (y & 1) + 2 * j} * w + x / 2 * 2 * factor +
                       (x & 1) + 2 * i];
      out[size_t{y} * ow + x] =
          static_cast<Sample>(average ? sum / (factor * factor) : std::min(sum, (1u << bits) - 1));
    }
  return out;
}

// Odd sizes around the vector block widths, samples above the bit depth included: the output
// matches the reference and the whole buffer matches the scalar loops' (nothing else written).
template <class Sample>
void expectBinningOnEveryIsa(uint32_t w, uint32_t h, uint32_t factor, uint32_t bits, bool average) {
  const auto bytes = noise(size_t{w} * h * sizeof(Sample), w * 131 + h * 7 + bits);
  std::vector<Sample> frame(size_t{w} * h);
  std::memcpy(frame.data(), bytes.data(), bytes.size());
  const auto want = referenceBin(frame, w, h, factor, average, bits);
  std::vector<Sample> scalar;
  forEachIsa([&](kernels::Isa isa) {
    std::vector<Sample> data = frame;
    Delivery::BinRawFrame(reinterpret_cast<uint8_t*>(data.data()), w, h, factor, average, bits);
    ASSERT_EQ(std::vector<Sample>(data.begin(), data.begin() + want.size()), want)
        << w << "x" << h << " by " << factor << " bits " << bits << " average " << average
        << " isa " << int(isa);
    if (isa == kernels::Isa::Scalar) scalar = data;
    ASSERT_EQ(data, scalar) << w << "x" << h << " isa " << int(isa);
  });
}

TEST(StreamDelivery, BinningIsByteEqualOnEveryInstructionSet) {
  for (bool average : {false, true}) {
    for (uint32_t w : {1u, 5u, 7u, 31u, 63u, 65u, 67u, 127u, 129u, 131u, 133u, 259u})
      for (uint32_t h : {1u, 3u, 5u, 9u, 13u})
        for (uint32_t factor : {2u, 3u, 4u})
          for (uint32_t bits : {5u, 8u})
            expectBinningOnEveryIsa<uint8_t>(w, h, factor, bits, average);
    for (uint32_t w : {7u, 66u, 131u})
      for (uint32_t h : {5u, 12u})
        for (uint32_t bits : {10u, 12u, 16u})
          expectBinningOnEveryIsa<uint16_t>(w, h, 2, bits, average);
  }
  // Factors the delivery does not bin by leave the frame as it is.
  for (uint32_t factor : {1u, 5u}) {
    const auto frame = noise(size_t{64} * 8, factor);
    std::vector<uint8_t> data = frame;
    Delivery::BinRawFrame(data.data(), 64, 8, factor, true, 8);
    EXPECT_EQ(data, frame) << factor;
  }
}

// The grey and 32-bit outputs of 24-bit rows (blue, green, red) against their literal rules, on
// odd widths around the vector blocks, padded source rows and a wider pitch left untouched.
TEST(StreamDelivery, ConversionsOf24BitRowsAreByteEqualOnEveryInstructionSet) {
  struct Output {
    uint32_t bits;
    void (*pixel)(const uint8_t* bgr, uint8_t* out);
  };
  const Output outputs[] = {
      {8,
       [](const uint8_t* p, uint8_t* d) {
         // Each product truncated on its own, as the byte luma tables hold them.
         d[0] = static_cast<uint8_t>(int(p[2] * 0.299) + int(p[1] * 0.587) + int(p[0] * 0.114));
       }},
      {32, [](const uint8_t* p, uint8_t* d) { d[0] = p[0], d[1] = p[1], d[2] = p[2], d[3] = 0; }},
  };
  for (const Output& o : outputs)
    for (uint32_t w : {1u, 2u, 3u, 7u, 8u, 9u, 31u, 33u, 34u, 35u, 65u, 66u, 67u, 97u, 131u, 257u})
      for (uint32_t h : {1u, 3u, 7u}) {
        // Single rows are exactly 3 * w long, so a read past the row end is out of the buffer.
        const uint32_t srcRow = h == 1 ? 3 * w : uint32_t(DibRowBytes(24, w)) + 4;
        const uint32_t pitch = w * (o.bits / 8) + 5;
        auto src = noise(size_t{srcRow} * h, w * 17 + h);
        std::fill_n(src.begin(), std::min<size_t>(srcRow, 3 * size_t{w}), uint8_t{255});
        std::vector<uint8_t> want(size_t{pitch} * h, 0xA5);
        for (uint32_t y = 0; y < h; ++y)
          for (uint32_t x = 0; x < w; ++x)
            o.pixel(&src[size_t{y} * srcRow + 3 * x], &want[size_t{y} * pitch + x * (o.bits / 8)]);
        EXPECT_EQ(want[0], o.bits == 8 ? 254 : 255);  // white
        forEachIsa([&](kernels::Isa isa) {
          std::vector<uint8_t> dst(want.size(), 0xA5);
          PullApi::ConvertRows(src.data(), 24, srcRow, dst.data(), o.bits, pitch, w, h, false);
          ASSERT_EQ(dst, want) << o.bits << " bits " << w << "x" << h << " isa " << int(isa);
        });
      }
}

// The limiter ruling restated independently: the slots of passed frames, checked per slot.
bool referencePasses(std::vector<uint32_t>& passed, uint32_t slot, uint32_t limit) {
  const uint32_t period = 100 / limit;
  const uint32_t wide = 200 / limit >= 3 ? 200 / limit - 3 : 0;
  auto within = [&](uint32_t n) {
    uint32_t count = 0;
    for (uint32_t s : passed) count += (s < slot && slot - s <= n) ? 1 : 0;
    return count;
  };
  if (!passed.empty() && passed.back() == slot) return false;
  bool pass;
  if (period > 63 || wide > 63)
    pass = passed.empty() || slot - passed.back() >= period;
  else
    pass = within(period) == 0 || (within(period - 1) == 0 && within(wide) == 1);
  if (pass) passed.push_back(slot);
  return pass;
}

TEST(StreamDelivery, LimiterFollowsTheReferenceSlotBySlot) {
  for (uint32_t limit : {1u, 2u, 7u, 10u, 25u, 30u, 63u}) {
    CFrameRate rate;
    rate.setLimit(limit);
    std::vector<uint32_t> passed;
    for (uint32_t now = 10; now < 5000; now += 10)
      ASSERT_EQ(rate.limiterPasses(now), referencePasses(passed, now / 10, limit))
          << "limit " << limit << " at " << now;
  }
  // Bursts apart by gaps around the 64 slots of history: after a long gap nothing before it
  // counts.
  for (uint32_t limit : {2u, 10u, 25u, 63u})
    for (uint32_t gapSlots : {63u, 64u, 65u, 127u, 128u, 200u}) {
      CFrameRate rate;
      rate.setLimit(limit);
      std::vector<uint32_t> passed;
      uint32_t now = 10;
      for (int burst = 0; burst < 4; ++burst, now += gapSlots * 10)
        for (int k = 0; k < 5; ++k, now += 10)
          ASSERT_EQ(rate.limiterPasses(now), referencePasses(passed, now / 10, limit))
              << "limit " << limit << " gap " << gapSlots << " at " << now;
    }
  CFrameRate ten;
  ten.setLimit(10);
  std::vector<uint32_t> slots;
  for (uint32_t now = 0; now < 1000; now += 10)
    if (ten.limiterPasses(now)) slots.push_back(now / 10);
  ASSERT_GE(slots.size(), 3u);
  EXPECT_EQ(slots[2] - slots[1], 10u);
}

TEST(StreamDelivery, LostFramesCountForwardJumpsOnly) {
  CFrameRate rate;
  for (uint32_t s : {5u, 6u, 9u, 2u, 3u, 7u}) rate.onFrame(100, true, s);
  EXPECT_EQ(rate.lostFrames(), 2u + 3u);
}

TEST(StreamDelivery, FourCC) {
  EXPECT_EQ(Delivery::GetRawFourCC(1, 0, false), 0x42474752u);  // "RGGB"
  EXPECT_EQ(Delivery::GetRawFourCC(0, 7, false), 0x34343459u);
  EXPECT_EQ(Delivery::GetRawFourCC(2, 0, true), 0x59595959u);
  EXPECT_EQ(Delivery::GetRawFourCC(0, 12, false), 0u);
}

// A raw frame names the pattern at its region's first sample: an odd column swaps the colours
// of a row, an odd row the rows; the codes are those the demosaic hook gets. No region: the
// sensor's own order; an order of 4 reads as 0.
TEST(StreamDelivery, RawFourCCFollowsTheRegionsOrigin) {
  constexpr uint32_t kWhole = ~0u;
  const struct {
    uint32_t bayer, left, top;
    const char* code;
  } table[] = {
      {0, 0, 0, "GRBG"},      {0, 3, 0, "RGGB"},      {0, 0, 5, "BGGR"},     {0, 7, 9, "GBRG"},
      {1, 2, 4, "RGGB"},      {1, 1, 0, "GRBG"},      {1, 0, 1, "GBRG"},     {1, 1, 3, "BGGR"},
      {2, 0, 2, "BGGR"},      {2, 5, 0, "GBRG"},      {2, 0, 7, "GRBG"},     {2, 3, 3, "RGGB"},
      {3, 4, 0, "GBRG"},      {3, 1, 2, "BGGR"},      {3, 6, 1, "RGGB"},     {3, 9, 1, "GRBG"},
      {1, kWhole, 0, "RGGB"}, {3, kWhole, 0, "GBRG"}, {4, kWhole, 0, "GRBG"}};
  for (const auto& row : table) {
    FakeModel cam;
    cam.setRawOption(true);
    cam.bayer = row.bayer;
    if (row.left != kWhole)
      cam.setRecordRegion(SensorRect{row.left, row.top, row.left + 64, row.top + 32});
    HeaderLog log;
    ASSERT_EQ(cam.start(HeaderLog::onData, nullptr, nullptr, nullptr, &log), S_OK);
    LumorixFrameHeader header{};
    ASSERT_TRUE(log.first(header));
    cam.stop();
    char code[5] = {};
    std::memcpy(code, &header.compression, 4);
    EXPECT_STREQ(code, row.code) << "order " << row.bayer << " at " << row.left << "," << row.top;
  }
}

// The format the next raw frame carries, asked before it comes: one row per answer. A region
// stored at an odd origin names the pattern at its first sample, as the delivered header does.
TEST(StreamDelivery, RawFormatAnswers) {
  constexpr uint32_t kNoRegion = ~0u;
  constexpr uint8_t kUnknown = kPixelFormatCount;  // no FourCC names it
  const struct {
    const char* name;
    bool helper, grey, stillsDiffer;
    uint8_t format;
    uint32_t bayer, left, top;
    HRESULT result;
    const char* code;
    uint32_t bits;
  } table[] = {
      {"still size differs", true, false, true, 0, 1, kNoRegion, 0, E_NOTIMPL, "", 0},
      {"no FourCC", true, false, false, kUnknown, 1, kNoRegion, 0, E_UNEXPECTED, "", 0},
      {"no pipeline helper", false, false, false, 0, 1, kNoRegion, 0, E_UNEXPECTED, "", 0},
      {"Bayer, whole frame", true, false, false, 0, 1, kNoRegion, 0, S_OK, "RGGB", 8},
      {"Bayer, odd column", true, false, false, 0, 1, 3, 0, S_OK, "GRBG", 8},
      {"Bayer, odd row", true, false, false, 2, 1, 0, 5, S_OK, "GBRG", 12},
      {"Bayer, odd both", true, false, false, 4, 2, 1, 1, S_OK, "RGGB", 16},
      {"packed 4:2:2", true, false, false, kPixelYuv422, 1, kNoRegion, 0, S_OK, "VUYY", 16},
      {"grey camera", true, true, false, 2, 1, 3, 1, S_OK, "YYYY", 12},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    FakeModelConfig config;
    config.withHelper = row.helper;
    config.flags = row.grey ? LUMORIX_FLAG_MONO : 0;
    if (row.stillsDiffer) config.stills = {{2048, 1534, 1, 1}, {1024, 770, 1, 1}};
    FakeModel cam(config);
    if (cam.fakeHelper()) cam.fakeHelper()->pixelFormat = row.format;
    cam.bayer = row.bayer;
    if (row.left != kNoRegion)
      cam.usb().requestRoi(SensorRect{row.left, row.top, row.left + 64, row.top + 32});
    uint32_t fourcc = 0, bits = 0;
    ASSERT_EQ(cam.get_RawFormat(&fourcc, &bits), row.result);
    if (row.result != S_OK) continue;
    char code[5] = {};
    std::memcpy(code, &fourcc, 4);
    EXPECT_STREQ(code, row.code);
    EXPECT_EQ(bits, row.bits);
    EXPECT_EQ(cam.get_RawFormat(nullptr, &bits), E_POINTER);
    EXPECT_EQ(cam.get_RawFormat(&fourcc, nullptr), E_POINTER);
  }
}

}  // namespace
