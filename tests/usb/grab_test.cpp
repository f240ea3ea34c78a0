// The grab loop against the simulated camera on a virtual clock: frames, restarts, errors,
// time-outs, teardown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "sim_fixture.h"

using namespace testing_usb;
using sim::StreamFault;

namespace {

constexpr uint32_t kBlock = 4096;

struct Streaming {
  Streaming(Flavour flavour, uint32_t frameWidth, uint32_t frameHeight, uint32_t trailer = 0)
      : rig(flavour), usb(kBlock, 2, nullptr, rig.id().c_str()) {
    rig.camera->withFamily([&](sim::SensorFamily& f) {
      auto& fixed = static_cast<sim::FixedFamily&>(f);
      fixed.setGeometry(frameWidth, frameHeight);
      fixed.setTrailer(trailer);
      return 0;
    });
    frameBytes = frameWidth * frameHeight + trailer;
    frame.assign(frameBytes, 0);
    width = frameWidth;
    height = frameHeight;
    EXPECT_EQ(usb.bInitUSB(true), S_OK);
    rig.camera->log().clear();
  }
  ~Streaming() { usb.bFiniUSB(); }

  int32_t grab(uint32_t timeoutMs = 5000, platform::Event* stop = nullptr) {
    const int32_t r =
        usb.EzusbGrabFrame(frame.data(), stop, kBlock, frameBytes, timeoutMs, 0, nullptr);
    EXPECT_EQ(rig.camera->outstandingReads(), 0u) << "a read outlived the grab";
    return r;
  }
  std::vector<uint8_t> expected(uint32_t frameNo) const {
    std::vector<uint8_t> out(frameBytes, sim::kTrailerByte);
    sim::RenderPattern(out.data(), width, height, frameNo);
    return out;
  }
  std::vector<std::string> timeline() { return rig.camera->log().pipeTimeline(); }

  SimRig rig;
  CCmos usb;
  uint32_t frameBytes, width, height;
  std::vector<uint8_t> frame;
};

class Grab : public ::testing::TestWithParam<Flavour> {};

// Frames whose length is a multiple of the block end with a zero-length read; others with a short
// one.
TEST_P(Grab, FramesAreByteExactAcrossBlockLayouts) {
  struct Case {
    uint32_t width, height, trailer;
  };
  const Case cases[] = {{64, 192, 0},    // 3 blocks + zero-length read
                        {64, 192, 100},  // 3 blocks + 100
                        {100, 30, 0},    // one short block
                        {128, 256, 1}};  // 8 blocks + 1
  for (const Case& c : cases) {
    Streaming s(GetParam(), c.width, c.height, c.trailer);
    for (uint32_t n = 0; n < 3; ++n) {
      ASSERT_EQ(s.grab(), 1) << c.width << "x" << c.height << "+" << c.trailer;
      EXPECT_EQ(s.frame, s.expected(n)) << "frame " << n;
    }
    EXPECT_TRUE(s.timeline().empty());
  }
}

TEST_P(Grab, ResetBudgetRunsOutAndACompletedReadRefillsIt) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::ReadError, 0, 0, 121, 3});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s.grab(), 0);
  EXPECT_EQ(s.usb.resetBudget(), 2);
  EXPECT_EQ(s.grab(), 1);
  EXPECT_EQ(s.usb.resetBudget(), 5);
  s.rig.camera->addStreamFault({StreamFault::Kind::ReadError, 0, 0, 121, 6});
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s.grab(), 0) << i;
  EXPECT_EQ(s.usb.resetBudget(), 0);
  EXPECT_EQ(s.grab(), -1);
}

// One fault in the stream: what the grabs return, how the pipe's steps begin ("|" between them;
// "": none at all; null: not checked), the reset budget left, the last frame's number and whether
// the failure latched.
constexpr int32_t kNoGrab = 99;
constexpr int kUnchecked = -1;
using Kind = StreamFault::Kind;
struct FaultCase {
  const char* name;
  uint32_t width, height, trailer;
  Kind kind;
  uint32_t frame, block, error;
  bool genFailure;  // the device answers the failure probe
  int32_t first, second;
  const char* steps;
  int resetBudget, lastFrame;
  bool latched, kernelOnly;
};

