// The CCD classes' arithmetic and wire: gain codes, exposure and still programming per class,
// the register forms, the timing-program loader and the opening sequences, on the virtual clock.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "models/common/ccd_camera.h"
#include "models/common/ccd_exposure.h"
#include "models/families/ccd_14mp.h"
#include "models/families/ccd_31mp.h"
#include "models/families/ccd_51mp.h"
#include "pipeline/device_values.h"
#include "pipeline/pl_frame_hooks.h"
#include "sim/ccd_family.h"
#include "tests/models/model_rig.h"
#include "tests/support/verbose_trace.h"

namespace {

using testing_models::ModelRig;
using testing_models::RigOptions;

struct GainRow {
  const CcdSpec* spec;
  uint16_t percent;
  uint16_t code;
};

TEST(CcdRules, GainCodesFollowTheScaleAndFallBackOutsideIt) {
  const GainRow rows[] = {
      {&kSpecQuillard01400KPB, 100, 335},  {&kSpecQuillard01400KPB, 500, 733},
      {&kSpecQuillard01400KPB, 99, 335},   {&kSpecQuillard01400KPB, 501, 335},
      {&kSpecQuillard03100KPB, 100, 224},  {&kSpecQuillard03100KPB, 500, 623},
      {&kSpecQuillard05100KPAV2, 99, 225}, {&kSpecQuillard05100KPAV2, 501, 225},
  };
  for (const GainRow& r : rows) EXPECT_EQ(ccd::gainCode(*r.spec, r.percent), r.code) << r.percent;
}

struct ExposureRow {
  const char* what;
  const CcdSpec* spec;
  bool longForm;
  uint32_t mode;
  uint16_t speed;
  uint32_t us;
  std::vector<PackedWrite> writes;
  uint32_t frameLines;
};

TEST(CcdRules, ExposuresProgramTheClassesRegisters) {
  const ExposureRow rows[] = {
      {"1.4 long, one frame",
       &kSpecQuillard01400KPB,
       true,
       0,
       0,
       132209,
       {{99, 4097}, {100, 1053u << 12}},
       0},
      {"1.4 V2 at 60 s", &kSpecQuillard01400KPBV2, true, 0, 1, 60000000, {{100, 1u << 12}}, 936851},
      {"1.4 V2 by line period",
       &kSpecQuillard01400KPBV2,
       true,
       0,
       1,
       4585000,
       {{100, 1u << 12}},
       71592},
      {"1.4 V2 shortest", &kSpecQuillard01400KPBV2, true, 0, 1, 127, {{100, 1053u << 12}}, 1054},
      {"3.1 short clamped", &kSpecQuillard03100KPB, false, 0, 1, 100000, {{99, 1u << 12}}, 0},
      {"3.1 long at 60 s",
       &kSpecQuillard03100KPB,
       true,
       0,
       0,
       60000000,
       {{99, 4569}, {100, 417u << 12}},
       0},
      {"5.1 short clamped", &kSpecQuillard05100KPA, false, 0, 1, 1000000, {{99, 8192}}, 0},
      {"5.1 long clamped", &kSpecQuillard05100KPA, true, 0, 1, 1000000, {{100, 8192}}, 0},
      {"5.1 reduced short", &kSpecQuillard05100KPA, false, 1, 1, 1000000, {{99, 2u << 12}}, 0},
      {"5.1 reduced long", &kSpecQuillard05100KPA, true, 1, 1, 1000000, {{100, 33u << 12}}, 0},
  };
  for (const ExposureRow& r : rows) {
    const CcdExposurePlan p = ccd::planExposure(*r.spec, r.longForm, r.mode, r.speed, r.us);
    ASSERT_EQ(p.count, r.writes.size()) << r.what;
    for (size_t i = 0; i < r.writes.size(); ++i) {
      EXPECT_EQ(p.writes[i].reg, r.writes[i].reg) << r.what;
      EXPECT_EQ(p.writes[i].value, r.writes[i].value) << r.what;
    }
    EXPECT_EQ(p.frameLines, r.frameLines) << r.what;
  }
}

TEST(CcdRules, RangesFollowFormAndMode) {
  const ValueRange shortFull = ccd::exposureRange(kSpecQuillard03100KPB, false, 0);
  EXPECT_EQ(shortFull.min, 178u);
  EXPECT_EQ(shortFull.max, 77376u);
  EXPECT_EQ(ccd::exposureRange(kSpecQuillard03100KPB, true, 0).max, 60000000u);
  EXPECT_EQ(ccd::exposureRange(kSpecQuillard05100KPA, true, 1).max, 27649u);
  EXPECT_EQ(ccd::exposureRange(kSpecQuillard05100KPAV2, true, 1).max, 60000000u);
}

constexpr uint32_t kNoCompare = 0xFFFFFFFF;

struct StillRow {
  const char* what;
  const CcdSpec* spec;
  bool longForm;
  uint32_t exposureUs;
  uint16_t gain;
  uint32_t stillUs;  // the exposure the still must program
  uint16_t stillGain;
};

// The still trades time for gain past the longest exposure, and never asks above 500 %.
TEST(CcdRules, StillsTradeTimeForGainUpToTheGainsTop) {
  const StillRow rows[] = {
      {"V2 3.1 at 40 s", &kSpecQuillard03100KPBV2, true, 40000000, 100, 60000000, 133},
      {"V2 3.1 at 20 s", &kSpecQuillard03100KPBV2, true, 20000000, 100, 40000000, 100},
      {"3.1 short", &kSpecQuillard03100KPB, false, 30000, 200, 77376, 155},
      {"3.1 short, gain clamped", &kSpecQuillard03100KPB, false, 77376, 300, 77376, 500},
      {"5.1", &kSpecQuillard05100KPA, false, 50000, 300, 77503, 193},
      {"5.1 at its longest", &kSpecQuillard05100KPA, true, 77503, 100, 77503, 100},
      {"V2 5.1 near 60 s, gain clamped", &kSpecQuillard05100KPAV2, true, 59000000, 600, 60000000,
       500},
      {"no exposure yet", &kSpecQuillard05100KPA, false, 0, 100, kNoCompare, 100},
  };
  for (const StillRow& r : rows) {
    const CcdStillPlan still = ccd::planStill(*r.spec, r.longForm, 1, 0, 1, r.exposureUs, r.gain);
    EXPECT_EQ(still.gainPercent, r.stillGain) << r.what;
    if (r.stillUs == kNoCompare) continue;
    const CcdExposurePlan want = ccd::planExposure(*r.spec, r.longForm, 0, 1, r.stillUs);
    EXPECT_EQ(still.exposure.writes[0].value, want.writes[0].value) << r.what;
    EXPECT_EQ(still.exposure.frameLines, want.frameLines) << r.what;
  }
}

// A CCD camera on its simulated device and the virtual clock; the sim's mode query answers
// writeMode.
class CcdWire : public ::testing::Test {
 protected:
  CcdCamera* open(uint16_t productId, int32_t writeMode) {
    rig_.reset();  // one bus at a time
    rig_ = std::make_unique<ModelRig>(RigOptions{.productId = productId});
    rig_->device().withFamily([&](sim::SensorFamily& f) {
      static_cast<sim::CcdFamily&>(f).setWriteMode(writeMode);
      return 0;
    });
    rig_->open();
    return dynamic_cast<CcdCamera*>(rig_->base());
  }
  std::vector<sim::LogEntry> requests(uint8_t code) {
    std::vector<sim::LogEntry> out;
    for (const sim::LogEntry& e : rig_->log().ofKind(sim::LogKind::Request))
      if (e.code == code) out.push_back(e);
    return out;
  }
  bool started() {
    for (const sim::LogEntry& e : requests(0x01))
      if (e.value == 3) return true;
    return false;
  }
  std::unique_ptr<ModelRig> rig_;
};

// Counts the helper's exposure notices.
struct Notices {
  int count = 0;
  static void Record(void* c) { ++static_cast<Notices*>(c)->count; }
  void watch(PLHlperBase& h) {
    h.onExposureChanged = &Record;
    h.onExposureChangedCtx = this;
  }
};

TEST_F(CcdWire, TheModeQueryPicksTheFormOfEveryWrite) {
  const struct {
    int32_t answer;
    bool longForm;
  } rows[] = {{1, true}, {0, false}, {-1, false}};
  for (const auto& r : rows) {
    CcdCamera* cam = open(0x8146, r.answer);
    ASSERT_NE(cam, nullptr);
    ASSERT_EQ(cam->stream().openDevice(), S_OK) << r.answer;
    ASSERT_EQ(cam->OpenCamera(0), S_OK) << r.answer;
    EXPECT_EQ(cam->device().longFormWrites != 0, r.longForm) << r.answer;
    EXPECT_TRUE(rig_->log().ofKind(sim::LogKind::Error).empty()) << "a write in the other form";
    EXPECT_TRUE(started());
  }
}

TEST_F(CcdWire, RegisterFormsCarryRegisterAndValue) {
  CcdCamera* cam = open(0x8146, 0);
  ASSERT_EQ(cam->stream().openDevice(), S_OK);
  rig_->log().clear();
  cam->device().longFormWrites = 1;
  ASSERT_EQ(cam->device().bWritePacked(99, 4097), S_OK);
  const uint64_t word = 99 | uint64_t{4097} << 12;
  const std::vector<uint8_t> le40 = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16),
                                     uint8_t(word >> 24), uint8_t(word >> 32)};
  EXPECT_EQ(requests(0x08).back().payload, le40);
  cam->device().longFormWrites = 0;
  ASSERT_EQ(cam->pipelineHelper().PLHlperSetExpoAGain(100), S_OK);
  EXPECT_EQ(requests(0x08).back().value, 0x0001u);
  EXPECT_EQ(requests(0x08).back().index, 0x014Fu);
}

