// The grab loop against the simulated camera on a virtual clock: frames, restarts, errors,
// time-outs, teardown.
#include <gtest/gtest.h>

#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "sim_fixture.h"

using namespace testing_usb;
using sim::StreamFault;

namespace {

constexpr uint32_t kBlock = 4096;

struct Streaming {
  Streaming(Flavour flavour, uint32_t width, uint32_t height, uint32_t trailer = 0)
      : rig(flavour), usb(kBlock, 2, nullptr, rig.id().c_str()) {
    rig.camera->withFamily([&](sim::SensorFamily& f) {
      auto& fixed = static_cast<sim::FixedFamily&>(f);
      fixed.setGeometry(width, height);
      fixed.setTrailer(trailer);
      return 0;
    });
    frameBytes = width * height + trailer;
    frame.assign(frameBytes, 0);
    this->width = width;
    this->height = height;
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

TEST_P(Grab, SystemInitSendsOneZeroOne) {
  Streaming s(GetParam(), 64, 16);
  const auto sent = s.rig.camera->log().requests(0x01);
  EXPECT_TRUE(sent.empty());  // the fixture cleared the log after bInitUSB
  s.usb.bFiniUSB();
  ASSERT_EQ(s.usb.bInitUSB(true), S_OK);
  std::vector<uint32_t> values;
  for (auto& e : s.rig.camera->log().requests(0x01)) values.push_back(e.value);
  EXPECT_EQ(values, (std::vector<uint32_t>{0, 1, 0, 1}));  // the close, then 1, 0, 1
  EXPECT_EQ(s.rig.camera->systemInitValue(), 1);
}

TEST_P(Grab, ShortBlockRestartsOnceThenGivesUp) {
  Streaming s(GetParam(), 128, 256);
  s.rig.camera->addStreamFault({StreamFault::Kind::ShortBlock, 0, 1});
  EXPECT_EQ(s.grab(), 0);
}

// The bad block ends its frame, so the restart lines up with the next one.
TEST_P(Grab, LongLastBlockRestartsOntoTheNextFrame) {
  Streaming s(GetParam(), 64, 192, 100);
  s.rig.camera->addStreamFault({StreamFault::Kind::LongBlock, 0, 3});
  EXPECT_EQ(s.grab(), 1);
  EXPECT_EQ(s.frame, s.expected(1));
}

TEST_P(Grab, OneReadErrorResetsThePipe) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::ReadError, 0, 0, 121});
  EXPECT_EQ(s.grab(), 0);
  EXPECT_EQ(s.timeline(), (std::vector<std::string>{"abort", "pause 20", "reset", "pause 50"}));
  EXPECT_EQ(s.usb.resetBudget(), 4);
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

TEST_P(Grab, GeneralFailureGivesMinusThree) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->setGenFailure(true);
  s.rig.camera->addStreamFault({StreamFault::Kind::ReadError, 0, 0, 31});
  EXPECT_EQ(s.grab(), -3);
  EXPECT_TRUE(s.usb.generalFailure());
}

TEST(GrabKernel, ErrorThirtyOneWithoutTheFailureByteResets) {
  Streaming s(Flavour::Kernel, 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::ReadError, 0, 0, 31});
  EXPECT_EQ(s.grab(), 0);
  EXPECT_FALSE(s.usb.generalFailure());
}

TEST_P(Grab, AbortedReadDrainsToZero) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::ReadError, 0, 0, 995});
  EXPECT_EQ(s.grab(), 0);
  EXPECT_TRUE(s.timeline().empty());
  EXPECT_EQ(s.usb.resetBudget(), 5);
}

TEST_P(Grab, FailedSubmitResetsThePipe) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::FailSubmit, 0, 0, 121});
  EXPECT_EQ(s.grab(), 0);
  EXPECT_EQ(s.timeline().front(), "abort");
  EXPECT_EQ(s.grab(), 1);
}

TEST_P(Grab, StopEventEndsTheWait) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::Stall, 0});
  platform::Event stop;
  const uint64_t t0 = s.rig.clock.now();
  s.rig.clock.at(t0 + 3, nullptr, [&] { stop.set(); });
  EXPECT_EQ(s.grab(5000, &stop), -2);
  EXPECT_LT(s.rig.clock.now() - t0, 100u);
}