const FaultCase kFaults[] = {
    // A short block restarts once, then gives up.
    {"short block", 128, 256, 0, Kind::ShortBlock, 0, 1, 31, false, 0, kNoGrab, nullptr, kUnchecked,
     kUnchecked, false, false},
    // The bad block ends its frame, so the restart lines up with the next one.
    {"long last block", 64, 192, 100, Kind::LongBlock, 0, 3, 31, false, 1, kNoGrab, nullptr,
     kUnchecked, 1, false, false},
    {"read error", 64, 192, 0, Kind::ReadError, 0, 0, 121, false, 0, kNoGrab,
     "abort|pause 20|reset|pause 50", 4, kUnchecked, false, false},
    {"general failure", 64, 192, 0, Kind::ReadError, 0, 0, 31, true, -3, kNoGrab, nullptr,
     kUnchecked, kUnchecked, true, false},
    // The kernel driver asks the device about error 31; without its failure byte the pipe resets.
    {"error 31, device fine", 64, 192, 0, Kind::ReadError, 0, 0, 31, false, 0, kNoGrab, nullptr,
     kUnchecked, kUnchecked, false, true},
    {"aborted read", 64, 192, 0, Kind::ReadError, 0, 0, 995, false, 0, kNoGrab, "", 5, kUnchecked,
     false, false},
    {"failed submit", 64, 192, 0, Kind::FailSubmit, 0, 0, 121, false, 0, 1, "abort", kUnchecked,
     kUnchecked, false, false},
    {"dropped frame", 64, 192, 0, Kind::DropFrame, 1, 0, 31, false, 1, 1, nullptr, kUnchecked, 2,
     false, false},
};

std::string joined(const std::vector<std::string>& steps) {
  std::string out;
  for (const auto& step : steps) out += (out.empty() ? "" : "|") + step;
  return out;
}

TEST_P(Grab, OneStreamFault) {
  for (const FaultCase& c : kFaults) {
    if (c.kernelOnly && GetParam() != Flavour::Kernel) continue;
    SCOPED_TRACE(c.name);
    Streaming s(GetParam(), c.width, c.height, c.trailer);
    s.rig.camera->setGenFailure(c.genFailure);
    s.rig.camera->addStreamFault({c.kind, c.frame, c.block, c.error});
    EXPECT_EQ(s.grab(), c.first);
    EXPECT_EQ(c.second == kNoGrab ? kNoGrab : s.grab(), c.second);
    const std::string steps = joined(s.timeline());
    const std::string begins = !c.steps ? "" : *c.steps ? steps.substr(0, strlen(c.steps)) : steps;
    EXPECT_EQ(begins, c.steps ? c.steps : "");
    EXPECT_EQ(c.resetBudget == kUnchecked ? kUnchecked : s.usb.resetBudget(), c.resetBudget);
    EXPECT_TRUE(c.lastFrame == kUnchecked || s.frame == s.expected(c.lastFrame));
    EXPECT_EQ(s.usb.generalFailure(), c.latched);
  }
}

// Time-outs: a pipe reset and 0, or -6 early in trigger mode with a no-packet time-out; a stop
// event ends the wait at once with -2 and no reset.
TEST_P(Grab, StalledStreamTimesOutOrStops) {
  constexpr uint64_t kNoStop = 0;
  struct Case {
    uint8_t trigger;
    uint32_t noPacketMs;
    uint64_t stopAfterMs;
    int32_t result;
    uint64_t waitedMs;
  };
  const Case cases[] = {{0, 0, kNoStop, 0, 5000},
                        {0, 500, kNoStop, 0, 5000},
                        {1, 500, kNoStop, -6, 500},
                        {0, 0, 3, -2, 3}};
  for (const Case& c : cases) {
    Streaming s(GetParam(), 64, 192);
    s.usb.triggerMode = c.trigger;
    s.usb.noPacketTimeoutMs = c.noPacketMs;
    s.rig.camera->addStreamFault({StreamFault::Kind::Stall, 0});
    platform::Event stop;
    const uint64_t t0 = s.rig.clock.now();
    if (c.stopAfterMs != kNoStop) s.rig.clock.at(t0 + c.stopAfterMs, nullptr, [&] { stop.set(); });
    EXPECT_EQ(s.grab(5000, &stop), c.result);
    const uint64_t waited = s.rig.clock.now() - t0;
    EXPECT_GE(waited, c.waitedMs);
    EXPECT_LT(waited, c.waitedMs + 100);
    if (c.stopAfterMs != kNoStop) continue;
    const auto t = s.timeline();
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(t.begin(), t.begin() + 4),
              (std::vector<std::string>{"abort", "pause 20", "reset", "pause 30"}));
  }
}

