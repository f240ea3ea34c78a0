// The USB2 windowed and 14 MP classes on their simulated devices, on the virtual clock: the
// readiness poll and its bound, the 14 MP's variant question and double grab, the deferred window
// program, the 0x6510 boards' colour response, and programs that stay whole across threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include "models/common/sensor_sequencer.h"
#include "models/families/usb2_windowed.h"
#include "pipeline/frame_descriptor.h"
#include "sim/usb2_8_14mp_family.h"
#include "tests/models/model_rig.h"
#include "tests/models/recording_sensor.h"

namespace {

using testing_models::ModelRig;
using testing_models::RecordingSensor;
using testing_models::RigOptions;

constexpr HRESULT kNotReady = static_cast<HRESULT>(0x8007001F);

template <typename F>
void WithFamily(ModelRig& rig, F f) {
  rig.device().withFamily([&](sim::SensorFamily& family) {
    f(dynamic_cast<sim::Usb2Mp8To14Family&>(family));
    return 0;
  });
}

// Pauses and clock-tree writes of an open, in order.
std::vector<std::string> StartTraffic(ModelRig& rig) {
  std::vector<std::string> out;
  for (const std::string& t : rig.traffic())
    if (t.rfind("wait", 0) == 0 || t.rfind("03", 0) == 0 || t.rfind("0104", 0) == 0)
      out.push_back(t);
  return out;
}

// Three misses wait 30 ms each; then the clock tree is programmed inside one held group.
TEST(Usb2Windowed, ThreeMissesThenTheClockTreeInOneHold) {
  ModelRig rig(RigOptions{.productId = 0xF800});
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
  WithFamily(rig, [](sim::Usb2Mp8To14Family& f) { f.setReadiness(3); });
  rig.log().clear();
  ASSERT_EQ(rig.camera().OpenCamera(2), S_OK);
  const std::vector<std::string> traffic = StartTraffic(rig);
  const std::vector<std::string> head(traffic.begin(), traffic.begin() + 13);
  EXPECT_EQ(head, (std::vector<std::string>{"wait 30", "wait 30", "wait 30", "wait 100", "0104=256",
                                            "0300=6", "0302=1", "0308=12", "030A=1", "0304=1",
                                            "0306=24", "0104=0", "wait 20"}));
}

// A sensor that never answers fails the open after its bound, and nothing more is written.
TEST(Usb2Windowed, ANeverReadySensorFailsTheOpenAndIsLeftAlone) {
  for (const uint16_t id : {uint16_t{0xF800}, uint16_t{0x6010}, uint16_t{0xF014}}) {
    ModelRig rig(RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
    WithFamily(rig, [](sim::Usb2Mp8To14Family& f) {
      f.setReadiness(sim::Usb2Mp8To14Family::kNeverReady);
    });
    rig.log().clear();
    const uint64_t begin = rig.clock().now();
    EXPECT_EQ(rig.camera().OpenCamera(2), kNotReady) << std::hex << id;
    EXPECT_GT(rig.clock().now() - begin, 3000u) << std::hex << id;
    EXPECT_TRUE(rig.writesTo(0x0103).empty()) << std::hex << id;
    EXPECT_TRUE(rig.log().ofKind(sim::LogKind::RegisterWrite).empty()) << std::hex << id;
  }
}

// The variant is asked at every open: 1 is the alternative chip, 0 or a failed request the
// standard one; the alternative's window program tells the bridge its size first.
TEST(Usb2Windowed, TheFourteenAsksItsVariantAtEveryOpen) {
  const struct {
    const char* name;
    bool alternative, fails;
    uint16_t control;
  } rows[] = {{"alternative", true, false, 0x001E},
              {"standard", false, false, 0x10DE},
              {"request fails", true, true, 0x10DE}};
  for (const auto& row : rows) {
    ModelRig rig(RigOptions{.productId = 0xF014});
    ASSERT_NE(rig.open(), nullptr);
    WithFamily(rig, [&](sim::Usb2Mp8To14Family& f) {
      f.setAlternative(row.alternative), f.setAltRequestFails(row.fails);
    });
    rig.startSensor(2);
    EXPECT_EQ(rig.camera().device().bAltSensor(), row.alternative && !row.fails) << row.name;
    EXPECT_EQ(rig.writesTo(0x301A).back(), row.control) << row.name;
    WithFamily(rig, [&](sim::Usb2Mp8To14Family& f) {
      EXPECT_EQ(f.resModeWrites() > 0, row.alternative && !row.fails) << row.name;
      EXPECT_EQ(f.width(), 1024u) << row.name;
      f.setAlternative(!row.alternative), f.setAltRequestFails(false);
    });
    rig.camera().StopSensor();
    rig.startSensor(2);
    EXPECT_EQ(rig.camera().device().bAltSensor(), !row.alternative) << row.name << ", reopened";
  }
}

// The USB3 14 MP tells its chip by the id it was opened with.
TEST(Usb2Windowed, TheUsb3FourteenTellsItsChipByItsId) {
  const struct {
    uint16_t id;
    bool alternative;
  } rows[] = {{0xC014, false}, {0xCB14, true}, {0x3014, false}, {0x3B14, true}};
  for (const auto& row : rows) {
    ModelRig rig(RigOptions{.productId = row.id});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
    EXPECT_EQ(rig.camera().device().bAltSensor(), row.alternative) << std::hex << row.id;
  }
}

// The USB2 14 MP reprograms a skip change at the full size too: window, timing and exposure, with
// the change announced.
TEST(Usb2Windowed, TheFourteenReprogramsASkipChangeAtFullSize) {
  for (const uint16_t id : {uint16_t{0xF014}, uint16_t{0x6014}}) {
    ModelRig rig(RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(0);
    rig.log().clear();
    EXPECT_EQ(rig.helper().PLHlperSetSkip(0), S_OK) << std::hex << id;
    EXPECT_EQ(rig.writesTo(0x3040), std::vector<uint32_t>{65}) << std::hex << id;
    EXPECT_FALSE(rig.writesTo(0x300C).empty()) << std::hex << id;
    EXPECT_FALSE(rig.writesTo(0x3012).empty()) << std::hex << id;
    EXPECT_EQ(rig.writesTo(0x0100).back(), 0x0100u) << std::hex << id;
  }
}

// Unless single, the alternative chip's grab reads a second frame at once.
TEST(Usb2Windowed, TheAlternativeChipGrabsTwiceUnlessSingle) {
  for (const bool alternative : {false, true}) {
    ModelRig rig(RigOptions{.productId = 0x6014});
    ASSERT_NE(rig.open(), nullptr);
    WithFamily(rig, [&](sim::Usb2Mp8To14Family& f) { f.setAlternative(alternative); });
    rig.startSensor(2);
    std::vector<uint8_t> buffer(1024 * 822);
    FrameDescriptor frame;
    frame.buffer = buffer.data();
    for (const bool single : {true, false}) {
      const uint32_t before = rig.device().framesSent();
      EXPECT_EQ(rig.helper().PLHlperGrabFrame(&frame, 1024, 822, nullptr, nullptr, single), 1);
      EXPECT_EQ(rig.device().framesSent() - before, !single && alternative ? 2u : 1u)
          << alternative << single;
    }
  }
}

// A speed change while streaming writes nothing until the grabber's region step, which writes
// window, timing and exposure once; with nothing pending the step sends nothing.
TEST(Usb2Windowed, ASpeedChangeWaitsForTheGrabbersRegionStep) {
  ModelRig rig(RigOptions{.productId = 0xF900});
  ASSERT_NE(rig.open(), nullptr);
  rig.startSensor(2);
  FrameDescriptor frame;
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  rig.log().clear();
  rig.helper().speed = 0;
  ASSERT_EQ(rig.helper().PLHlperSetSpeed(0, 0), S_OK);
  EXPECT_TRUE(rig.log().ofKind(sim::LogKind::RegisterWrite).empty());
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  EXPECT_EQ(rig.writesTo(0x300C), (std::vector<uint32_t>{2 * (1500 + 872)}));
  EXPECT_EQ(rig.writesTo(0x3012).size(), 1u);
  EXPECT_EQ(rig.writesTo(0x034C), (std::vector<uint32_t>{872}));
  rig.log().clear();
  rig.helper().PLHlperApplyRoi(&frame, nullptr);
  EXPECT_TRUE(rig.log().ofKind(sim::LogKind::RegisterWrite).empty());
}

// The 3.1 MP twins: a region and a speed change reach the sensor only at the grabber's region
// step, together, once; the aligned window is the sensor's frame and the grab's length.
TEST(Usb2Windowed, TheThreeMegapixelWindowWaitsForTheRegionStep) {
  const struct {
    uint16_t id;
    uint16_t hblank;  // at index 1, speed 0
  } rows[] = {{0xF310, 281}, {0x6310, 349}};
  for (const auto& row : rows) {
    ModelRig rig(RigOptions{.productId = row.id});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(1);
    FrameDescriptor frame;
    rig.helper().PLHlperApplyRoi(&frame, nullptr);
    rig.log().clear();
    rig.helper().speed = 0;
    ASSERT_EQ(rig.helper().PLHlperSetSpeed(0, 0), S_OK);
    rig.camera().device().setRequestedRoi({100, 51, 301, 251});
    EXPECT_TRUE(rig.log().ofKind(sim::LogKind::RegisterWrite).empty()) << std::hex << row.id;
    rig.helper().PLHlperApplyRoi(&frame, nullptr);
    EXPECT_EQ(rig.writesTo(0x0A), (std::vector<uint32_t>{0x8002})) << std::hex << row.id;
    EXPECT_EQ(rig.writesTo(0x05), (std::vector<uint32_t>{row.hblank})) << std::hex << row.id;
    EXPECT_EQ(rig.writesTo(0x09).size(), 1u) << std::hex << row.id;
    const auto size = rig.device().withFamily(
        [](sim::SensorFamily& f) { return std::make_pair(f.width(), f.height()); });
    EXPECT_EQ(size, std::make_pair(202u, 202u)) << std::hex << row.id;
    std::vector<uint8_t> buffer(202 * 202);
    frame.buffer = buffer.data();
    const SensorRect window{100, 50, 302, 252};
    EXPECT_EQ(rig.helper().PLHlperGrabFrame(&frame, 1024, 768, &window, nullptr, true), 1)
        << std::hex << row.id;
    rig.log().clear();
    rig.helper().PLHlperApplyRoi(&frame, nullptr);
    EXPECT_TRUE(rig.log().ofKind(sim::LogKind::RegisterWrite).empty()) << std::hex << row.id;
  }
}

// The 0x6510 boards answer their own matrix and unity base gains; 0x6512 keeps the class's.
TEST(Usb2Windowed, The6510BoardsCarryTheirOwnColourResponse) {
  const struct {
    uint16_t id;
    double first;
    uint32_t red;
  } rows[] = {{0x6510, 2.05365, 256}, {0x6512, 1.605827, 334}};
  for (const auto& row : rows) {
    ModelRig rig(RigOptions{.productId = row.id});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(1);
    double matrix[9] = {};
    uint32_t gains[3] = {};
    rig.camera().GetColorMatrix(matrix);
    rig.camera().GetWbGainBase(gains);
    EXPECT_DOUBLE_EQ(matrix[0], row.first) << std::hex << row.id;
    EXPECT_EQ(gains[0], row.red) << std::hex << row.id;
    EXPECT_DOUBLE_EQ(rig.helper().colourMatrix[0], row.first) << std::hex << row.id;
  }
}

// Region steps, gains and exposures from three threads: every held group holds only its own
// program's registers, so no release lands inside another hold.
TEST(Usb2Windowed, RegionGainAndExposureProgramsStayWholeAcrossThreads) {
  RecordingSensor sensor;
  sensor.fixedReply = {0x2C, 0x00, 0x00};
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  SensorSequencer sequencer(program, kSpecPelvane08000KPB, false);
  ASSERT_EQ(sequencer.open(2, 5, 6400), S_OK);
  (void)sensor.take();  // the start-up writes outside any hold
  constexpr int kRounds = 300;
  std::thread gain([&] {
    for (int i = 0; i < kRounds; ++i) sequencer.setGain(uint16_t(100 + i % 200));
  });
  std::thread exposure([&] {
    for (int i = 0; i < kRounds; ++i) sequencer.setExposure(400 + 1000 * i, uint16_t(i % 6));
  });
  for (int i = 0; i < kRounds; ++i)
    sequencer.programRegion({0, 0, uint32_t(100 + 2 * (i % 50)), 200}, uint16_t(i % 6), 6400);
  gain.join();
  exposure.join();
  const std::array<uint16_t, 4> gainRegs{0x3056, 0x3058, 0x305A, 0x305C};
  int groups = 0;
  bool held = false, gainGroup = false, windowGroup = false;
  for (const RegStep& s : sensor.take()) {
    if (s.kind != RegStep::Kind::Write) continue;
    if (s.reg == 0x0104) {
      ASSERT_NE(held, s.value != 0) << "a hold inside a hold";
      held = s.value != 0, gainGroup = windowGroup = false, groups += held;
      continue;
    }
    ASSERT_TRUE(held || s.reg == 0x3012) << std::hex << s.reg << " outside a hold";
    if (!held) continue;
    const bool isGain = std::find(gainRegs.begin(), gainRegs.end(), s.reg) != gainRegs.end();
    (isGain ? gainGroup : windowGroup) = true;
    ASSERT_FALSE(gainGroup && windowGroup) << "a gain and a window in one hold";
  }
  EXPECT_GE(groups, 2 * kRounds);
}

}  // namespace