TEST_F(CcdWire, TheLoaderPausesSetsTheSpeedAndStopsAtTheFirstFailedWrite) {
  CcdCamera* cam = open(0x8311, 0);
  ASSERT_EQ(PL_SetSpeed(cam->pipelineHelper(), 0, 1), S_OK);
  ASSERT_EQ(cam->stream().openDevice(), S_OK);
  rig_->log().clear();
  ASSERT_EQ(cam->OpenCamera(0), S_OK);
  EXPECT_TRUE(rig_->writesTo(0xFFFF).empty()) << "a pause is never a write";
  EXPECT_TRUE(rig_->writesTo(0xFF30).empty()) << "the marker goes to register 48";
  ASSERT_FALSE(rig_->writesTo(48).empty());
  EXPECT_EQ(rig_->writesTo(48).back(), 1u) << "the marker carries speed 0";
  uint32_t pauses48 = 0;
  for (const sim::LogEntry& e : rig_->log().ofKind(sim::LogKind::Pause)) pauses48 += e.code == 48;
  EXPECT_GE(pauses48, 1u);
  // A write refused in the middle of the program: the start reports it and never starts.
  rig_->device().addRequestFault({0x08, sim::RequestFault::Kind::TransferError, 31, 0, 0, 1, 0});
  rig_->log().clear();
  EXPECT_TRUE(FAILED(cam->OpenCamera(0)));
  EXPECT_FALSE(started());
}

