// Pipeline start, format switch and stop on a simulated test sensor.
#include <gtest/gtest.h>

#include <vector>

#include "pipeline/pl_setters.h"
#include "pipeline/pl_start.h"
#include "pipeline_kit.h"
#include "tests/support/test_sensor.h"

namespace zxtest {
namespace {

class PipelineStart : public RegistryTest {
 protected:
  SimulatedCamera camera{64, 48};
};

TEST_F(PipelineStart, BandwidthAndPreciseRateFromTheRegistry) {
  const struct {
    const char* name;
    bool stored;
    uint32_t value, want;
  } table[] = {{"zero", true, 0, 1}, {"too large", true, 250, 100}, {"missing", false, 0, 85}};
  for (const auto& row : table) {
    reg().deleteKey(kCameraKey);
    if (row.stored) put("Bandwidth", row.value);
    TestSensorConfig config;
    config.subKey = cameraKeyWide();
    config.preciseMax = 200;
    TestSensor s(camera, config);
    InitBandwidth(s);
    EXPECT_EQ(s.bandwidthSet, row.want) << row.name;
    EXPECT_EQ(s.preciseSet, 170u) << row.name << ": 85 % of the maximum";
  }
}

// 12-bit offsets of 64 become 4 in the 8-bit state and 64 again on the way back.
TEST_F(PipelineStart, BlackOffsetsFollowTheSampleDepth) {
  TestSensorConfig config;
  config.flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
  TestSensor s(camera, config);
  s.pixelFormat = 2;
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  ASSERT_TRUE(s.ctx16);
  for (auto& o : s.ctx16->settings.blackOffset) o = 64;
  SetPixelFormat(s, 0, 0, 1);
  ASSERT_TRUE(s.ctx8);
  EXPECT_EQ(s.ctx8->settings.blackOffset[1], 4);
  SetPixelFormat(s, 2, 0, 1);
  ASSERT_TRUE(s.ctx16);
  EXPECT_EQ(s.ctx16->settings.blackOffset[0], 64);
  EXPECT_EQ(s.pixelFormat, 2);
}

// Stopped, a two-format model records each change, so the second is not lost.
TEST_F(PipelineStart, StoppedTwoFormatSwitchesAreRecorded) {
  TestSensorConfig config;
  config.flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
  TestSensor s(camera, config);
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  SetPixelFormat(s, 2, 0, 0);
  EXPECT_EQ(s.pixelFormat, 2);
  SetPixelFormat(s, 0, 0, 0);
  EXPECT_EQ(s.pixelFormat, 0);
}

// Started, a switch between two high-bit formats rebuilds the state and records the format.
TEST_F(PipelineStart, StartedHighToHighSwitchRebuilds) {
  TestSensorConfig config;
  config.flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW10 | LUMORIX_FLAG_RAW12;
  TestSensor s(camera, config);
  s.pixelFormat = 1;
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  ASSERT_EQ(s.ctx16->pixelFormat, 1);
  s.ctx16->settings.hue = 33;
  SetPixelFormat(s, 2, 0, 1);
  ASSERT_TRUE(s.ctx16);
  EXPECT_EQ(s.ctx16->pixelFormat, 2);
  EXPECT_EQ(s.ctx16->settings.hue, 33);
  EXPECT_EQ(s.pixelFormat, 2);
}

TEST_F(PipelineStart, WithoutSubkeyTheBlockSurvivesAndStopWritesNothing) {
  TestSensor s(camera, {});
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  s.ctx8->settings.hue = 40, s.ctx8->settings.aeTarget = 150;
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  EXPECT_EQ(s.ctx8->settings.hue, 40);
  EXPECT_EQ(s.ctx8->settings.aeTarget, 150);
  FiniPLHlper(s);
  EXPECT_FALSE(reg().keyExists(kCameraKey));
}

// The host's output and camera tables are the helper's: the state of a later start gets them, in
// either depth, and a cleared table stays cleared.
TEST_F(PipelineStart, HostTablesReachTheNextStartsState) {
  const struct {
    const char* name;
    bool output;
    uint8_t format;
  } rows[] = {{"output, 8-bit", true, 0},
              {"output, 12-bit", true, 2},
              {"camera tone, 8-bit", false, 0},
              {"camera tone, 12-bit", false, 2}};
  TestSensorConfig config;
  config.flags |= LUMORIX_FLAG_RAW12;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TestSensor s(camera, config);
    s.pixelFormat = row.format;
    InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
    auto set = row.output ? PL_SetOutputLut : PL_SetToneCurveTable;
    std::vector<uint8_t> want8(256);
    std::vector<uint16_t> want16(4096);
    for (size_t v = 0; v < want8.size(); ++v) want8[v] = uint8_t(255 - v);
    for (size_t v = 0; v < want16.size(); ++v) want16[v] = uint16_t(4095 - v);
    std::vector<uint8_t> host8 = want8;
    std::vector<uint16_t> host16 = want16;
    ASSERT_EQ(set(s, host8.data(), host16.data()), S_OK);
    host8.assign(256, 0), host16.assign(4096, 0);  // the host reuses its buffers
    auto expectTable = [&](auto& c, const auto& want, bool cleared) {
      const auto sets = SnapshotTables(c);
      const auto table = row.output ? sets.output : sets.cameraTone;
      ASSERT_EQ(table != nullptr, !cleared);
      if (table) {
        EXPECT_EQ(table->lut, want);
      }
    };
    for (const bool cleared : {false, true}) {
      InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);  // a new start builds a new state
      ASSERT_TRUE(row.format ? bool(s.ctx16) : bool(s.ctx8));
      if (row.format)
        expectTable(*s.ctx16, want16, cleared);
      else
        expectTable(*s.ctx8, want8, cleared);
      ASSERT_EQ(set(s, nullptr, nullptr), S_OK);
    }
  }
}

