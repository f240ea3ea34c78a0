// The 3.1 MP sensor's golden programs: each flow as a recording sensor sees it, and through the
// camera object on the simulated device. The generic camera suite covers everything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "base/lumorix_flags.h"
#include "models/common/sensor_sequencer.h"
#include "models/families/usb3_31mp.h"
#include "tests/models/model_rig.h"
#include "tests/models/recording_sensor.h"

namespace {

using testing_models::LineUs;
using testing_models::ModelRig;
using testing_models::Near;
using testing_models::RecordingSensor;

struct Rig {
  explicit Rig(bool usb3) : sequencer(program, kSpecRostrel303100KPA, usb3) {}
  RecordingSensor sensor;
  platform::RecursiveLock lock;
  RegisterProgram program{sensor, lock};
  SensorSequencer sequencer;
};

// Hand-aligned tables read better as columns.
// clang-format off
constexpr std::array kStart{Write(0x301A, 0x00D8), Wait(100), Write(0x3021, 0x0100), Wait(30),
                            Write(0x301A, 0x10D8), Write(0x30B0, 0), Write(0x3064, 0x1902), Write(0x31AC, 0x0C0C),
                            Write(0x3082, 9), Write(0x30BA, 0x06EC), Write(0x3064, 0x1802), Write(0x31AE, 0x0301),
                            Write(0x301A, 0x10D0), Wait(100),
                            Write(0x301E, 0), Write(0x302A, 6), Write(0x302E, 10), Write(0x3030, 147),
                            Write(0x302C, 1), Wait(100)};
constexpr std::array kWindow0{Write(0x30A2, 1), Write(0x30A6, 1), Write(0x3004, 134), Write(0x3008, 2181),
                              Write(0x3002, 6), Write(0x3006, 1539), Write(0x300A, 1560), Write(0x3040, 0),
                              Write(0x301A, 0x10DE), Wait(10)};
constexpr std::array kSpeed2{Write(0x301A, 0x10D8), Wait(100), Write(0x3030, 147), Wait(100), Write(0x301A, 0x10DC)};
// clang-format on

TEST(Usb3_31Programs, ExposureTimesBecomeLinesAndLineLength) {
  struct Case {
    uint32_t us;
    uint16_t speed;
    uint16_t lines;
    uint16_t lineLength;
  };
  for (const Case c :
       {Case{2000000, 2, 42608, 2300}, Case{94000, 2, 4005, 1150}, Case{50, 2, 4, 1150},
        Case{3000000, 2, 42608, 2300}, Case{94000, 0, 3269, 1150}}) {
    Rig rig(true);
    rig.sequencer.open(0, 2, 94000);
    rig.sequencer.setExposure(c.us, c.speed);
    EXPECT_EQ(rig.sensor.reg(0x3012), c.lines) << c.us;
    EXPECT_EQ(rig.sensor.reg(0x300C), c.lineLength) << c.us;
  }
}

TEST(Usb3_31Programs, GainBandsEdges) {
  struct Case {
    uint16_t percent;
    uint16_t code;
  };
  for (const Case c : {Case{100, 6}, Case{103, 6}, Case{104, 7}, Case{172, 16}, Case{173, 18},
                       Case{288, 28}, Case{289, 30}, Case{300, 30}}) {
    Rig rig(true);
    rig.sequencer.setGain(c.percent);
    EXPECT_EQ(rig.sensor.take(), std::vector<RegStep>{Write(0x3060, c.code)}) << c.percent;
  }
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
  const ModelSpec& spec = kSpecRostrel303100KPA;
  EXPECT_EQ(spec.frameBytes(2048, 1534, true, 2), 2048u * 1534);
  EXPECT_EQ(spec.frameBytes(2048, 1534, false, 3), 2048u * 1534 + 1);
  EXPECT_GE(spec.rawFrameBytes, spec.frameBytes(2048, 1534, true, 3));
}

uint16_t Reg(ModelRig& rig, uint16_t address) {
  return rig.sensorReg(address);
}

TEST(Usb3_31Camera, LutWidthIsTheDeepestRawFormat) {
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

TEST(Usb3_31Camera, Values38SkipsNullPointers) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  uint32_t a = 0, b = 0, c = 0;
  rig.helper().PLHlperGetValues38(nullptr, &b, nullptr);
  rig.helper().PLHlperGetValues38(&a, nullptr, &c);
  EXPECT_EQ((std::array{a, b, c}), (std::array<uint32_t, 3>{102, 4000, 8000}));
  rig.helper().PLHlperGetValues38(nullptr, nullptr, nullptr);
}

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
    ModelRig rig(testing_models::RigOptions{.productId = c.id});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(c.index);
    const auto written = rig.writesTo(0x300C);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front(), c.lineLength) << std::hex << c.id << " " << c.index;
    EXPECT_EQ(rig.camera().sensorState().lineClock, 2u * c.lineLength);
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
  const auto still = rig.traffic();
  EXPECT_EQ(still.front(), "wait 10");
  EXPECT_EQ(still.back(), "wait 20");
  EXPECT_EQ(Reg(rig, 0x3012), 80u * 94000 / 2300);
  EXPECT_EQ(rig.writesTo(0x3030), std::vector<uint32_t>{120});
  EXPECT_TRUE(Near(rig.sensorExposureUs(), 94000, LineUs(rig))) << rig.sensorExposureUs();
  EXPECT_EQ(Reg(rig, 0x300A), 1560);
  EXPECT_EQ(cam->pipelineHelper().speed, 2);

  rig.log().clear();
  cam->SetResolution(1, false);
  EXPECT_EQ(rig.writesTo(0x3030), std::vector<uint32_t>{147});
  EXPECT_TRUE(Near(rig.sensorExposureUs(), 94000, LineUs(rig))) << rig.sensorExposureUs();
  EXPECT_EQ(Reg(rig, 0x300A), 800);
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