// Only the marked row of a short form carries the speed: its page-1 register-48 row keeps its
// table value (0). A long form has no marker: its register 48 is the speed's.
TEST_F(CcdWire, TheMarkedRowAloneCarriesTheSpeed) {
  const struct {
    uint16_t id;
    int32_t writeMode;
    uint16_t speed;
    std::vector<uint32_t> writes48;
  } rows[] = {{0x8311, 0, 0, {0, 1}},
              {0x8510, 0, 0, {0, 1}},
              {0x8311, 0, 1, {0, 0}},
              {0x8510, 1, 0, {1}},
              {0x8510, 1, 1, {0}}};
  for (const auto& r : rows) {
    CcdCamera* cam = open(r.id, r.writeMode);
    ASSERT_EQ(PL_SetSpeed(cam->pipelineHelper(), r.speed, 1), S_OK);
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    rig_->log().clear();
    ASSERT_EQ(cam->OpenCamera(0), S_OK);
    EXPECT_EQ(rig_->writesTo(48), r.writes48) << std::hex << r.id << " speed " << r.speed;
  }
}

// The registers whose values come from the level, besides 48: the 1.4 MP short form's 54 and
// the 55 of the 1.4 MP long and second-generation forms and of the 5.1 MP full-frame long forms.
TEST_F(CcdWire, SpeedRowsTakeTheLevelsValues) {
  const struct {
    uint16_t id;
    int32_t writeMode;
    uint16_t speed;
    uint16_t reg;
    uint32_t value;
  } rows[] = {{0x8146, 0, 1, 54, 40}, {0x8146, 0, 0, 54, 32}, {0x8146, 1, 1, 55, 42},
              {0x8146, 1, 0, 55, 34}, {0x8148, 1, 1, 55, 42}, {0x8148, 1, 0, 55, 34},
              {0x8510, 1, 1, 55, 40}, {0x8510, 1, 0, 55, 32}, {0x8516, 1, 1, 55, 36},
              {0x8516, 1, 0, 55, 32}};
  for (const auto& r : rows) {
    CcdCamera* cam = open(r.id, r.writeMode);
    ASSERT_EQ(PL_SetSpeed(cam->pipelineHelper(), r.speed, 1), S_OK);
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    ASSERT_EQ(cam->OpenCamera(0), S_OK);
    ASSERT_FALSE(rig_->writesTo(r.reg).empty()) << std::hex << r.id << " register " << r.reg;
    EXPECT_EQ(rig_->writesTo(r.reg).back(), r.value)
        << std::hex << r.id << " speed " << r.speed << " register " << std::dec << r.reg;
  }
}

