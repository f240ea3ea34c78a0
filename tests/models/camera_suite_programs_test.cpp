// Each sensor's golden register programs: one row per flow and value worth pinning, run by the one
// sequencer on a recording sensor. A new model adds its rows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "models/common/sensor_sequencer.h"
#include "models/families/usb3_31mp.h"
#include "models/families/usb3_51mp.h"
#include "models/families/usb3_85_10mp.h"
#include "models/families/usb3_14mp.h"
#include "models/families/usb2_small.h"
#include "models/families/usb2_windowed.h"
#include "platform/clock.h"
#include "tests/models/recording_sensor.h"

namespace {

using testing_models::RecordingSensor;

struct Golden {
  const char* name;
  const ModelSpec* spec;
  uint16_t productId;
  bool usb3;
  bool skip;
  uint32_t index;
  uint16_t speed;
  // Runs after an open at index and speed with the class's default exposure.
  std::function<void(SensorSequencer&)> act;
  std::vector<RegStep> finalValues;  // registers and the value each holds afterwards
  std::vector<uint16_t> neverWritten;
  bool alternative = false;             // the sensor variant the device reported
  std::vector<RegStep> lastSteps = {};  // what the program ends with, in order
};

std::ostream& operator<<(std::ostream& os, const Golden& g) {
  return os << g.name;
}

class CameraSuitePrograms : public ::testing::TestWithParam<Golden> {};

TEST_P(CameraSuitePrograms, ProgramsLeaveTheGoldenValues) {
  const Golden& g = GetParam();
  RecordingSensor sensor;
  if (g.spec->sensor().identity) sensor.fixedReply = {0x82, 0x43, 0x00};
  if (const ReadyWait* ready = g.spec->sensor().readyWait)
    sensor.fixedReply = {ready->readyByte, 0x00, 0x00};
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  SensorSequencer sequencer(program, *g.spec, g.usb3);
  sequencer.identify(g.productId, 3);
  sequencer.setSkip(g.skip);
  if (g.alternative) sequencer.setAlternative(true);
  ASSERT_EQ(sequencer.open(g.index, g.speed, g.spec->exposureUs.def), S_OK);
  if (g.act) g.act(sequencer);
  const std::vector<RegStep> log = sensor.take();
  for (const RegStep& want : g.finalValues)
    EXPECT_EQ(sensor.reg(want.reg), want.value) << std::hex << "register 0x" << want.reg;
  for (const uint16_t reg : g.neverWritten)
    EXPECT_TRUE(std::none_of(
        log.begin(), log.end(),
        [&](const RegStep& s) { return s.kind == RegStep::Kind::Write && s.reg == reg; }))
        << std::hex << "register 0x" << reg;
  const size_t tail = g.lastSteps.size();
  ASSERT_GE(log.size(), tail);
  EXPECT_EQ(std::vector<RegStep>(log.end() - long(tail), log.end()), g.lastSteps);
}

const ModelSpec* const k51 = &kSpecRostrel305100KPA;
const ModelSpec* const k51Twin = &kSpecPelvane305100KPA;
const ModelSpec* const k85 = &kSpecRostrel308500KPA;
const ModelSpec* const k10 = &kSpecRostrel310000KPA;
const ModelSpec* const k10Twin = &kSpecPelvane310000KPA;

const ModelSpec* const k14 = &kSpecRostrel314000KPA;
const ModelSpec* const k14Twin = &kSpecPelvane314000KPA;
const ModelSpec* const k13 = &kSpecRostrel01300KPA;
const ModelSpec* const k13Twin = &kSpecPelvane01300KPA;
const ModelSpec* const k13V2 = &kSpecRostrel01300KPAV2;
const ModelSpec* const k2 = &kSpecRostrel02000KPA;
const ModelSpec* const k2Twin = &kSpecPelvane02000KPB;
const ModelSpec* const kVga = &kSpecPelvane00350KPA;
const ModelSpec* const kGrey = &kSpecPelvane01300KMA;

// A USB2 small-sensor row: opened at index and speed, then act.
Golden Usb2(const char* name, const ModelSpec* spec, uint16_t id, uint32_t index, uint16_t speed,
            std::function<void(SensorSequencer&)> act, std::vector<RegStep> values) {
  return Golden{name, spec, id, false, false, index, speed, std::move(act), std::move(values), {}};
}

void TwoSeconds(SensorSequencer& s) {
  s.setExposure(2000000, 3);
}

const ModelSpec* const kR8 = &kSpecRostrel08000KPA;
const ModelSpec* const kR9 = &kSpecRostrel09000KPA;
const ModelSpec* const kR10 = &kSpecRostrel10000KPA;
const ModelSpec* const kP8 = &kSpecPelvane08000KPB;
const ModelSpec* const kP9 = &kSpecPelvane09000KPB;
const ModelSpec* const kU51 = &kSpecRostrel05100KPA;
const ModelSpec* const kU51Twin = &kSpecPelvane05100KPA;
const ModelSpec* const kU14 = &kSpecRostrel14000KPA;
const ModelSpec* const kU14Twin = &kSpecPelvane14000KPA;
const ModelSpec* const kR31 = &kSpecRostrel03100KPA;
const ModelSpec* const kP31 = &kSpecPelvane03100KPA;

// A USB2 row whose window follows the region: opened at index and speed, then act.
Golden Windowed(const char* name, const ModelSpec* spec, uint16_t id, bool skip, uint32_t index,
                uint16_t speed, std::function<void(SensorSequencer&)> act,
                std::vector<RegStep> values, std::vector<uint16_t> never = {},
                bool alternative = false) {
  return Golden{name,  spec,       id, false, skip, index, speed, std::move(act), std::move(values),
                never, alternative};
}

// The region as the camera programs it: aligned first, at the speed, with the exposure.
std::function<void(SensorSequencer&)> Region(SensorRect region, uint16_t speed, uint32_t us) {
  return [=](SensorSequencer& s) { s.programRegion(s.alignWindow(region), speed, us); };
}

// A USB3 row pinning a whole program: every clock and window register as opened.
Golden Whole(const char* name, const ModelSpec* spec, uint16_t id, bool usb3, bool skip,
             uint32_t index, uint16_t speed, std::vector<RegStep> values) {
  return Golden{name, spec, id, usb3, skip, index, speed, nullptr, std::move(values), {}};
}

const Golden kGolden[] = {
    // USB2 8 to 10 MP: the window, line and frame length follow the region.
    Windowed("R8QuarterSkipSpeed5WholeWidth", kR8, 0xF800, true, 2, 5, Region({}, 5, 6400),
             {Write(0x300C, 2300), Write(0x3040, 455), Write(0x3016, 289), Write(0x300A, 816),
              Write(0x034C, 800), Write(0x0346, 54), Write(0x0104, 0)}),
    Windowed("R8QuarterBinned", kR8, 0xF800, false, 2, 5, Region({}, 5, 6400),
             {Write(0x3040, 1479), Write(0x3016, 546)}),
    Windowed("R8OddEdgesWidened", kR8, 0xF800, true, 2, 5, Region({101, 51, 301, 251}, 5, 6400),
             {Write(0x0344, 496), Write(0x0348, 1297), Write(0x0346, 254), Write(0x034A, 1055),
              Write(0x034C, 202), Write(0x034E, 202)}),
    Windowed("R8FullSpeed0Exposure1ms", kR8, 0xF800, true, 0, 0, Region({}, 0, 1000),
             {Write(0x300C, 12528), Write(0x3012, 8)}),
    Windowed("R8NarrowRegionTwoSecondsSaturates", kR8, 0xF800, true, 2, 5,
             Region({0, 0, 2, 2}, 5, 2000000), {Write(0x3012, 65535)}),
    // Intermediate speeds: the line tables' middle entries and the exposure on them.
    Windowed("R8FullSpeed2", kR8, 0xF800, true, 0, 2, Region({}, 2, 6400),
             {Write(0x300C, 2 * (1500 + 3264)), Write(0x3012, (6400 * 96 + 4764) / 9528)}),
    Windowed("R10HalfSpeed3", kR10, 0xF010, true, 1, 3, Region({}, 3, 300000),
             {Write(0x300C, 2 * 1792 + 2000), Write(0x3012, (300000 * 96 + 2792) / 5584)}),
    Windowed("P9QuarterSpeed1", kP9, 0x6901, true, 2, 1, Region({}, 1, 6400),
             {Write(0x300C, 2 * (500 + 872)), Write(0x3012, (6400 * 48 + 1372) / 2744)}),
    Windowed("R8Gain100", kR8, 0xF800, true, 2, 5, [](SensorSequencer& s) { s.setGain(100); },
             {Write(0x3056, 0x1069), Write(0x3058, 0x1077), Write(0x305C, 0x1069)}),
    Windowed("P8Gain100IntegerRatio", kP8, 0x6801, true, 2, 5,
             [](SensorSequencer& s) { s.setGain(100); }, {Write(0x3058, 0x1078)}),
    Windowed("R10Gain300BandRule", kR10, 0xF010, true, 2, 5,
             [](SensorSequencer& s) { s.setGain(300); }, {Write(0x3056, 0x3069)}),
    Windowed("R9StillHalf", kR9, 0xF900, true, 2, 5,
             [](SensorSequencer& s) { s.switchResolution(1, true, 5, 6400); },
             {Write(0x0344, 84), Write(0x0348, 3569), Write(0x0346, 48), Write(0x034A, 2661),
              Write(0x034C, 1744), Write(0x034E, 1308), Write(0x300C, 8488), Write(0x300A, 1600),
              Write(0x301A, 0x10DE)}),
    Windowed("P9StillHalf", kP9, 0x6901, true, 2, 5,
             [](SensorSequencer& s) { s.switchResolution(1, true, 5, 6400); },
             {Write(0x300C, 5488)}),
    // The clock tree was started at the quarter size: a full-size still keeps its clock.
    Windowed("P8StillFullFromQuarterKeepsTheStartClock", kP8, 0x6801, true, 2, 5,
             [](SensorSequencer& s) { s.switchResolution(0, true, 5, 6400); },
             {Write(0x0306, 40), Write(0x300C, 9528), Write(0x3012, (6400 * 60 + 4764) / 9528)}),
    Windowed("R8PreviewSwitchWaitsForTheGrabber", kR8, 0xF800, true, 2, 5,
             [](SensorSequencer& s) {
               s.programRegion({}, 5, 6400);
               s.switchResolution(1, false, 5, 6400);
             },
             {Write(0x034C, 800)}),
    // USB2 3.1 MP: rows on even edges, columns on the read-out's step.
    Windowed("R31HalfRegionAligned", kR31, 0xF310, false, 1, 5,
             Region({100, 51, 301, 251}, 5, 94000),
             {Write(0x01, 120), Write(0x02, 232), Write(0x03, 403), Write(0x04, 403),
              Write(0x22, 0x11), Write(0x23, 0x11)}),
    Windowed("R31ThirdColumnsOnTheSixStep", kR31, 0xF310, false, 2, 5,
             Region({7, 0, 100, 10}, 5, 94000),
             {Write(0x02, 3 * 6 + 36), Write(0x04, 3 * 96 - 1), Write(0x22, 0x22)}),
    Windowed("R31ThirdWholeWidthReadsPastIt", kR31, 0xF310, false, 2, 5,
             Region({0, 0, 680, 510}, 5, 94000), {Write(0x04, 3 * 684 - 1)}),
    Windowed("R31FullSpeed5Exposure", kR31, 0xF310, false, 0, 5, Region({}, 5, 94000),
             {Write(0x0A, 0x8000), Write(0x05, 153), Write(0x06, 100), Write(0x09, 1756)}),
    Windowed("P31ThirdSpeed1", kP31, 0x6310, false, 2, 1, Region({}, 1, 94000),
             {Write(0x0A, 0x8001), Write(0x05, 449), Write(0x06, 200)}),
    Windowed("R31StillHalfAtTheSlowestClock", kR31, 0xF310, false, 0, 5,
             [](SensorSequencer& s) {
               s.programRegion({}, 5, 94000);
               s.switchResolution(1, true, 5, 94000);
             },
             {Write(0x04, 2047), Write(0x22, 0x11), Write(0x0A, 0x8002), Write(0x05, 349),
              Write(0x06, 150), Write(0x09, (94000 * 48 + 8272 / 2) / 8272), Write(0x0B, 1)}),
    Windowed("R31PreviewSwitchWaitsForTheGrabber", kR31, 0xF310, false, 0, 5,
             [](SensorSequencer& s) {
               s.programRegion({}, 5, 94000);
               s.switchResolution(1, false, 5, 94000);
             },
             {Write(0x04, 2047), Write(0x22, 0)}, {0x0B}),
    Windowed("R31NarrowRegionTwoSecondsSaturates", kR31, 0xF310, false, 0, 5,
             Region({0, 0, 100, 100}, 5, 2000000), {Write(0x09, 65535)}),
    Windowed("R31Gain100", kR31, 0xF310, false, 1, 5, [](SensorSequencer& s) { s.setGain(100); },
             {Write(0x2B, 0x10F), Write(0x2E, 0x10F)}),
    // USB2 5.1 MP.
    Windowed("U51Speed6FullExposure70ms", kU51, 0xF510, true, 0, 6, nullptr,
             {Write(0x08, 0), Write(0x09, 952), Write(0x05, 468), Write(0x06, 48)}),
    Windowed("U51TwinQuarterBinnedSpeed0", kU51Twin, 0x6510, false, 2, 0, nullptr,
             {Write(0x09, 245), Write(0x05, 1680), Write(0x22, 0x33)}, {0x06}),
    Windowed("U51Gain100", kU51, 0xF510, true, 1, 6, [](SensorSequencer& s) { s.setGain(100); },
             {Write(0x2B, 0x10C), Write(0x2C, 0x110), Write(0x2D, 0x111), Write(0x2E, 0x10C)}),
    Windowed("U51BinningAtHalf", kU51, 0xF510, true, 1, 6,
             [](SensorSequencer& s) { s.switchMode(false, 6, 70000); },
             {Write(0x22, 0x11), Write(0x23, 0x11), Write(0x05, 1860)}),
    Windowed("U51BinningAtFullKeepsMode", kU51, 0xF510, true, 0, 6,
             [](SensorSequencer& s) { s.switchMode(false, 6, 70000); },
             {Write(0x22, 0), Write(0x05, 468), Write(0x09, 952)}),
    Windowed("U51RegionHalf", kU51, 0xF510, true, 1, 6, Region({100, 50, 612, 434}, 6, 70000),
             {Write(0x01, 166), Write(0x02, 232), Write(0x03, 767), Write(0x04, 1023)}),
    Windowed("U51RegionMirroredWithoutId", kU51, 0, true, 1, 6,
             Region({100, 50, 612, 434}, 6, 70000), {Write(0x02, 1368)}),
    // The coarse band halves the code; past it the fallback.
    Windowed("U51GainCoarseBand", kU51, 0xF510, true, 1, 6,
             [](SensorSequencer& s) { s.setGain(600); },
             {Write(0x2B, 0x100 + 72 / 2 + 64), Write(0x2C, 0x100 + 101 / 2 + 64),
              Write(0x2D, 0x100 + 102 / 2 + 64), Write(0x2E, 0x100 + 72 / 2 + 64)}),
    Windowed("U51GainPastTheCoarseBand", kU51, 0xF510, true, 1, 6,
             [](SensorSequencer& s) { s.setGain(1000); }, {Write(0x2B, 0x10C), Write(0x2E, 0x10C)}),
    // Speed 3: the PLL's 24 / 8 and its 36 MHz exposure clock.
    Windowed("U51Speed3FullExposure70ms", kU51, 0xF510, true, 0, 3, nullptr,
             {Write(0x11, (24 << 8) + 1), Write(0x12, 7), Write(0x09, (36 * 70000 + 1764) / 3528)}),
    Windowed("U51NarrowRegionTwoSecondsSaturates", kU51, 0xF510, true, 2, 6,
             Region({0, 0, 8, 8}, 6, 2000000), {Write(0x09, 65535)}),
    // USB2 14 MP, either chip.
    Windowed("U14AltQuarter", kU14, 0xF014, true, 2, 5, nullptr,
             {Write(0x034C, 1028), Write(0x0348, 4379), Write(0x3040, 455 + 0x200)}, {0x3016},
             true),
    Windowed("U14AltHalfBinnedSpeed0", kU14, 0xF014, false, 1, 0, nullptr, {Write(0x300C, 8400)},
             {}, true),
    Windowed("U14StandardSpeed0Exposure10ms", kU14, 0xF014, true, 0, 0,
             [](SensorSequencer& s) { s.setExposure(10000, 0); },
             {Write(0x300C, 13000), Write(0x0306, 80), Write(0x3012, 46)}),
    Windowed("U14Gain300", kU14Twin, 0x6014, true, 2, 5, [](SensorSequencer& s) { s.setGain(300); },
             {Write(0x3056, 0x3069), Write(0x305A, 0x407A)}),
    Windowed("U14StandardStartProgram", kU14, 0xF014, true, 2, 5, nullptr,
             {Write(0x30E8, 0x8000), Write(0x0112, 0x0C0C), Write(0x3064, 0x0805),
              Write(0x301E, 0x00A8), Write(0x31AE, 0x0301), Write(0x3176, 0x4000), Write(0x0300, 8),
              Write(0x0302, 1), Write(0x0308, 8), Write(0x030A, 2), Write(0x0304, 4),
              Write(0x0306, 128), Write(0x301A, 0x10DE)},
             {0x31C6, 0x3140, 0x304A}),
    Windowed("U14AltStartProgram", kU14, 0xF014, true, 2, 5, nullptr,
             {Write(0x31C6, 0x8006), Write(0x0112, 0x0C0C), Write(0x31C0, 0), Write(0x3140, 0x2214),
              Write(0x304A, 0x0010), Write(0x0300, 4), Write(0x0302, 2), Write(0x0308, 12),
              Write(0x030A, 2), Write(0x0304, 8), Write(0x0306, 48), Write(0x301A, 0x001E)},
             {0x30E8, 0x3176, 0x301E}, true),
    Windowed("U14TwinStandardClock", kU14Twin, 0x6014, true, 2, 5, nullptr,
             {Write(0x0302, 2), Write(0x030A, 4), Write(0x0306, 128)}),
    Windowed("U14SkipToBinningAtHalf", kU14, 0xF014, true, 1, 5,
             [](SensorSequencer& s) { s.switchSkip(false, 5, 85000); },
             {Write(0x3040, 195 + 0x800), Write(0x3016, 530), Write(0x300C, 5300),
              Write(0x3012, 85000 * 96 / 5300), Write(0x0100, 0x0100), Write(0x0104, 0)}),
    // A skip change restarts the stream with the new line's exposure, and hands it over again.
    {"U14SkipChangeExposesTheNewLineBeforeTheRestart",
     kU14,
     0xF014,
     false,
     true,
     1,
     5,
     [](SensorSequencer& s) { s.switchSkip(false, 5, 85000); },
     {},
     {},
     false,
     {Write(0x0100, 0x0100), Write(0x3012, 1539), Write(0x0100, 0x0100), Wait(10),
      Write(0x3012, 1539)}},
    Windowed(
        "U14AltSkipAtFullKeepsTheFullRead", kU14, 0xF014, true, 0, 5,
        [](SensorSequencer& s) { s.switchSkip(false, 5, 85000); },
        {Write(0x3040, 65 + 0x200), Write(0x300C, 4500), Write(0x3012, 85000 * 36 / 4500),
         Write(0x0100, 0x0100)},
        {}, true),
    Windowed("U14HalfSpeed2Exposure85ms", kU14, 0xF014, true, 1, 2,
             [](SensorSequencer& s) { s.setExposure(85000, 2); },
             {Write(0x0306, 112), Write(0x300C, 5500), Write(0x3012, 85000 * 84 / 5500)}),
    Windowed("U14TwinQuarterSpeed4", kU14Twin, 0x6014, true, 2, 4,
             [](SensorSequencer& s) { s.setExposure(85000, 4); },
             {Write(0x300C, 2400), Write(0x3012, 85000 * 48 / 2400)}),
    Windowed(
        "U14AltHalfSpeed3", kU14, 0xF014, true, 1, 3,
        [](SensorSequencer& s) { s.setExposure(85000, 3); },
        {Write(0x300C, 3000), Write(0x3012, 85000 * 36 / 3000)}, {}, true),
    Windowed("U14QuarterTwoSecondsSaturates", kU14, 0xF014, true, 2, 5,
             [](SensorSequencer& s) { s.setExposure(2000000, 5); }, {Write(0x3012, 65535)}),
    // Rows of a per-mode line constant at 1.5 x the PLL multiplier.
    {"Mp51Exposure70msIndex0Speed6",
     k51,
     0xC510,
     true,
     false,
     0,
     6,
     [](SensorSequencer& s) { s.setExposure(70000, 6); },
     {Write(0x08, 0), Write(0x09, 1942)},
     {}},
    {"Mp51TwoSecondsSkippedIndex2",
     k51,
     0xC510,
     true,
     true,
     2,
     6,
     [](SensorSequencer& s) { s.setExposure(2000000, 6); },
     {Write(0x08, 1), Write(0x09, 38811)},
     {}},
    {"Mp51ExposureClampsBelow",
     k51,
     0xC510,
     true,
     false,
     0,
     6,
     [](SensorSequencer& s) { s.setExposure(10, 6); },
     {Write(0x09, 50 * 96 / 3460)},
     {}},
    {"Mp51Usb2Index1Line",
     k51,
     0xD510,
     false,
     false,
     1,
     0,
     [](SensorSequencer& s) { s.setExposure(100000, 0); },
     {Write(0x09, 100000 * 81 / 3280), Write(0x05, 1000)},
     {}},
    // Green, blue and red codes at their ratios, plus the enable bit.
    {"Mp51Gain300",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     [](SensorSequencer& s) { s.setGain(300); },
     {Write(0x2B, 292), Write(0x2C, 306), Write(0x2D, 307), Write(0x2E, 292)},
     {}},
    // The coarse band halves the code up to 126; past it the fallback.
    {"Mp51GainCoarseBand",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     [](SensorSequencer& s) { s.setGain(600); },
     {Write(0x2B, 256 + 100), Write(0x2C, 256 + 114), Write(0x2D, 256 + 115)},
     {}},
    {"Mp51GainCoarseBandTop",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     [](SensorSequencer& s) { s.setGain(1055); },
     {Write(0x2B, 256 + 127)},
     {}},
    {"Mp51Gain100",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     [](SensorSequencer& s) { s.setGain(100); },
     {Write(0x2B, 268), Write(0x2C, 272), Write(0x2D, 273), Write(0x2E, 268)},
     {}},
    // Windows by mode and link.
    {"Mp51Index1Binned",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     nullptr,
     {Write(0x22, 0x11), Write(0x23, 0x11), Write(0x05, 960), Write(0x03, 1919)},
     {}},
    {"Mp51Index2SkippedUsb2",
     k51,
     0xD510,
     false,
     true,
     2,
     6,
     nullptr,
     {Write(0x22, 0x03), Write(0x05, 700)},
     {}},
    {"Mp51SkipSwitchRewritesWindowAndRows",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     [](SensorSequencer& s) { s.switchSkip(true, 6, 70000); },
     {Write(0x22, 0x01), Write(0x23, 0x01), Write(0x05, 620), Write(0x09, 70000 * 96 / 2520)},
     {}},
    // The still's slow clock, then the switch's closing write.
    {"Mp51StillAtSlowClock",
     k51,
     0xC510,
     true,
     false,
     1,
     6,
     [](SensorSequencer& s) { s.switchResolution(0, true, 6, 70000u); },
     {Write(0x11, 54 * 256 + 1), Write(0x09, 70000 * 81 / 3460), Write(0x0B, 1), Write(0x03, 1921)},
     {}},
    // The alternative twin's board takes no 0x0A write; the other boards do.
    {"Mp51Twin3511NoControlWrite", k51Twin, 0x3511, true, false, 1, 6, nullptr, {}, {0x0A}},
    {"Mp51Twin4511NoControlWrite", k51Twin, 0x4511, false, false, 1, 6, nullptr, {}, {0x0A}},
    {"Mp51Twin3510ControlWrite",
     k51Twin,
     0x3510,
     true,
     false,
     1,
     6,
     nullptr,
     {Write(0x0A, 0x8000)},
     {}},
    // (clock x time - offset) / line in unsigned 32-bit, the line doubled while the rows overflow.
    {"Mp85Exposure150ms",
     k85,
     0xC850,
     true,
     false,
     0,
     3,
     [](SensorSequencer& s) { s.setExposure(150000, 3); },
     {Write(0x3012, 3457), Write(0x300C, 3470)},
     {}},
    {"Mp85Exposure150msSpeed2",
     k85,
     0xC850,
     true,
     false,
     0,
     2,
     [](SensorSequencer& s) { s.setExposure(150000, 2); },
     {Write(0x3012, (70 * 150000 - 1010) / 3470), Write(0x300C, 3470)},
     {}},
    {"Mp10QuarterSkippedExposure10msSpeed1",
     k10,
     0xC010,
     true,
     true,
     2,
     1,
     [](SensorSequencer& s) { s.setExposure(10000, 1); },
     {Write(0x3012, (60 * 10000 - 1010) / 1200)},
     {}},
    {"Mp85TwoSecondsFits",
     k85,
     0xC850,
     true,
     false,
     0,
     3,
     TwoSeconds,
     {Write(0x3012, 46109), Write(0x300C, 3470)},
     {}},
    {"Mp85Usb2HalfSizeRowsAndLine",
     k85,
     0xD850,
     false,
     false,
     1,
     3,
     nullptr,
     {Write(0x034E, 1276), Write(0x034C, 1664), Write(0x300C, 4000)},
     {}},
    {"Mp85Gain100",
     k85,
     0xC850,
     true,
     false,
     0,
     3,
     [](SensorSequencer& s) { s.setGain(100); },
     {Write(0x3056, 0x1069), Write(0x3058, 0x1077), Write(0x305A, 0x10D2), Write(0x305C, 0x1069),
      Write(0x0104, 0)},
     {}},
    {"Mp85Gain300",
     k85,
     0xC850,
     true,
     false,
     0,
     3,
     [](SensorSequencer& s) { s.setGain(300); },
     {Write(0x3056, 0x11CE), Write(0x3058, 0x11DA), Write(0x305A, 0x11FC)},
     {}},
    {"Mp10QuarterBinnedReadMode",
     k10,
     0xC010,
     true,
     false,
     2,
     3,
     nullptr,
     {Write(0x3040, 1991), Write(0x300C, 1700)},
     {}},
    {"Mp10QuarterSkippedReadMode",
     k10,
     0xC010,
     true,
     true,
     2,
     3,
     nullptr,
     {Write(0x3040, 967), Write(0x300C, 1200)},
     {}},
    {"Mp10TwoSecondsHalvesTwice",
     k10,
     0xC010,
     true,
     true,
     2,
     3,
     TwoSeconds,
     {Write(0x3012, 33333), Write(0x300C, 4800)},
     {}},
    {"Mp10ShortAfterLongRestoresTheLine",
     k10,
     0xC010,
     true,
     true,
     2,
     3,
     [](SensorSequencer& s) { TwoSeconds(s), s.setExposure(10000, 3); },
     {Write(0x3012, 665), Write(0x300C, 1200)},
     {}},
    {"Mp10TwinShortAfterLongKeepsTheLine",
     k10Twin,
     0x3010,
     true,
     true,
     2,
     3,
     [](SensorSequencer& s) { TwoSeconds(s), s.setExposure(10000, 3); },
     {Write(0x3012, 166), Write(0x300C, 4800)},
     {}},
    // Every line-length write records itself: a re-initialisation's or a restart's shorter line
    // is seen by the exposure that follows, which doubles it again.
    {"Mp10LongExposureSurvivesReinitialise",
     k10,
     0xC010,
     true,
     true,
     2,
     3,
     [](SensorSequencer& s) { TwoSeconds(s), (void)s.reinitialise(3, 2000000, uint16_t{100}); },
     {Write(0x3012, 33333), Write(0x300C, 4800)},
     {}},
    {"Mp10LongExposureSurvivesRestart",
     k10,
     0xC010,
     true,
     true,
     2,
     3,
     [](SensorSequencer& s) { TwoSeconds(s), (void)s.open(2, 3, 2000000); },
     {Write(0x3012, 33333), Write(0x300C, 4800)},
     {}},
    {"Mp10SkipSwitchHoldsTheWindow",
     k10,
     0xC010,
     true,
     false,
     1,
     3,
     [](SensorSequencer& s) { s.switchSkip(true, 3, 150000); },
     {Write(0x3040, 3 * 65 + 512), Write(0x300C, 2040), Write(0x0100, 0x0100), Write(0x0104, 0)},
     {}},
    // The alternative chip by id: a wider window starting earlier, the FPGA told its width.
    {"Mp14AlternativeHalfWindow",
     k14,
     0xDB14,
     false,
     false,
     1,
     3,
     nullptr,
     {Write(0x0344, 286), Write(0x0348, 4383), Write(0x034C, 2052), Write(0x301A, 0x001E)},
     {}},
    {"Mp14NormalUsb2HalfWindow",
     k14,
     0xD014,
     false,
     false,
     1,
     3,
     nullptr,
     {Write(0x0344, 288), Write(0x0348, 4381), Write(0x034C, 2048), Write(0x301A, 0x10DE)},
     {}},
    {"Mp14TwinAlternative",
     k14Twin,
     0x4B14,
     false,
     false,
     0,
     3,
     nullptr,
     {Write(0x034C, 4100), Write(0x0306, 66)},
     {}},
    // Line lengths by speed, chip and link.
    {"Mp14QuarterSkippedSpeed2", k14, 0xC014, true, true, 2, 2, nullptr, {Write(0x300C, 1950)}, {}},
    {"Mp14AltQuarterSkippedSpeed2",
     k14,
     0xCB14,
     true,
     true,
     2,
     2,
     nullptr,
     {Write(0x300C, 1800)},
     {}},
    {"Mp14SkipChangeExposesTheNewLineBeforeTheRestart",
     k14,
     0xC014,
     true,
     true,
     2,
     0,
     [](SensorSequencer& s) { s.switchSkip(false, 0, 85000); },
     {},
     {},
     false,
     {Write(0x300C, 3300), Wait(20), Write(0x3012, 2467), Write(0x0100, 0x0100),
      Write(0x3012, 2467)}},
    {"Mp14HalfSpeed1", k14, 0xC014, true, true, 1, 1, nullptr, {Write(0x300C, 3000)}, {}},
    {"Mp14AltQuarterBinnedSpeed0",
     k14,
     0xCB14,
     true,
     false,
     2,
     0,
     nullptr,
     {Write(0x300C, 3300)},
     {}},
    {"Mp14Usb2FullSpeed2", k14, 0xD014, false, true, 0, 2, nullptr, {Write(0x300C, 12300)}, {}},
    {"Mp14Usb2QuarterSkippedSpeed3",
     k14,
     0xD014,
     false,
     true,
     2,
     3,
     nullptr,
     {Write(0x300C, 4500)},
     {}},
    {"Mp14Exposure85ms",
     k14,
     0xC014,
     true,
     false,
     0,
     3,
     [](SensorSequencer& s) { s.setExposure(85000, 3); },
     {Write(0x3012, 1809)},
     {}},
    {"Mp14AltTwoSecondsHalvesTwice",
     k14,
     0xCB14,
     true,
     true,
     2,
     3,
     TwoSeconds,
     {Write(0x3012, 32999), Write(0x300C, 6000)},
     {}},
    {"Mp14Gain300",
     k14,
     0xC014,
     true,
     false,
     0,
     3,
     [](SensorSequencer& s) { s.setGain(300); },
     {Write(0x3056, 0x3069), Write(0x3058, 0x3078), Write(0x305A, 0x407C)},
     {}},
    // USB2 1.3 MP paged: lines of the bridge clock's 24 MHz line, after page 0 is selected.
    Usb2("Mp13Speed2Exposure44ms", k13, 0xF130, 0, 2,
         [](SensorSequencer& s) { s.setExposure(44000, 2); }, {Write(0xF0, 0), Write(0x09, 630)}),
    Usb2("Mp13ExposureClampsBelow", k13, 0xF130, 0, 2,
         [](SensorSequencer& s) { s.setExposure(0, 2); }, {Write(0x09, 2)}),
    Usb2("Mp13ExposureClampsAbove", k13, 0xF130, 0, 2,
         [](SensorSequencer& s) { s.setExposure(3000000, 2); }, {Write(0x09, 28640)}),
    Usb2("Mp13TwinSpeed0", k13Twin, 0x6130, 0, 0,
         [](SensorSequencer& s) { s.setExposure(44000, 0); }, {Write(0x09, 315)}),
    Usb2("Mp13Gain300", k13, 0xF130, 0, 2, [](SensorSequencer& s) { s.setGain(300); },
         {Write(0x2B, 194), Write(0x2C, 221), Write(0x2D, 218), Write(0x2E, 194)}),
    Usb2("Mp13Gain150", k13, 0xF130, 0, 2, [](SensorSequencer& s) { s.setGain(150); },
         {Write(0x2D, 90)}),
    // Second revision: the 12-bit line count, the line doubled for long exposures.
    Usb2("Mp13V2Exposure10msSpeed2", k13V2, 0x1207, 0, 2,
         [](SensorSequencer& s) { s.setExposure(10000, 2); },
         {Write(0x3E01, 0x0A), Write(0x3E02, 0x00), Write(0x320E, 0x03), Write(0x320F, 0xE8)}),
    Usb2("Mp13V2TwoSecondsSpeed1", k13V2, 0x1207, 0, 1,
         [](SensorSequencer& s) { s.setExposure(2000000, 1); },
         {Write(0x320C, 0x83), Write(0x320D, 0x40), Write(0x3E01, 0xB2), Write(0x3E02, 0x90),
          Write(0x320E, 0x0B), Write(0x320F, 0x2F)}),
    Usb2("Mp13V2LineBackAfterLongExposure", k13V2, 0x1207, 0, 1,
         [](SensorSequencer& s) { s.setExposure(2000000, 1), s.setExposure(10000, 1); },
         {Write(0x320C, 0x10), Write(0x320D, 0x68), Write(0x3E01, 0x07), Write(0x3E02, 0x20)}),
    Usb2("Mp13V2Exposure50us", k13V2, 0x1207, 1, 2,
         [](SensorSequencer& s) { s.setExposure(50, 2); },
         {Write(0x3E01, 0x00), Write(0x3E02, 0x60), Write(0x320A, 0x02), Write(0x320B, 0xD0)}),
    Usb2("Mp13V2Gain500", k13V2, 0x1207, 0, 2, [](SensorSequencer& s) { s.setGain(500); },
         {Write(0x3E08, 0x00), Write(0x3E09, 0x50)}),
    // 2 MP: lines of the board's 48 MHz line; the model window at the next window program.
    Usb2("Mp2Index0Speed5", k2, 0xF200, 0, 5, [](SensorSequencer& s) { s.setExposure(1280, 5); },
         {Write(0x09, 30), Write(0x05, 81), Write(0x06, 100), Write(0x0A, 0x8000)}),
    Usb2("Mp2Gain100", k2, 0xF200, 1, 5, [](SensorSequencer& s) { s.setGain(100); },
         {Write(0x2B, 0x010F), Write(0x2C, 0x010F), Write(0x2D, 0x010F), Write(0x2E, 0x010F)}),
    Usb2("Mp2Gain300", k2, 0xF200, 1, 5, [](SensorSequencer& s) { s.setGain(300); },
         {Write(0x2B, 0x012D), Write(0x2E, 0x012D)}),
    Usb2("Mp2ModelWindowOn", k2, 0xF200, 1, 5,
         [](SensorSequencer& s) {
           s.setModelWindow({true, 100, 50});
           s.switchResolution(0, false, 5, 1280), s.switchResolution(1, false, 5, 1280);
         },
         {Write(0x01, 238), Write(0x02, 356), Write(0x03, 599), Write(0x04, 799), Write(0x22, 0),
          Write(0x23, 0)}),
    // 76,800 lines would wrap to 11,264 (0.29 s): the counter saturates instead.
    Usb2("Mp2WindowTwoSecondsSaturates", k2, 0xF200, 1, 5,
         [](SensorSequencer& s) {
           s.setModelWindow({true, 0, 0});
           s.switchResolution(0, false, 5, 1280), s.switchResolution(1, false, 5, 2000000);
         },
         {Write(0x09, 65535)}),
    Usb2("Mp2ModelWindowOff", k2, 0xF200, 1, 5, nullptr,
         {Write(0x01, 188), Write(0x02, 256), Write(0x22, 0x11), Write(0x23, 0x11)}),
    Usb2("Mp2TwinStillAtSpeed0", k2Twin, 0x6201, 1, 5,
         [](SensorSequencer& s) { s.switchResolution(0, true, 5, 1280); },
         {Write(0x05, 899), Write(0x06, 100), Write(0x0A, 0x8002), Write(0x09, 5), Write(0x0B, 1),
          Write(0x22, 0)}),
    // VGA: the divider's line by index; four gains at their ratios.
    Usb2("VgaExposure40ms", kVga, 0x6035, 0, 2, [](SensorSequencer& s) { s.setExposure(40000, 2); },
         {Write(0x09, 543), Write(0x0A, 0)}),
    Usb2("VgaExposureClampedIndex1", kVga, 0x6035, 1, 2,
         [](SensorSequencer& s) { s.setExposure(200000, 2); },
         {Write(0x09, 4095), Write(0x20, 0x1018)}),
    Usb2("VgaGain100", kVga, 0x6035, 0, 2, [](SensorSequencer& s) { s.setGain(100); },
         {Write(0x2B, 40), Write(0x2C, 58), Write(0x2D, 52), Write(0x2E, 40)}),
    Usb2("VgaGain70", kVga, 0x6035, 0, 2, [](SensorSequencer& s) { s.setGain(70); },
         {Write(0x2B, 40), Write(0x2E, 40)}),
    // Grey: the blanking's line; one gain.
    Usb2("GreyExposureSpeed1", kGrey, 0x6131, 0, 1,
         [](SensorSequencer& s) { s.setExposure(6400, 1); }, {Write(0x09, 99), Write(0x05, 48)}),
    Usb2("GreyExposureSpeed0", kGrey, 0x6131, 0, 0,
         [](SensorSequencer& s) { s.setExposure(6400, 0); }, {Write(0x09, 52), Write(0x05, 1472)}),
    Usb2("GreyGain300", kGrey, 0x6131, 0, 1, [](SensorSequencer& s) { s.setGain(300); },
         {Write(0x35, 94)}),
    Usb2("GreyGainBelowFive", kGrey, 0x6131, 0, 1, [](SensorSequencer& s) { s.setGain(4); },
         {Write(0x35, 64)}),
    // USB3 whole clock and window programs: the PLL, the window's start and end, the output size,
    // the read mode and the frame length of each class, chip and link.
    Whole("Mp14WholeFullUsb3", k14, 0xC014, true, false, 0, 3,
          {Write(0x0300, 4), Write(0x0302, 1), Write(0x0308, 8), Write(0x030A, 1), Write(0x0304, 6),
           Write(0x0306, 115), Write(0x0344, 288), Write(0x0348, 4383), Write(0x0346, 32),
           Write(0x034A, 3317), Write(0x0400, 0), Write(0x0404, 16), Write(0x034C, 4096),
           Write(0x034E, 3286), Write(0x3040, 577), Write(0x300A, 3432), Write(0x0104, 0)}),
    Whole("Mp14WholeQuarterBinnedUsb2", k14, 0xD014, false, false, 2, 3,
          {Write(0x0300, 8), Write(0x0302, 2), Write(0x0308, 8), Write(0x030A, 4), Write(0x0304, 4),
           Write(0x0306, 128), Write(0x0344, 288), Write(0x0348, 4377), Write(0x0346, 32),
           Write(0x034A, 3313), Write(0x034C, 1024), Write(0x034E, 822), Write(0x3040, 1991),
           Write(0x300A, 1000)}),
    Whole("Mp14WholeAltHalfSkipped", k14, 0xCB14, true, true, 1, 3,
          {Write(0x0300, 4), Write(0x0302, 1), Write(0x0308, 12), Write(0x030A, 1),
           Write(0x0304, 8), Write(0x0306, 66), Write(0x0344, 286), Write(0x0348, 4383),
           Write(0x0346, 32), Write(0x034A, 3317), Write(0x034C, 2052), Write(0x034E, 1644),
           Write(0x3040, 707), Write(0x300A, 1844)}),
    Whole("Mp85WholeFullUsb3", k85, 0xC850, true, false, 0, 3,
          {Write(0x0300, 4), Write(0x0302, 1), Write(0x0308, 8), Write(0x030A, 1), Write(0x0304, 4),
           Write(0x0306, 64), Write(0x0344, 72), Write(0x0348, 3399), Write(0x0346, 8),
           Write(0x034A, 2555), Write(0x0400, 0), Write(0x0404, 16), Write(0x034C, 3328),
           Write(0x034E, 2548), Write(0x3040, 577), Write(0x300A, 2800), Write(0x3170, 0x71),
           Write(0x0104, 0)}),
    Whole("Mp85WholeHalfBinnedUsb2Speed0", k85, 0xD850, false, false, 1, 0,
          {Write(0x0306, 40), Write(0x0344, 72), Write(0x0348, 3397), Write(0x0346, 8),
           Write(0x034A, 2557), Write(0x034C, 1664), Write(0x034E, 1276), Write(0x3040, 1731),
           Write(0x300A, 1500)}),
    Whole("Mp10WholeHalfBinned", k10, 0xC010, true, false, 1, 2,
          {Write(0x0300, 4), Write(0x0304, 4), Write(0x0306, 56), Write(0x0344, 72),
           Write(0x0348, 3653), Write(0x0346, 8), Write(0x034A, 2749), Write(0x034C, 1792),
           Write(0x034E, 1372), Write(0x3040, 1731), Write(0x300A, 1600)}),
    Whole("Mp10WholeQuarterSkipped", k10, 0xC010, true, true, 2, 1,
          {Write(0x0306, 48), Write(0x0348, 3649), Write(0x034A, 2721), Write(0x034C, 896),
           Write(0x034E, 680), Write(0x3040, 967), Write(0x300A, 1000)}),
    Whole("Mp51WholeFullSpeed6", k51, 0xC510, true, false, 0, 6,
          {Write(0x10, 0x53), Write(0x11, 64 * 256 + 1), Write(0x12, 7), Write(0x20, 0x4040),
           Write(0x0A, 0x8000), Write(0x49, 0), Write(0x04, 2559), Write(0x03, 1921),
           Write(0x22, 0), Write(0x23, 0), Write(0x05, 450), Write(0x06, 34), Write(0x0D, 0)}),
    Whole("Mp51WholeHalfSkippedSpeed0", k51, 0xC510, true, true, 1, 0,
          {Write(0x11, 54 * 256 + 1), Write(0x12, 7), Write(0x04, 2559), Write(0x03, 1919),
           Write(0x22, 0x01), Write(0x23, 0x01), Write(0x05, 620)}),
    Whole("Mp51WholeQuarterBinnedUsb2", k51, 0xD510, false, false, 2, 3,
          {Write(0x11, 58 * 256 + 1), Write(0x12, 7), Write(0x03, 1919), Write(0x22, 0x33),
           Write(0x23, 0x33), Write(0x05, 1600)}),
};

INSTANTIATE_TEST_SUITE_P(Golden, CameraSuitePrograms, ::testing::ValuesIn(kGolden),
                         [](const auto& row) { return std::string(row.param.name); });

// A switch to the programmed index sends nothing, still or not.
TEST(CameraSuitePrograms, SameIndexSwitchSendsNothing) {
  for (const ModelSpec* spec : {k51, k85, k10, k14}) {
    for (const bool still : {false, true}) {
      RecordingSensor sensor;
      platform::RecursiveLock lock;
      RegisterProgram program(sensor, lock);
      SensorSequencer sequencer(program, *spec, true);
      ASSERT_EQ(sequencer.open(1, spec->defaultSpeed, spec->exposureUs.def), S_OK);
      sensor.take();
      sequencer.switchResolution(1, still, spec->defaultSpeed, spec->exposureUs.def);
      EXPECT_TRUE(sensor.take().empty()) << still;
    }
  }
}

}  // namespace