// Time-outs: a pipe reset and 0, or -6 early in trigger mode with a no-packet time-out.
TEST_P(Grab, StalledStreamTimesOut) {
  struct Case {
    uint8_t trigger;
    uint32_t noPacketMs;
    int32_t result;
    uint64_t waitedMs;
  };
  const Case cases[] = {{0, 0, 0, 5000}, {0, 500, 0, 5000}, {1, 500, -6, 500}};
  for (const Case& c : cases) {
    Streaming s(GetParam(), 64, 192);
    s.usb.triggerMode = c.trigger;
    s.usb.noPacketTimeoutMs = c.noPacketMs;
    s.rig.camera->addStreamFault({StreamFault::Kind::Stall, 0});
    const uint64_t t0 = s.rig.clock.now();
    EXPECT_EQ(s.grab(5000), c.result);
    const uint64_t waited = s.rig.clock.now() - t0;
    EXPECT_GE(waited, c.waitedMs);
    EXPECT_LT(waited, c.waitedMs + 100);
    const auto t = s.timeline();
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(t.begin(), t.begin() + 4),
              (std::vector<std::string>{"abort", "pause 20", "reset", "pause 30"}));
  }
}

// In trigger mode reads may never end by themselves, so a drain aborts them instead of failing.
TEST_P(Grab, TriggerModeDrainAbortsFirst) {
  Streaming s(GetParam(), 128, 256);
  s.usb.triggerMode = 1;
  s.rig.camera->addStreamFault({StreamFault::Kind::ShortBlock, 0, 1});
  s.rig.camera->addStreamFault({StreamFault::Kind::Stall, 1});
  EXPECT_EQ(s.grab(platform::kInfinite), 0);
  EXPECT_EQ(s.timeline(), std::vector<std::string>{"abort"});
}

TEST_P(Grab, TransferSizeOutsideTheBuffersReadsNothing) {
  Streaming s(GetParam(), 64, 192);
  for (uint32_t size : {0u, kBlock + 1}) {
    EXPECT_EQ(s.usb.EzusbGrabFrame(s.frame.data(), nullptr, size, s.frameBytes, 5000, 0, nullptr),
              -1);
    EXPECT_EQ(s.rig.camera->framesSent(), 0u);
    EXPECT_TRUE(s.timeline().empty());
  }
}

TEST_P(Grab, OverlongBlockCountNeverWritesPastTheFrame) {
  Streaming s(GetParam(), 64, 192, 100);
  std::vector<uint8_t> small(100);
  EXPECT_EQ(s.usb.EzusbGrabFrame(small.data(), nullptr, kBlock, 100, 5000, 8, nullptr), 0);
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
}

TEST_P(Grab, DroppedFrameShowsInTheCounter) {
  Streaming s(GetParam(), 64, 192);
  s.rig.camera->addStreamFault({StreamFault::Kind::DropFrame, 1});
  ASSERT_EQ(s.grab(), 1);
  ASSERT_EQ(s.grab(), 1);
  EXPECT_EQ(s.frame, s.expected(2));
}

TEST_P(Grab, FullResolutionWithTrailer) {
  sim::SimConfig config;
  config.bcdDevice = 3;
  SimRig rig(GetParam(), config, std::make_unique<sim::Usb3Mp31Family>());
  constexpr uint32_t w = 2048, h = 1534;
  CCmos usb(w * 128, 2, nullptr, rig.id().c_str());
  ASSERT_EQ(usb.bInitUSB(true), S_OK);
  const uint16_t program[][2] = {{0x30A2, 1},    {0x30A6, 1}, {0x3004, 134},
                                 {0x3008, 2181}, {0x3002, 6}, {0x3006, 1539},
                                 {0x300A, 1560}, {0x3040, 0}, {0x301A, 0x10DE}};
  for (auto& w2 : program) ASSERT_EQ(usb.bWriteSensor(w2[0], w2[1]), S_OK);
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

TEST(GrabRoi, WriteRoiMapsProgramsAndRaisesEleven) {
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
}

TEST(GrabRoi, FrameModeSkipsAnUnchangedWindow) {
  MappingCmos usb(0, 0, nullptr, nullptr);
  std::vector<uint32_t> codes;
  usb.setEventSink(
      [](void* c, uint32_t code) { static_cast<std::vector<uint32_t>*>(c)->push_back(code); },
      &codes);
  usb.frameMode = 1;
  usb.setRequestedRoi({0, 0, 100, 50});
  usb.EzWriteRoi(100, 50);
  usb.EzWriteRoi(100, 50);
  EXPECT_EQ(codes.size(), 1u);
}

}  // namespace