// A first-generation camera takes a new speed only while closed: open, the speed it reports stays
// the one it runs until its next start. A second-generation one runs its program at the new
// clock at once.
TEST_F(CcdWire, AnOpenFirstGenerationCameraKeepsItsSpeedASecondGenerationOneTakesItNow) {
  for (const uint16_t id : {uint16_t{0x8311}, uint16_t{0x8510}}) {
    CcdCamera* cam = open(id, 0);
    CcdHelper& h = cam->pipelineHelper();
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    ASSERT_EQ(cam->OpenCamera(0), S_OK);
    rig_->log().clear();
    Notices notices;
    notices.watch(h);
    EXPECT_EQ(PL_SetSpeed(h, 0, 0), S_OK) << std::hex << id;
    EXPECT_EQ(notices.count, 0) << std::hex << id;  // the sensor keeps the clock it runs
    uint16_t level = 9;
    EXPECT_EQ(cam->get_Speed(&level), S_OK);
    EXPECT_EQ(level, 1) << std::hex << id;
    EXPECT_TRUE(rig_->writesTo(48).empty()) << std::hex << id;
    cam->StopSensor();
    EXPECT_EQ(PL_SetSpeed(h, 0, 0), S_OK) << std::hex << id;
    EXPECT_EQ(h.speed, 0) << std::hex << id;
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    ASSERT_EQ(cam->OpenCamera(0), S_OK);
    EXPECT_EQ(rig_->writesTo(48).back(), 1u) << std::hex << id;
  }
  // The new clock hands the exposure and gain over, traced, with one notice; closed, the
  // exposure alone, with its notice all the same.
  for (const uint16_t id : {uint16_t{0x8148}, uint16_t{0x8316}, uint16_t{0x8516}}) {
    CcdCamera* cam = open(id, 1);
    for (const uint16_t level : {uint16_t{0}, uint16_t{1}}) {
      Notices closed;
      closed.watch(cam->pipelineHelper());
      std::string lines;
      {
        zxtest::VerboseTrace trace;
        EXPECT_EQ(PL_SetSpeed(cam->pipelineHelper(), level, 0), S_OK) << std::hex << id;
        lines = trace.lines();
      }
      EXPECT_EQ(closed.count, 1) << std::hex << id << " closed at speed " << level;
#ifndef _WIN32  // the debugger output is not captured there
      EXPECT_NE(lines.find("#:ExpoProcTime: force = true\n"), std::string::npos)
          << std::hex << id << " closed at speed " << level << "\n"
          << lines;
#endif
    }
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    ASSERT_EQ(cam->OpenCamera(0), S_OK);
    rig_->log().clear();
    Notices notices;
    notices.watch(cam->pipelineHelper());
    std::string lines;
    {
      zxtest::VerboseTrace trace;
      EXPECT_EQ(PL_SetSpeed(cam->pipelineHelper(), 0, 0), S_OK) << std::hex << id;
      lines = trace.lines();
    }
    EXPECT_EQ(cam->pipelineHelper().speed, 0) << std::hex << id;
    EXPECT_EQ(rig_->writesTo(48), std::vector<uint32_t>{1}) << std::hex << id;
    EXPECT_EQ(notices.count, 1) << std::hex << id;
#ifndef _WIN32  // the debugger output is not captured there
    const uint32_t time = cam->pipelineHelper().appliedTime;
    const uint16_t gain = cam->pipelineHelper().appliedGain;
    for (const std::string& line :
         {"#:ExpoProcTime: force = true\n#:ExpoProcTime: real = " + std::to_string(time) +
              "\n#:PLHlperSetExpoTime: " + std::to_string(time) + "\n",
          "#:ExpoProcAGain: " + std::to_string(gain) + ", force = true\n#:ExpoProcAGain: real = " +
              std::to_string(gain) + "\n#:PLHlperSetExpoAGain: " + std::to_string(gain) + "\n"})
      EXPECT_NE(lines.find(line), std::string::npos) << std::hex << id << "\n" << lines;
#endif
  }
}

