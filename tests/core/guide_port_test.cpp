// The process guide port over a test catalogue, simulated cameras and the in-memory adapter:
// which port it connects, what reaches the device or the adapter, and threads racing it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/core/guide_rig.h"

namespace {

using namespace testing_guide;

// --- Which port connects -----------------------------------------------------------------------

struct ConnectRow {
  const char* name;
  std::vector<SimCameraSpec> cameras;
  std::vector<std::string> adapterPaths;
  bool adapterOpenFails, noHidLibrary;
  int32_t result;
  GuidePort::Kind kind;
  int cameraIndex;  // the camera whose device receives the pulse, -1 none
};

const ConnectRow kConnect[] = {
    {"GuideCamera",
     {{kGuideCamera, false}},
     {kAdapterPath},
     false,
     false,
     1,
     GuidePort::Kind::Camera,
     0},
    {"FailedOpenTriesTheNext",
     {{kGuideCamera, true}, {kSecondGuideCamera, false}},
     {},
     false,
     false,
     1,
     GuidePort::Kind::Camera,
     1},
    {"NoGuideCameraTakesTheAdapter",
     {{kPlainCamera, false}},
     {kAdapterPath},
     false,
     false,
     1,
     GuidePort::Kind::Adapter,
     -1},
    {"UpperCaseUsbPath",
     {},
     {"\\\\?\\USB#VID_10C4&PID_82CD#5&1A2B3C&0&1"},
     false,
     false,
     1,
     GuidePort::Kind::Adapter,
     -1},
    {"HidInterfacePath",
     {},
     {"\\\\?\\hid#vid_10c4&pid_82cd#7&2f1e&0&0000"},
     false,
     false,
     1,
     GuidePort::Kind::Adapter,
     -1},
    {"OtherHidDevice",
     {},
     {"\\\\?\\hid#vid_10c4&pid_82ce#7&2f1e&0&0000"},
     false,
     false,
     0,
     GuidePort::Kind::None,
     -1},
    {"AdapterWillNotOpen", {}, {kAdapterPath}, true, false, 0, GuidePort::Kind::None, -1},
    {"NoHidLibrary", {}, {kAdapterPath}, false, true, 0, GuidePort::Kind::None, -1},
    {"Nothing", {{kGuideCamera, true}}, {}, false, false, 0, GuidePort::Kind::None, -1},
};

TEST(GuidePort, ConnectsTheFirstPortThatOpens) {
  for (const ConnectRow& row : kConnect) {
    SCOPED_TRACE(row.name);
    GuideRig rig(row.cameras, row.adapterPaths);
    rig.hid().with([&](platform::MemoryHidGuide::Script& s) {
      s.openFails = row.adapterOpenFails;
      s.libraryMissing = row.noHidLibrary;
    });
    EXPECT_EQ(rig.port->connect(1), row.result);
    EXPECT_EQ(rig.port->kind(), row.kind);
    if (row.cameraIndex >= 0) {
      EXPECT_EQ(rig.port->pulse(2, 60), S_OK);
      ASSERT_EQ(rig.camera(row.cameraIndex).guidePulses().size(), 1u);
    }
    EXPECT_EQ(rig.port->connect(0), 1);
    EXPECT_EQ(rig.port->kind(), GuidePort::Kind::None);
    EXPECT_EQ(rig.hid().with([](auto& s) { return s.openDevices; }), 0);
  }
}

TEST(GuidePort, ConnectTwiceOpensOnce) {
  for (const bool camera : {true, false}) {
    SCOPED_TRACE(camera ? "camera" : "adapter");
    GuideRig rig(
        camera ? std::vector<SimCameraSpec>{{kGuideCamera, false}} : std::vector<SimCameraSpec>{},
        {kAdapterPath});
    EXPECT_EQ(rig.port->connect(1), 1);
    EXPECT_EQ(rig.port->connect(1), 1);
    EXPECT_EQ(rig.opens.load(), camera ? 1 : 0);
    EXPECT_EQ(rig.hid().with([](auto& s) { return s.opened.size(); }), camera ? 0u : 1u);
  }
}

TEST(GuidePort, NothingConnectedAnswersZero) {
  GuideRig rig({});
  EXPECT_EQ(rig.port->connect(0), 1);
  EXPECT_EQ(rig.port->pulse(0, 100), 0);
  EXPECT_EQ(rig.port->state(), 0);
}

// --- What a pulse sends ------------------------------------------------------------------------

struct CameraPulseRow {
  const char* name;
  uint32_t direction, ms;
  int32_t result;
  int requests;  // pulse requests on the device
  uint16_t request, value, index;
};

TEST(GuidePort, CameraPortPulses) {
  const CameraPulseRow rows[] = {
      {"North", 0, 1000, S_OK, 1, 0x82, 33, 10},
      {"Stop", 4, 0, S_OK, 1, 0x86, 0, 0},
      {"DirectionFive", 5, 10, E_INVALIDARG, 0, 0, 0, 0},
      {"DirectionReachesInit", 0x7F, 10, E_INVALIDARG, 0, 0, 0, 0},
      {"WrapsTheWire", 1, 1966080, E_INVALIDARG, 0, 0, 0, 0},
  };
  for (const CameraPulseRow& row : rows) {
    SCOPED_TRACE(row.name);
    GuideRig rig({{kGuideCamera, false}});
    ASSERT_EQ(rig.port->connect(1), 1);
    rig.camera(0).log().clear();
    EXPECT_EQ(rig.port->pulse(row.direction, row.ms), row.result);
    const auto sent = rig.camera(0).log().ofKind(sim::LogKind::Request);
    ASSERT_EQ(static_cast<int>(sent.size()), row.requests);
    if (!row.requests) continue;
    EXPECT_EQ(sent[0].code, row.request);
    EXPECT_EQ(sent[0].value, row.value);
    EXPECT_EQ(sent[0].index, row.index);
    const auto pulses = rig.camera(0).guidePulses();
    ASSERT_EQ(pulses.size(), 1u);
    EXPECT_EQ(pulses[0].direction, row.direction);
    EXPECT_EQ(pulses[0].durationMs, row.ms);
  }
}

TEST(GuidePort, CameraPortStateFollowsTheDevicesPulse) {
  GuideRig rig({{kGuideCamera, false}});
  ASSERT_EQ(rig.port->connect(1), 1);
  ASSERT_EQ(rig.port->pulse(0, 1000), S_OK);
  for (const auto& [afterMs, active] : {std::pair{500u, 1}, {499u, 1}, {1u, 0}}) {
    rig.clock().advance(afterMs);
    EXPECT_EQ(rig.port->state(), active);
  }
}

struct AdapterPulseRow {
  const char* name;
  uint32_t direction, ms;
  int32_t result;
  std::vector<uint8_t> report;  // empty: nothing sent
};

TEST(GuidePort, AdapterPulses) {
  const AdapterPulseRow rows[] = {
      {"West", 3, 1000, 1, {0x03, 0x85, 0xE8, 0x03}},
      {"Longest", 1, 65535, 1, {0x03, 0x83, 0xFF, 0xFF}},
      {"TooLongForTheReport", 1, 70000, 0, {}},
      {"DirectionFive", 5, 10, 0, {}},
  };
  for (const AdapterPulseRow& row : rows) {
    SCOPED_TRACE(row.name);
    GuideRig rig({}, {kAdapterPath});
    ASSERT_EQ(rig.port->connect(1), 1);
    EXPECT_EQ(rig.port->pulse(row.direction, row.ms), row.result);
    const auto sent = rig.hid().with([](auto& s) { return s.sent; });
    if (row.report.empty()) {
      EXPECT_TRUE(sent.empty());
      continue;
    }
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], row.report);
  }
}

TEST(GuidePort, AdapterStateIsTheReportsSecondByte) {
  const struct {
    uint8_t byte;
    bool fails;
    int32_t state;
  } rows[] = {{0, false, 0}, {1, false, 1}, {0x80, false, 1}, {1, true, 0}};
  for (const auto& row : rows) {
    GuideRig rig({}, {kAdapterPath});
    ASSERT_EQ(rig.port->connect(1), 1);
    rig.hid().with([&](platform::MemoryHidGuide::Script& s) {
      s.activeByte = row.byte;
      s.reportFails = row.fails;
    });
    EXPECT_EQ(rig.port->state(), row.state);
  }
}

}  // namespace