TEST_F(PipelineStart, StopWritesExactlyTheDeviceValues) {
  TestSensorConfig config;
  config.subKey = cameraKeyWide();
  config.preciseMax = 200;
  config.flags |= LUMORIX_FLAG_SKIP;
  TestSensor s(camera, config);
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  InitPipeLineStep2(s);
  reg().deleteKey(kCameraKey);
  FiniPLHlper(s);
  for (const char* name : {"Binning", "RoiLeft", "RoiTop", "RoiRight", "RoiBottom", "Skip",
                           "FrameRate", "PreciseB0", "Bandwidth"})
    EXPECT_TRUE(has(name)) << name;
  for (const char* name :
       {"AutoExposureTarget", "ExposureTime", "Fan", "TEC", "PixelFormat", "BlackLevel"})
    EXPECT_FALSE(has(name)) << name;
}

// The state and its workers outlive a stop; the next open finishes them and starts afresh.
TEST_F(PipelineStart, StateSurvivesStopAndTheNextOpenJoinsItsWorkers) {
  ScopedWorkerEnvironment env(4);
  TestSensor s(camera, {});
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  InitPipeLineStep2(s);
  ASSERT_EQ(s.ctx8->workers.workerCount, 1u);
  InitPipeLineStep2(s);  // a second start on the same state adds no worker
  EXPECT_EQ(s.ctx8->workers.workerCount, 1u);
  FiniPLHlper(s);
  ASSERT_TRUE(s.ctx8);
  EXPECT_EQ(s.ctx8->workers.workerCount, 1u);
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  EXPECT_EQ(s.ctx8->workers.workerCount, 0u);
  InitPipeLineStep2(s);
  EXPECT_EQ(s.ctx8->workers.workerCount, 1u);
}