namespace {

// The alternative chip at half size: the FPGA hears the width before any window write.
TEST(CameraSuitePrograms, AlternativeFpgaValueComesFirst) {
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  SensorSequencer sequencer(program, *k14, true);
  sequencer.identify(0xCB14, 3);
  ASSERT_EQ(sequencer.open(1, 3, 85000), S_OK);
  const std::vector<RegStep> log = sensor.take();
  EXPECT_EQ(log.front(), Request(kRequestSystemInit, 3));
  const auto fpga = std::find(log.begin(), log.end(), Request(kRequestFpgaValue, 510));
  ASSERT_NE(fpga, log.end());
  ASSERT_NE(fpga + 1, log.end());
  EXPECT_EQ(fpga[1], Wait(30));
  const auto window = std::find_if(log.begin(), log.end(), [](const RegStep& s) {
    return s.kind == RegStep::Kind::Write && s.reg == 0x0344;
  });
  EXPECT_LT(fpga, window);
}

// What each sensor's stop sends (the USB3 classes halt the stream first, outside the program).
TEST(CameraSuitePrograms, StopProgramsAreTheSensors) {
  const struct {
    const char* name;
    const ModelSpec* spec;
    bool halts;
    std::vector<RegStep> steps;
  } rows[] = {
      {"USB3 5.1 MP", k51, true, {Wait(10), Write(0x0D, 1), Wait(30), Write(0x0D, 0)}},
      {"USB3 5.1 MP twin", k51Twin, true, {Wait(10), Write(0x0D, 1), Wait(30), Write(0x0D, 0)}},
      {"USB3 8.5 MP", k85, true, {Wait(10), Write(0x0103, 0x0100), Wait(30), Wait(20)}},
      {"USB3 10 MP", k10, true, {Wait(10), Write(0x0103, 0x0100), Wait(30), Wait(20)}},
      {"USB3 14 MP", k14, true, {Wait(10), Write(0x0100, 0), Wait(20)}},
      {"USB2 1.3 MP", k13, false, {Write(0xF0, 0), Write(0x0D, 1)}},
      {"USB2 1.3 MP twin", k13Twin, false, {Write(0xF0, 0), Write(0x0D, 1)}},
      {"USB2 1.3 MP second revision", k13V2, false, {Write(0x0103, 1), Wait(10)}},
      {"USB2 2 MP", k2, false, {Write(0x0D, 1)}},
      {"USB2 2 MP twin", k2Twin, false, {Write(0x0D, 1)}},
      {"USB2 3.1 MP", kR31, false, {Write(0x0D, 1)}},
      {"USB2 VGA", kVga, false, {Write(0x0D, 1)}},
      {"USB2 grey", kGrey, false, {Write(0x00, 3)}},
      {"USB2 5.1 MP", kU51, false, {Write(0x0D, 1), Wait(10), Write(0x0D, 0)}},
      {"USB2 8 MP", kR8, false, {Write(0x0103, 0x0100), Wait(100)}},
      {"USB2 14 MP", kU14, false, {Write(0x0103, 0x0100), Wait(100)}},
  };
  for (const auto& row : rows) {
    RecordingSensor sensor;
    platform::RecursiveLock lock;
    RegisterProgram program(sensor, lock);
    SensorSequencer sequencer(program, *row.spec, true);
    sequencer.stop();
    EXPECT_EQ(sensor.take(), row.steps) << row.name;
    EXPECT_EQ(row.spec->haltsBeforeStop, row.halts) << row.name;
  }
}

// The second revision's start-up base table, 121 writes: its ends and a checksum of every entry
// in order (the sum of (position + 1) x (register x 256 + value), modulo 2^32).
TEST(CameraSuitePrograms, TheSecondRevisionBaseTableIsWhole) {
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  SensorSequencer sequencer(program, *k13V2, false);
  sequencer.identify(0x1207, 3);
  ASSERT_EQ(sequencer.open(0, 2, 10000), S_OK);
  const std::vector<RegStep> log = sensor.take();
  const auto reset = std::find(log.begin(), log.end(), Wait(10));
  ASSERT_NE(reset, log.begin());
  ASSERT_EQ(reset[-1], Write(0x0103, 1));
  ASSERT_GE(log.end() - reset, 123);
  const std::vector<RegStep> base(reset + 1, reset + 122);
  EXPECT_EQ(base.front(), Write(0x0103, 0x01));
  EXPECT_EQ(base[20], Write(0x333A, 0xAA));
  EXPECT_EQ(base.back(), Write(0x0100, 0x01));
  EXPECT_EQ(reset[122], Write(0x3039, 0x45)) << "the table ends after 121 writes";
  uint32_t checksum = 0;
  for (size_t i = 0; i < base.size(); ++i) {
    EXPECT_EQ(base[i].kind, RegStep::Kind::Write) << i;
    checksum += uint32_t(i + 1) * (uint32_t{base[i].reg} * 256 + base[i].value);
  }
  EXPECT_EQ(checksum, 362291271u);
}

// Before the first start the exposure divides by the sensor's initial line length, which the
// sensor is taken to hold already.
TEST(CameraSuitePrograms, AnExposureBeforeTheFirstStartUsesTheInitialLine) {
  const struct {
    const char* name;
    const ModelSpec* spec;
    bool usb3;
    uint32_t us;
    uint16_t speed;
    uint16_t linesReg;
    uint32_t lines;
  } rows[] = {
      {"3.1 MP, 2300", &kSpecRostrel303100KPA, true, 94000, 2, 0x3012, 4005},
      {"8.5 MP, 14880", k85, true, 150000, 3, 0x3012, (80 * 150000 - 1010) / 14880},
      {"10 MP, 14880", k10, true, 150000, 3, 0x3012, (80 * 150000 - 1010) / 14880},
      {"14 MP, 4500", k14, true, 85000, 3, 0x3012, 1809},
      {"USB2 8 MP, 8500", kR8, false, 6400, 5, 0x3012, (6400 * 96 + 4250) / 8500},
      {"USB2 9 MP, 9000", kR9, false, 6400, 5, 0x3012, (6400 * 96 + 4500) / 9000},
      {"USB2 10 MP twin, 7608", &kSpecPelvane10000KPA, false, 300000, 5, 0x3012,
       (300000 * 48 + 3804) / 7608},
      {"USB2 8 MP twin, 6968", kP8, false, 6400, 5, 0x3012, (6400 * 48 + 3484) / 6968},
      {"USB2 14 MP, 4500", kU14, false, 85000, 5, 0x3012, 85000 * 96 / 4500},
  };
  for (const auto& row : rows) {
    RecordingSensor sensor;
    platform::RecursiveLock lock;
    RegisterProgram program(sensor, lock);
    SensorSequencer sequencer(program, *row.spec, row.usb3);
    sequencer.setExposure(row.us, row.speed);
    const std::vector<RegStep> log = sensor.take();
    EXPECT_EQ(log, std::vector<RegStep>{Write(row.linesReg, uint16_t(row.lines))}) << row.name;
  }
}

uint32_t gTick = 0;
uint32_t TestTick() {
  return gTick;
}

// The ready poll: ready at once, after misses, never (the open fails after the limit with
// nothing written), a one-byte reply (its first byte decides), and empty replies across a wrap
// of the tick.
TEST(CameraSuitePrograms, ReadyWaitPollsOnTheClockSeam) {
  struct Case {
    const char* name;
    uint32_t readsUntilReady;
    uint32_t replyBytes;
    uint32_t startTick;
    HRESULT result;
  } cases[] = {{"ready", 0, 3, 0, S_OK},
               {"after misses", 5, 3, 0, S_OK},
               {"never", 0xFFFFFFFF, 3, 0, static_cast<HRESULT>(0x8007001F)},
               {"one-byte reply", 0, 1, 0, S_OK},
               {"empty replies across a wrap", 0, 0, 0xFFFFFF00u, static_cast<HRESULT>(0x8007001F)},
               {"ready across a wrap", 40, 2, 0xFFFFFF00u, S_OK}};
  platform::SetTickSource(TestTick);
  for (const Case& c : cases) {
    RecordingSensor sensor;
    sensor.readsUntilReady = c.readsUntilReady;
    sensor.replyBytes = c.replyBytes;
    gTick = c.startTick;
    sensor.tick = &gTick;
    platform::RecursiveLock lock;
    RegisterProgram program(sensor, lock);
    SensorSequencer sequencer(program, *k14, true);
    sequencer.identify(0xC014, 3);
    EXPECT_EQ(sequencer.open(0, 3, 85000), c.result) << c.name;
    const std::vector<RegStep> log = sensor.take();
    const bool wrote = std::any_of(log.begin(), log.end(),
                                   [](const RegStep& s) { return s.kind != RegStep::Kind::Wait; });
    EXPECT_EQ(wrote, c.result == S_OK) << c.name;
    if (c.result != S_OK) {
      EXPECT_GT(gTick - c.startTick, 3000u) << c.name;
      EXPECT_LE(gTick - c.startTick, 3050u) << c.name;
      EXPECT_EQ(sequencer.reinitialise(3, 85000, uint16_t{100}), c.result) << c.name;
      const std::vector<RegStep> after = sensor.take();
      EXPECT_TRUE(std::none_of(after.begin(), after.end(), [](const RegStep& s) {
        return s.kind != RegStep::Kind::Wait;
      })) << c.name;
    }
  }
  platform::SetTickSource(nullptr);
}

}  // namespace