// In trigger mode reads may never end by themselves, so a drain aborts them at once instead of
// failing when its bound runs out; bounds within the abort wait, with and without a no-packet
// time-out.
TEST_P(Grab, TriggerModeDrainAbortsFirst) {
  const struct { uint32_t timeoutMs, noPacketMs; } cases[] = {{5000, 0}, {5000, 1000}, {200, 0}};
  for (const auto& c : cases) {
    Streaming s(GetParam(), 128, 256);
    s.usb.triggerMode = 1;
    s.usb.noPacketTimeoutMs = c.noPacketMs;
    s.rig.camera->addStreamFault({StreamFault::Kind::ShortBlock, 0, 1});
    s.rig.camera->addStreamFault({StreamFault::Kind::Stall, 1});
    const uint64_t t0 = s.rig.clock.now();
    EXPECT_EQ(s.grab(c.timeoutMs), 0) << c.timeoutMs << " " << c.noPacketMs;
    EXPECT_LT(s.rig.clock.now() - t0, 100u) << c.timeoutMs << " " << c.noPacketMs;
    EXPECT_EQ(s.timeline(), std::vector<std::string>{"abort"});
  }
}

// Arguments the slots cannot serve: a transfer size outside the buffers reads nothing; more blocks
// than the frame holds never write past it.
TEST_P(Grab, BadArgumentsNeverOverrun) {
  struct Case {
    uint32_t size, frameBytes, blocks;
    int32_t result;
    bool readsNothing;
  };
  const Case cases[] = {
      {0, 64 * 192, 0, -1, true}, {kBlock + 1, 64 * 192, 0, -1, true}, {kBlock, 100, 8, 0, false}};
  for (const Case& c : cases) {
    Streaming s(GetParam(), 64, 192, 100);
    std::vector<uint8_t> frame(c.frameBytes);
    EXPECT_EQ(
        s.usb.EzusbGrabFrame(frame.data(), nullptr, c.size, c.frameBytes, 5000, c.blocks, nullptr),
        c.result);
    if (!c.readsNothing) continue;
    EXPECT_EQ(s.rig.camera->framesSent(), 0u);
    EXPECT_TRUE(s.timeline().empty());
  }
}

// An abort the driver holds past its bound strands the slots; they are not reused until the reads
// end.
TEST_P(Grab, AbortHeldPastTheBoundStrandsItsSlots) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->setAbortDelayMs(6000);
  platform::Event stop;
  stop.set();
  EXPECT_EQ(s.usb.EzusbGrabFrame(s.frame.data(), &stop, kBlock, s.frameBytes, 5000, 0, nullptr),
            -1);
  EXPECT_EQ(s.rig.camera->outstandingReads(), 4u);
  s.rig.camera->setAbortDelayMs(0);
  EXPECT_EQ(s.usb.EzusbGrabFrame(s.frame.data(), nullptr, kBlock, s.frameBytes, 5000, 0, nullptr),
            -1);
  EXPECT_EQ(s.rig.camera->outstandingReads(), 4u) << "a held slot was submitted again";
  s.rig.clock.advance(2000);
  EXPECT_EQ(s.rig.camera->outstandingReads(), 0u);
  EXPECT_EQ(s.grab(), 1);
}

TEST_P(Grab, FiniParksBuffersThatAReadStillHolds) {
  const uint32_t parkedBefore = usb::TransferSlots::parkedCount();
  {
    Streaming s(GetParam(), 64, 192);
    s.rig.camera->setAbortDelayMs(20000);
    platform::Event stop;
    stop.set();
    EXPECT_EQ(s.usb.EzusbGrabFrame(s.frame.data(), &stop, kBlock, s.frameBytes, 5000, 0, nullptr),
              -1);
    s.usb.bFiniUSB();
    EXPECT_FALSE(s.usb.isOpen());
    EXPECT_EQ(usb::TransferSlots::parkedCount(), parkedBefore + 4);
    s.rig.clock.advance(20000);
    EXPECT_EQ(usb::TransferSlots::parkedCount(), parkedBefore);
  }
}

TEST_P(Grab, FailedAllocationLeavesNothingOpen) {
  SimRig rig(GetParam());
  CCmos usb(kBlock, 2, nullptr, rig.id().c_str());
  platform::AlignedBuffer::failAllocation(3);
  EXPECT_EQ(usb.bInitUSB(true), E_OUTOFMEMORY);
  platform::AlignedBuffer::failAllocation(0);
  EXPECT_FALSE(usb.isOpen());
  EXPECT_TRUE(rig.camera->log().requests(0x01).empty());
  EXPECT_EQ(usb.bInitUSB(false), S_OK);
  EXPECT_EQ(usb.bInitUSB(false), S_OK);  // a second call frees the first one's resources
  EXPECT_TRUE(usb.isOpen());
  // A system init sends the close, then 1, 0, 1.
  rig.camera->log().clear();
  usb.bFiniUSB();
  ASSERT_EQ(usb.bInitUSB(true), S_OK);
  std::vector<uint32_t> values;
  for (auto& e : rig.camera->log().requests(0x01)) values.push_back(e.value);
  EXPECT_EQ(values, (std::vector<uint32_t>{0, 1, 0, 1}));
  EXPECT_EQ(rig.camera->systemInitValue(), 1);
}