// A restart rebuilds the state: the host's statistics callback stays registered, and a one-shot
// request not yet answered is still answered after it; one already answered is not asked again.
TEST_F(PipelineStart, ARestartKeepsTheStatisticsRegistration) {
  const struct {
    const char* name;
    uint32_t request, onStateBefore, after;
  } rows[] = {
      {"one-shot pending", 1, 1, 1},
      {"one-shot answered", 1, 0, 0},
      {"continuous", 2, 2, 2},
  };
  const auto callback = [](const float*, const float*, const float*, const float*, void*) {};
  int context = 0;
  for (const auto& row : rows) {
    TestSensor s(camera, {});
    InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
    s.statsCallback = callback;
    s.statsCallbackCtx = &context;
    s.statsRequest = row.request;
    PL_SetStatsCallback(s);
    s.ctx8->statsRequest = row.onStateBefore;  // as the frames left it
    InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
    ASSERT_TRUE(s.ctx8) << row.name;
    EXPECT_EQ(s.ctx8->callbacks.statsCallback, +callback) << row.name;
    EXPECT_EQ(s.ctx8->callbacks.statsCallbackContext, &context) << row.name;
    EXPECT_EQ(s.ctx8->statsRequest, row.after) << row.name;
  }
}

// What the model hands the pipeline without meaning to it reaches every state a start builds.
TEST_F(PipelineStart, TheModelsOpaqueValuesReachTheState) {
  struct Flag40Sensor : TestSensor {
    using TestSensor::TestSensor;
    bool flag40 = false;
    bool PLHlperHasFlag40() override { return flag40; }
  };
  int hook = 0, context = 0;
  const struct {
    const char* name;
    uint8_t format;
    bool flag40;
    void *hook, *context;
  } rows[] = {{"both, 8-bit", 0, true, &hook, &context},
              {"both, 12-bit", 2, true, &hook, &context},
              {"a context alone", 0, false, nullptr, &context},
              {"a hook alone", 2, false, &hook, nullptr},
              {"neither", 0, false, nullptr, nullptr}};
  TestSensorConfig config;
  config.flags |= LUMORIX_FLAG_RAW12;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Flag40Sensor s(camera, config);
    s.pixelFormat = row.format, s.flag40 = row.flag40;
    s.extraHook = row.hook, s.extraHookCtx = row.context;
    for (int start = 0; start < 2; ++start) {  // the second start rebuilds the state
      InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
      ASSERT_TRUE(row.format ? bool(s.ctx16) : bool(s.ctx8));
      const auto check = [&](const auto& c) {
        EXPECT_EQ(c.flag40, row.flag40);
        EXPECT_EQ(c.callbacks.extraHook, row.hook);
        EXPECT_EQ(c.callbacks.extraHookContext, row.context);
      };
      row.format ? check(*s.ctx16) : check(*s.ctx8);
    }
  }
}

TEST_F(PipelineStart, FailedCreationLeavesNoState) {
  TestSensor s(camera, {});
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  InitPipeLineStep1(s, 0, 0, 48, nullptr, 0, 0);
  EXPECT_FALSE(s.ctx8);
  EXPECT_FALSE(s.ctx16);
  EXPECT_EQ(PL_SetAutoExpoEnable(s, 1), E_UNEXPECTED);
  InitPipeLineStep2(s);  // runs without a state
}

TEST_F(PipelineStart, QuickBufferIsReusedAcrossOpens) {
  TestSensorConfig config;
  config.flags |= LUMORIX_FLAG_RAW8_ALT;
  TestSensor s(camera, config);
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  const uint8_t* first = s.quickBuffer.data();
  ASSERT_NE(first, nullptr);
  InitPipeLineStep1(s, 0, 32, 24, nullptr, 0, 0);
  EXPECT_EQ(s.quickBuffer.data(), first);
  EXPECT_EQ(s.quickBufferBytes, 64u * 48u);
}

TEST_F(PipelineStart, StartProgramsExposureGainAndBlackLevelOnce) {
  TestSensorConfig config;
  config.flags |= LUMORIX_FLAG_BLACKLEVEL | LUMORIX_FLAG_RAW12;
  TestSensor s(camera, config);
  s.blackLevel = 496;
  InitPipeLineStep1(s, 0, 64, 48, nullptr, 0, 0);
  InitPipeLineStep2(s);
  EXPECT_EQ(s.timeWrites, 1u);
  EXPECT_EQ(s.gainWrites, 1u);
  EXPECT_NE(std::find(s.calls.begin(), s.calls.end(), "PLHlperSetBlackLevel 31"), s.calls.end())
      << "an 8-bit format takes the level shifted by 4";
}

}  // namespace
}  // namespace zxtest