namespace {

// Exposure, gain and skip programmed from three threads at once: no exposure write lands inside a
// held group or inside the skip program's standby, so every program reaches the sensor whole.
TEST(CameraSuitePrograms, SkipExposureAndGainProgramsStayWholeAcrossThreads) {
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program(sensor, lock);
  SensorSequencer sequencer(program, *k10, true);
  ASSERT_EQ(sequencer.open(1, 3, 150000), S_OK);
  constexpr int kRounds = 300;
  std::thread exposure([&] {
    for (int i = 0; i < kRounds; ++i) sequencer.setExposure(i % 2 ? 2000000 : 10000 + i, 3);
  });
  std::thread gain([&] {
    for (int i = 0; i < kRounds; ++i) sequencer.setGain(uint16_t(100 + i % 200));
  });
  for (int i = 0; i < kRounds; ++i) sequencer.switchSkip(i % 2 == 0, 3, 150000);
  exposure.join();
  gain.join();
  bool held = false, standby = false;
  size_t inside = 0, exposures = 0;
  for (const RegStep& s : sensor.take()) {
    if (s.kind != RegStep::Kind::Write) continue;
    if (s.reg == 0x0104) held = s.value != 0;
    if (s.reg == 0x0100) standby = s.value == 0;
    if (s.reg == 0x3012) exposures++, inside += held || standby;
  }
  EXPECT_EQ(inside, 0u);
  EXPECT_GE(exposures, size_t{2 * kRounds});
}

}  // namespace