// Slot counts: every count up to the bound is served, one more would overrun the slot array.
TEST(GrabSlots, CountsUpToTheBound) {
  using usb::TransferSlots;
  struct Case {
    uint32_t count;
    HRESULT result;
    uint32_t kept;
  };
  const Case cases[] = {{1, S_OK, 1},
                        {TransferSlots::kMaxSlots, S_OK, TransferSlots::kMaxSlots},
                        {TransferSlots::kMaxSlots + 1, E_INVALIDARG, 0}};
  for (const Case& c : cases) {
    TransferSlots slots;
    EXPECT_EQ(slots.allocate(c.count, kBlock), c.result) << c.count;
    EXPECT_EQ(slots.count(), c.kept) << c.count;
  }
}

TEST_P(Grab, FullResolutionWithTrailer) {
  sim::SimConfig config;
  config.bcdDevice = 3;
  SimRig rig(GetParam(), config, std::make_unique<sim::Usb3Mp31Family>());
  constexpr uint32_t w = kFullWidth, h = kFullHeight;
  CCmos usb(w * 128, 2, nullptr, rig.id().c_str());
  ASSERT_EQ(usb.bInitUSB(true), S_OK);
  for (auto& write : kFullWindowProgram) ASSERT_EQ(usb.bWriteSensor(write[0], write[1]), S_OK);
  std::vector<uint8_t> frame(w * h + 1), expected(w * h + 1, sim::kTrailerByte);
  for (uint32_t n = 0; n < 2; ++n) {
    ASSERT_EQ(usb.EzusbGrabFrame(frame.data(), nullptr, w * 128, w * h + 1, 5000, 0, nullptr), 1);
    sim::RenderPattern(expected.data(), w, h, n);
    EXPECT_TRUE(frame == expected) << n;
  }
  usb.bFiniUSB();
}

INSTANTIATE_TEST_SUITE_P(Flavours, Grab, ::testing::Values(Flavour::Kernel, Flavour::WinUsb),
                         flavourName);

// The region writers: event 11 only after the region mutex is free, so a sink may read it back.
class MappingCmos : public CCmos {
 public:
  using CCmos::CCmos;
  SensorRect* GetSensorRoi(const SensorRect* requested, SensorRect* out) override {
    *out = {requested->left + 1, requested->top + 1, requested->right + 1, requested->bottom + 1};
    return out;
  }
  void SetSensorRoi(const SensorRect* window) override { programmed = *window; }
  SensorRect programmed{};
};

TEST(GrabRoi, WriteRoiMapsProgramsRaisesElevenAndSkipsAnUnchangedFrameWindow) {
  MappingCmos usb(0, 0, nullptr, nullptr);
  struct Sink {
    MappingCmos* usb;
    std::vector<uint32_t> codes;
    SensorRect seen{};
  } sink{&usb, {}, {}};
  usb.setEventSink(
      [](void* context, uint32_t code) {
        auto* s = static_cast<Sink*>(context);
        s->codes.push_back(code);
        s->seen = s->usb->sensorWindow();  // would deadlock if raised under the mutex
      },
      &sink);
  usb.setRequestedRoi({10, 20, 110, 220});
  EXPECT_TRUE(usb.roiPending());
  usb.EzWriteRoi(100, 200);
  EXPECT_FALSE(usb.roiPending());
  EXPECT_EQ(usb.appliedRoi().right, 110u);
  EXPECT_EQ(usb.programmed.left, 11u);
  EXPECT_EQ(sink.seen.bottom, 221u);
  const SensorRect window{1, 2, 3, 4};
  usb.EzWriteRoiNotify(&window);
  EXPECT_EQ(usb.programmed.bottom, 4u);
  EXPECT_EQ(sink.codes, (std::vector<uint32_t>{11, 11}));
  // In frame mode an unchanged window is not written again.
  usb.frameMode = 1;
  usb.setRequestedRoi({0, 0, 100, 50});
  usb.EzWriteRoi(100, 50);
  usb.EzWriteRoi(100, 50);
  EXPECT_EQ(sink.codes.size(), 3u);
}

}  // namespace