// Each class's fixed values as its camera answers them: frame rates at indexes 0 and 1, the
// matrix (first, last and a position-weighted sum of all nine) and the base gains.
TEST_F(CcdWire, FixedValuesAreTheClassesGoldenOnes) {
  const struct {
    uint16_t id;
    std::array<uint32_t, 2> rates;
    std::array<double, 3> matrix;
    std::array<uint32_t, 3> wbBase;
  } rows[] = {
      {0x8146, {12, 12}, {1.61359, 1.71882, 14.8791001}, {337, 221, 311}},
      {0x8148, {12, 12}, {1.61359, 1.71882, 14.8791001}, {337, 221, 311}},
      {0x8311, {6, 41}, {1.34701, 1.340615, 13.854785}, {368, 256, 371}},
      {0x8316, {6, 41}, {1.34701, 1.340615, 13.854785}, {368, 256, 371}},
      {0x8510, {4, 30}, {1.493814, 1.465509, 13.765151}, {397, 256, 371}},
      {0x8516, {5, 30}, {1.493814, 1.465509, 13.765151}, {397, 256, 371}},
  };
  for (const auto& r : rows) {
    CcdCamera* cam = open(r.id, 0);
    ASSERT_NE(cam, nullptr);
    for (uint32_t i = 0; i < r.rates.size(); ++i)
      EXPECT_EQ(cam->device().GetMaxFrameRate(i), r.rates[i]) << std::hex << r.id << " " << i;
    double m[9] = {};
    cam->GetColorMatrix(m);
    double weighted = 0;
    for (int i = 0; i < 9; ++i) weighted += (i + 1) * m[i];
    EXPECT_DOUBLE_EQ(m[0], r.matrix[0]) << std::hex << r.id;
    EXPECT_DOUBLE_EQ(m[8], r.matrix[1]) << std::hex << r.id;
    EXPECT_NEAR(weighted, r.matrix[2], 1e-6) << std::hex << r.id;
    uint32_t base[3] = {};
    cam->GetWbGainBase(base);
    EXPECT_EQ(std::vector<uint32_t>(base, base + 3),
              std::vector<uint32_t>(r.wbBase.begin(), r.wbBase.end()))
        << std::hex << r.id;
  }
}

TEST_F(CcdWire, SecondGenerationWritesItsTimingBlockAfterTheTable) {
  CcdCamera* cam = open(0x8316, 1);
  ASSERT_EQ(cam->stream().openDevice(), S_OK);
  EXPECT_TRUE(requests(0x10).empty()) << "no mode query";
  rig_->log().clear();
  ASSERT_EQ(cam->OpenCamera(0), S_OK);
  std::vector<std::pair<uint32_t, uint32_t>> fpga;
  for (const sim::LogEntry& e : rig_->log().ofKind(sim::LogKind::FpgaValue))
    fpga.emplace_back(e.code, e.value);
  const std::vector<std::pair<uint32_t, uint32_t>> want = {{8, 0},    {0, 818}, {1, 0},   {2, 260},
                                                           {3, 2308}, {4, 50},  {5, 818}, {6, 260},
                                                           {7, 2308}, {9, 1},   {9, 0},   {8, 2}};
  ASSERT_GE(fpga.size(), want.size());
  EXPECT_EQ(std::vector(fpga.begin(), fpga.begin() + long(want.size())), want);
}