// The host's side of device errors: HandleError hands the code to the model, which runs the
// same re-initialise program; the flag takes only the sensor-lost code; the record is the
// catalogue's.
TEST(Usb3_31Camera, InternalInterfaceReachesTheDevice) {
  ModelRig rig;
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  void* queried = nullptr;
  ASSERT_EQ(cam->QueryInterface(IID_ILumorixInternalInternal, &queried), S_OK);
  auto* internal = static_cast<ILumorixInternalInternal*>(queried);
  rig.startSensor(0);
  rig.log().clear();
  EXPECT_EQ(internal->HandleError(-4), S_OK);
  std::vector<std::string> expected{"reset-port"};
  const std::array settle{Wait(50)};
  const std::array exposureAndGain{Write(0x3012, 4005), Write(0x3060, 6)};
  for (const std::string& s : ModelRig::Describe({settle, kStart, kSpeed2, exposureAndGain}))
    expected.push_back(s);
  EXPECT_EQ(rig.traffic(), expected);

  struct FlagStep {
    bool set;
    int32_t code;
    HRESULT hr;
    uint8_t after;
  };
  const FlagStep steps[] = {{true, -3, E_INVALIDARG, 0}, {true, 0, E_INVALIDARG, 0},
                            {true, -4, S_OK, 1},         {false, -3, E_INVALIDARG, 1},
                            {false, 4, E_INVALIDARG, 1}, {false, -4, S_OK, 0}};
  for (const FlagStep& f : steps) {
    EXPECT_EQ(f.set ? internal->SetErrorFlag(f.code) : internal->ClearErrorFlag(f.code), f.hr)
        << f.set << " " << f.code;
    EXPECT_EQ(cam->device().errorFlag, f.after) << f.set << " " << f.code;
  }

  const ModelInfo* info = nullptr;
  EXPECT_EQ(internal->get_ModelInfo(nullptr), E_POINTER);
  ASSERT_EQ(internal->get_ModelInfo(&info), S_OK);
  const auto entry = std::find_if(ModelTable().entries().begin(), ModelTable().entries().end(),
                                  [](const ModelEntry& e) { return e.productIds[0] == 0xC310; });
  ASSERT_NE(entry, ModelTable().entries().end());
  EXPECT_EQ(info, entry->info);
}

// A 2 s exposure doubles the line length; a restart or a still switch rewrites it first.
TEST(Usb3_31Camera, TwoSecondExposureSurvivesRestartAndStillSwitch) {
  constexpr uint32_t kTwoSeconds = 2000000;
  const auto expectTwoSeconds = [](ModelRig& rig, uint16_t lines, const char* when) {
    EXPECT_EQ(Reg(rig, 0x300C), 2300) << when;
    EXPECT_EQ(Reg(rig, 0x3012), lines) << when;
    EXPECT_TRUE(Near(rig.sensorExposureUs(), kTwoSeconds, LineUs(rig)))
        << when << ": " << rig.sensorExposureUs();
  };
  ModelRig restart;
  ASSERT_NE(restart.open(), nullptr);
  restart.startSensor(0);
  restart.camera().stream().startPipeline();
  restart.setExposure(kTwoSeconds);
  expectTwoSeconds(restart, 42608, "set");
  restart.restart(0);
  expectTwoSeconds(restart, 42608, "restarted");

  ModelRig still;
  ASSERT_NE(still.open(), nullptr);
  still.startSensor(1);
  still.setExposure(kTwoSeconds);
  still.camera().SetResolution(0, true);
  // At clock 80: 80 * 2000000 / 2300 lines, halved once.
  expectTwoSeconds(still, 34782, "still");
  still.camera().SetResolution(1, false);
  expectTwoSeconds(still, 42608, "back to preview");
}

}  // namespace
