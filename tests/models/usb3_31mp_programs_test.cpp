// The 3.1 MP sensor's traffic for each flow, as a recording sensor sees it.
// Hand-aligned tables read better as columns.
// clang-format off
#include <gtest/gtest.h>

#include <vector>

#include "models/common/sensor_sequencer.h"
#include "models/families/usb3_31mp.h"
#include "tests/models/recording_sensor.h"

namespace {

using testing_models::RecordingSensor;

struct Rig {
  explicit Rig(bool usb3) : sequencer(program, kSpecRostrel303100KPA, usb3) {}
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program{sensor, lock};
  SensorSequencer sequencer;
};

std::vector<RegStep> goldenOpen0() {
  return {Write(0x301A, 0x00D8), Wait(100), Write(0x3021, 0x0100), Wait(30),
          Write(0x301A, 0x10D8), Write(0x30B0, 0), Write(0x3064, 0x1902), Write(0x31AC, 0x0C0C),
          Write(0x3082, 9), Write(0x30BA, 0x06EC), Write(0x3064, 0x1802), Write(0x31AE, 0x0301),
          Write(0x301A, 0x10D0), Wait(100),
          Write(0x301E, 0), Write(0x302A, 6), Write(0x302E, 10), Write(0x3030, 147), Write(0x302C, 1), Wait(100),
          Write(0x30A2, 1), Write(0x30A6, 1), Write(0x3004, 134), Write(0x3008, 2181), Write(0x3002, 6),
          Write(0x3006, 1539), Write(0x300A, 1560), Write(0x3040, 0), Write(0x301A, 0x10DE), Wait(10),
          Write(0x300C, 1150),
          Write(0x301A, 0x10D8), Wait(100), Write(0x3030, 147), Wait(100), Write(0x301A, 0x10DC),
          Write(0x3012, 4005)};
}

TEST(Usb3_31Programs, OpenIndexZeroMatchesTheGoldenList) {
  Rig rig(true);
  rig.sequencer.open(0, 2, 94000);
  EXPECT_EQ(rig.sensor.take(), goldenOpen0());
}

TEST(Usb3_31Programs, LineLengthByLinkAndIndex) {
  struct Case { bool usb3; uint32_t index; uint16_t lineLength; };
  for (const Case c : {Case{true, 0, 1150}, Case{true, 1, 1150}, Case{false, 0, 3000}, Case{false, 1, 1500}}) {
    Rig rig(c.usb3);
    rig.sequencer.open(c.index, 2, 94000);
    EXPECT_EQ(rig.sensor.writesTo(0x300C).front(), c.lineLength) << c.usb3 << " " << c.index;
    EXPECT_EQ(rig.sequencer.state().lineClock, 2u * c.lineLength);
  }
}

TEST(Usb3_31Programs, ExposureTimesBecomeLinesAndLineLength) {
  struct Case { uint32_t us; uint16_t speed; uint16_t lines; uint16_t lineLength; };
  for (const Case c : {Case{2000000, 2, 42608, 2300}, Case{94000, 2, 4005, 1150}, Case{50, 2, 4, 1150},
                       Case{3000000, 2, 42608, 2300}, Case{94000, 0, 3269, 1150}}) {
    Rig rig(true);
    rig.sequencer.open(0, 2, 94000);
    rig.sequencer.setExposure(c.us, c.speed);
    EXPECT_EQ(rig.sensor.reg(0x3012), c.lines) << c.us;
    EXPECT_EQ(rig.sensor.reg(0x300C), c.lineLength) << c.us;
  }
}

TEST(Usb3_31Programs, GainBandsEdges) {
  struct Case { uint16_t percent; uint16_t code; };
  for (const Case c : {Case{100, 6}, Case{103, 6}, Case{104, 7}, Case{172, 16}, Case{173, 18}, Case{288, 28},
                       Case{289, 30}, Case{300, 30}}) {
    Rig rig(true);
    rig.sequencer.setGain(c.percent);
    EXPECT_EQ(rig.sensor.take(), std::vector<RegStep>{Write(0x3060, c.code)}) << c.percent;
  }
}

// A long exposure doubles the line length; anything that rewrites it must leave the exposure intact.
TEST(Usb3_31Programs, LongExposureSurvivesRestartAndStillSwitch) {
  Rig restart(true);
  restart.sequencer.open(0, 2, 2000000);
  restart.sequencer.open(0, 2, 2000000);
  EXPECT_EQ(restart.sensor.reg(0x300C), 2300);
  EXPECT_EQ(restart.sensor.reg(0x3012), 42608);

  Rig still(true);
  still.sequencer.open(1, 2, 2000000);
  still.sequencer.switchResolution(0, true, 2, 2000000);
  // Still at clock 80: 80 * 2000000 / 2300 = 69565 lines, halved once.
  EXPECT_EQ(still.sensor.reg(0x300C), 2300);
  EXPECT_EQ(still.sensor.reg(0x3012), 34782);
  still.sequencer.switchResolution(1, false, 2, 2000000);
  EXPECT_EQ(still.sensor.reg(0x300C), 2300);
  EXPECT_EQ(still.sensor.reg(0x3012), 42608);
}

TEST(Usb3_31Programs, StillSwitchRunsSlowClockAndBack) {
  Rig rig(true);
  rig.sequencer.open(1, 2, 94000);
  rig.sensor.take();
  rig.sequencer.switchResolution(1, true, 2, 94000);
  EXPECT_TRUE(rig.sensor.take().empty());

  rig.sequencer.switchResolution(0, true, 2, 94000);
  EXPECT_EQ(rig.sensor.writesTo(0x3030), std::vector<uint16_t>{120});
  EXPECT_EQ(rig.sensor.reg(0x3012), 80u * 94000 / 2300);
  EXPECT_EQ(rig.sensor.reg(0x300A), 1560);
  auto log = rig.sensor.take();
  EXPECT_EQ(log.front(), Wait(10));
  EXPECT_EQ(log.back(), Wait(20));

  rig.sequencer.switchResolution(1, false, 2, 94000);
  EXPECT_EQ(rig.sensor.writesTo(0x3030), std::vector<uint16_t>{147});
  EXPECT_EQ(rig.sensor.reg(0x300A), 800);
  EXPECT_EQ(rig.sensor.reg(0x3012), 4005);
}

TEST(Usb3_31Programs, ReinitialiseRewritesNoWindow) {
  Rig rig(true);
  rig.sequencer.open(0, 1, 94000);
  rig.sensor.take();
  rig.sequencer.reinitialise(1, 94000, uint16_t{200});
  const auto log = rig.sensor.take();
  EXPECT_EQ(log.front(), Wait(50));
  for (uint16_t window : {0x30A2, 0x30A6, 0x3004, 0x3008, 0x3002, 0x3006, 0x300A, 0x300C}) {
    for (const RegStep& s : log) EXPECT_NE(s.reg, window);
  }
  EXPECT_EQ(log.back(), Write(0x3060, 22));
  EXPECT_EQ(rig.sensor.reg(0x3030), 135);
}

TEST(Usb3_31Programs, StopAndFrameBytes) {
  Rig rig(true);
  rig.sequencer.stop();
  EXPECT_EQ(rig.sensor.take(), (std::vector<RegStep>{Wait(10), Write(0x301A, 0x10C8), Wait(20)}));
  const SensorDriver& driver = Usb3Sensor31Mp();
  EXPECT_EQ(driver.frameBytes(2048, 1534, 2), 2048u * 1534);
  EXPECT_EQ(driver.frameBytes(2048, 1534, 3), 2048u * 1534 + 1);
  EXPECT_GE(kSpecRostrel303100KPA.rawFrameBytes, driver.frameBytes(2048, 1534, 3));
}

}  // namespace
// clang-format on