TEST_F(CcdWire, OpeningSelectsTheInterfaceOnceAndClosesAfterAFailure) {
  CcdCamera* cam = open(0x8146, 0);
  ASSERT_EQ(cam->stream().openDevice(), S_OK);
  bool selected = false;
  for (const sim::LogEntry& e : rig_->log().ofKind(sim::LogKind::PipeOp))
    selected = selected || e.text == "select-alt";
  EXPECT_TRUE(selected) << "driver state 0 selects the interface";
  uint32_t state = 0;
  rig_->device().driverState(&state);
  EXPECT_EQ(state, 1u);
  cam->StopSensor();
  rig_->device().setDriverState(0x80000000u);
  EXPECT_EQ(cam->stream().openDevice(), E_FAIL);
  EXPECT_FALSE(cam->device().isOpen()) << "a failed open leaves nothing open";
  EXPECT_EQ(cam->device().deviceOpened, 0);
}

// After a still at full frame the preview's exposure is back (within a line), on both
// generations; a second-generation speed change keeps the exposure right at the new clock.
TEST_F(CcdWire, PreviewExposureComesBackAfterAStillAndASpeedChange) {
  for (const uint16_t id : {uint16_t{0x8311}, uint16_t{0x8316}, uint16_t{0x8516}}) {
    CcdCamera* cam = open(id, 0);
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    ASSERT_EQ(cam->OpenCamera(0), S_OK);
    CcdHelper& h = cam->pipelineHelper();
    {
      std::lock_guard<platform::RecursiveLock> hold(*h.ctx8->mtxSettings);
      h.ctx8->settings.expoTime = 30000;
    }
    ExpoProcTime(h, 1);
    const uint32_t preview = rig_->sensorExposureUs();
    const uint32_t line = rig_->sensorLineUs() + 1;
    EXPECT_TRUE(testing_models::Near(preview, 30000, line)) << id << ": " << preview;
    cam->SetResolution(0, true);
    if (id != 0x8516) {  // the 3.1 MP still doubles the exposure; the 5.1 MP one keeps it
      EXPECT_TRUE(testing_models::Near(rig_->sensorExposureUs(), 60000, 2 * line)) << id;
    }
    Notices notices;
    notices.watch(h);
    cam->SetResolution(0, false);
    EXPECT_TRUE(testing_models::Near(rig_->sensorExposureUs(), 30000, line)) << id;
    EXPECT_EQ(notices.count, 1) << id;  // the preview's exposure and gain, handed over once
    if (id == 0x8311) continue;
    ASSERT_EQ(PL_SetSpeed(h, 0, 0), S_OK);
    EXPECT_TRUE(testing_models::Near(rig_->sensorExposureUs(), 30000, 2 * line)) << id;
  }
}

// A page's thread reads the range while the application starts and stops: never two opens.
TEST_F(CcdWire, RangeReadsAcrossStartAndStopOpenOncePerStart) {
  CcdCamera* cam = open(0x8311, 0);
  rig_->countOpens();
  std::atomic<bool> done{false};
  std::thread page([&] {
    uint32_t lo = 0, hi = 0, def = 0;
    while (!done) (void)cam->get_ExpTimeRange(&lo, &hi, &def);
  });
  constexpr int kCycles = 20;
  for (int i = 0; i < kCycles; ++i) {
    ASSERT_EQ(cam->stream().openDevice(), S_OK);
    cam->StopSensor();
  }
  done = true;
  page.join();
  EXPECT_LE(rig_->opens(), kCycles + 1) << "one open per closed spell";
  EXPECT_TRUE(rig_->log().ofKind(sim::LogKind::Error).empty());
}

}  // namespace
