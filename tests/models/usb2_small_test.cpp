// The USB2 small-sensor layer on its simulated devices, on the virtual clock: how each open
// variant opens, which request codes reach the wire, the VGA identity check, what the paged
// sensor's open answers and the 2 MP model window.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "pipeline/frame_descriptor.h"
#include "pipeline/preset_record.h"
#include "sim/usb2_vga_family.h"
#include "tests/models/model_rig.h"

namespace {

using testing_models::Flavour;
using testing_models::ModelRig;

constexpr uint32_t kGetDriverState = 0x2220A0, kSetDriverState = 0x2220A4;
constexpr HRESULT kMismatch = static_cast<HRESULT>(0x8007001F);

// The open's traffic that tells the variants apart: driver-state I/O controls, the interface
// selection and its pause, and the system-init requests.
std::vector<std::string> OpenTraffic(ModelRig& rig) {
  std::vector<std::string> out;
  for (const sim::LogEntry& e : rig.log().entries()) {
    if (e.kind == sim::LogKind::Ioctl && e.code == kGetDriverState) out.push_back("get-state");
    if (e.kind == sim::LogKind::Ioctl && e.code == kSetDriverState) out.push_back("set-state");
    if (e.kind == sim::LogKind::PipeOp && e.text == "select-alt") out.push_back("select-alt");
    if (e.kind == sim::LogKind::Pause) out.push_back("wait " + std::to_string(e.code));
    if (e.kind == sim::LogKind::Request && e.code == 0x01 && !e.in)
      out.push_back("sys " + std::to_string(e.value));
  }
  return out;
}

TEST(Usb2Small, EachOpenVariantOpensItsWayOnce) {
  using V = std::vector<std::string>;
  const struct {
    const char* name;
    uint16_t productId;
    Flavour flavour;
    uint32_t driverState;
    V traffic;
  } cases[] = {
      {"state 0 selects the interface", 0xF130, Flavour::Kernel, 0,
       V{"get-state", "select-alt", "wait 30", "set-state", "sys 1", "sys 0", "sys 1"}},
      {"state 1 keeps it", 0xF130, Flavour::Kernel, 1, V{"get-state", "sys 1", "sys 0", "sys 1"}},
      {"WinUSB has no driver state", 0x6035, Flavour::WinUsb, 0, V{"sys 1", "sys 0", "sys 1"}},
      {"second revision: open only", 0x1207, Flavour::Kernel, 0, V{}},
      {"the transport's own sequence", 0x6131, Flavour::Kernel, 0, V{"sys 1", "sys 0", "sys 1"}},
  };
  for (const auto& c : cases) {
    ModelRig rig(testing_models::RigOptions{.productId = c.productId, .flavour = c.flavour});
    ASSERT_NE(rig.open(), nullptr) << c.name;
    rig.device().setDriverState(c.driverState);
    rig.log().clear();
    EXPECT_EQ(rig.helper().PLHlperInit(), 0) << c.name;
    EXPECT_EQ(OpenTraffic(rig), c.traffic) << c.name;
    rig.log().clear();
    EXPECT_EQ(rig.helper().PLHlperInit(), 1) << c.name;
    EXPECT_TRUE(rig.log().entries().empty()) << c.name;
  }
}

// A failing system init after the device opened: the handle goes, and the retry opens the
// exclusive device once and succeeds.
TEST(Usb2Small, FailedOpenClosesTheDeviceAndTheRetryOpensItOnce) {
  for (const uint16_t id : {uint16_t{0xF130}, uint16_t{0x6131}}) {
    ModelRig rig(testing_models::RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    rig.device().addRequestFault({.request = 0x01, .kind = sim::RequestFault::Kind::TransferError});
    EXPECT_LT(rig.helper().PLHlperInit(), 0) << std::hex << id;
    EXPECT_FALSE(rig.camera().device().isOpen()) << std::hex << id;
    EXPECT_EQ(rig.camera().device().deviceOpened, 0) << std::hex << id;
    rig.countOpens();
    EXPECT_EQ(rig.helper().PLHlperInit(), 0) << std::hex << id;
    EXPECT_EQ(rig.opens(), 1) << std::hex << id;
  }
}

// Writes go with the class's request, and the sensor takes every one of them; the paged twins
// send their own bridge clock code for the same speed.
TEST(Usb2Small, RequestsOnTheWireAreTheClasssOwn) {
  const struct {
    uint16_t productId;
    uint8_t writeRequest;
    int clockCodeAtSpeed0;  // -1: no bridge clock
  } cases[] = {{0xF130, 0x13, 1},  {0x6130, 0x13, 2},  {0x1207, 0x0B, -1},
               {0xF200, 0x0B, -1}, {0x6035, 0x0B, -1}, {0x6131, 0x13, 0}};
  for (const auto& c : cases) {
    ModelRig rig(testing_models::RigOptions{.productId = c.productId});
    ASSERT_NE(rig.open(), nullptr);
    rig.helper().speed = 0;
    rig.startSensor(0);
    int writes = 0, clock = -1;
    for (const sim::LogEntry& e : rig.log().ofKind(sim::LogKind::Request)) {
      if (e.code == 0x0B || e.code == 0x13) {
        EXPECT_EQ(e.code, c.writeRequest) << std::hex << c.productId;
      }
      writes += e.code == c.writeRequest;
      if (e.code == 0x0A && !e.in) clock = int(e.index);
    }
    EXPECT_GT(writes, 5) << std::hex << c.productId;
    EXPECT_EQ(clock, c.clockCodeAtSpeed0) << std::hex << c.productId;
    EXPECT_TRUE(rig.log().ofKind(sim::LogKind::Error).empty()) << std::hex << c.productId;
  }
}

// The paged sensors answer only their own write request: another is logged and changes nothing.
TEST(Usb2Small, SimulatedPagedSensorRefusesTheDefaultWriteRequest) {
  for (const uint16_t id : {uint16_t{0xF130}, uint16_t{0x6131}}) {
    ModelRig rig(testing_models::RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
    uint8_t status[2] = {};
    const usb::VenReqHeader other{usb::Direction::In, 0x0B, 0x1234, 0x09};
    EXPECT_EQ(rig.camera().device().VenReq(&other, status, 1, nullptr), S_OK);
    EXPECT_EQ(rig.log().ofKind(sim::LogKind::Error).size(), 1u) << std::hex << id;
    EXPECT_EQ(rig.sensorReg(0x09), 0u) << std::hex << id;
    EXPECT_EQ(rig.camera().device().bWriteSensor(0x09, 0x1234), S_OK);
    EXPECT_EQ(rig.sensorReg(0x09), 0x1234u) << std::hex << id;
    // A status byte other than done fails the write.
    rig.device().addRequestFault({0x13, sim::RequestFault::Kind::BadStatus, 31, 3});
    EXPECT_EQ(rig.camera().device().bWriteSensor(0x09, 0x55), E_FAIL) << std::hex << id;
  }
}

// A negative driver state refuses the open and leaves nothing open; once the state is sound the
// retry opens.
TEST(Usb2Small, ANegativeDriverStateRefusesTheOpen) {
  for (const uint16_t id : {uint16_t{0xF130}, uint16_t{0x6035}, uint16_t{0xF310}, uint16_t{0xF510},
                            uint16_t{0xF800}, uint16_t{0xF014}}) {
    ModelRig rig(testing_models::RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    rig.device().setDriverState(0x80000000u);
    EXPECT_EQ(rig.helper().PLHlperInit(), E_FAIL) << std::hex << id;
    EXPECT_FALSE(rig.camera().device().isOpen()) << std::hex << id;
    EXPECT_EQ(rig.camera().device().deviceOpened, 0) << std::hex << id;
    rig.device().setDriverState(1);
    EXPECT_EQ(rig.helper().PLHlperInit(), 0) << std::hex << id;
  }
}

// The VGA sensor is programmed only after it answers its identity in full; a failed identity
// request answers its own error.
TEST(Usb2Small, VgaIdentityMustMatchBeforeAnyWrite) {
  const struct {
    std::vector<uint8_t> reply;
    HRESULT result;
    uint32_t requestError = 0;  // the identity request fails with this Win32 error
  } cases[] = {{{0x82, 0x43, 0x00}, S_OK},
               {{0x12, 0x34, 0x00}, kMismatch},
               {{0x82}, kMismatch},
               {{0x82, 0x43, 0x00}, HRESULT_FROM_WIN32(5), 5}};
  for (const auto& c : cases) {
    ModelRig rig(testing_models::RigOptions{.productId = 0x6035});
    ASSERT_NE(rig.open(), nullptr);
    rig.device().withFamily([&](sim::SensorFamily& f) {
      dynamic_cast<sim::Usb2VgaFamily&>(f).setIdentity(c.reply);
      return 0;
    });
    ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
    if (c.requestError)
      rig.device().addRequestFault({.request = 0x0A,
                                    .kind = sim::RequestFault::Kind::TransferError,
                                    .error = c.requestError});
    rig.log().clear();
    EXPECT_EQ(rig.camera().OpenCamera(0), c.result) << c.reply.size();
    EXPECT_EQ(rig.log().ofKind(sim::LogKind::RegisterWrite).empty(), c.result != S_OK);
  }
}

// The stream's start closes the paged open: the Pelvane answers its failure, the Rostrel not.
TEST(Usb2Small, PagedOpenAnswersTheStreamStartOnThePelvaneOnly) {
  const struct {
    uint16_t productId;
    bool fails;
  } cases[] = {{0xF130, false}, {0x6130, true}};
  for (const auto& c : cases) {
    ModelRig rig(testing_models::RigOptions{.productId = c.productId});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().stream().openDevice(), S_OK);
    rig.device().addRequestFault(
        {.request = 0x01, .kind = sim::RequestFault::Kind::TransferError, .value = 3});
    const HRESULT hr = rig.camera().OpenCamera(0);
    EXPECT_EQ(FAILED(hr), c.fails) << std::hex << c.productId << " " << hr;
  }
}

// The window is clamped and stored without traffic; null outputs are skipped; the classes
// without one refuse.
TEST(Usb2Small, ModelWindowIsClampedStoredAndOnlyOnTheTwoMpClasses) {
  for (const uint16_t id : {uint16_t{0xF200}, uint16_t{0x6201}}) {
    ModelRig rig(testing_models::RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    rig.log().clear();
    EXPECT_EQ(rig.camera().put_ModelWindow(5, -3, 900), S_OK);
    EXPECT_TRUE(rig.log().entries().empty());
    uint32_t on = 9, x = 9, y = 9;
    EXPECT_EQ(rig.camera().get_ModelWindow(&on, &x, &y), S_OK);
    EXPECT_EQ(on, 1u);
    EXPECT_EQ(x, 0u);
    EXPECT_EQ(y, 600u);
    EXPECT_EQ(rig.camera().get_ModelWindow(nullptr, &x, nullptr), S_OK);
  }
  ModelRig rig(testing_models::RigOptions{.productId = 0xF130});
  ASSERT_NE(rig.open(), nullptr);
  uint32_t on = 9;
  EXPECT_EQ(rig.camera().put_ModelWindow(1, 0, 0), E_NOTIMPL);
  EXPECT_EQ(rig.camera().get_ModelWindow(&on, nullptr, nullptr), E_NOTIMPL);
  EXPECT_EQ(on, 9u);
}

// Index 1 streams the whole frame reduced, or with the window on an unreduced 800 x 600 at its
// offset; the exposure follows the window's shorter line.
TEST(Usb2Small, TwoMpIndexOneStreamsReducedOrWindowed) {
  const struct {
    int32_t on;
    uint16_t rowMode, firstRow, firstColumn;
  } cases[] = {{0, 0x11, 188, 256}, {1, 0, 238, 356}};
  for (const auto& c : cases) {
    ModelRig rig(testing_models::RigOptions{.productId = 0xF200});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().put_ModelWindow(c.on, 100, 50), S_OK);
    rig.startSensor(1);
    EXPECT_EQ(rig.sensorReg(0x22), c.rowMode) << c.on;
    EXPECT_EQ(rig.sensorReg(0x01), c.firstRow) << c.on;
    EXPECT_EQ(rig.sensorReg(0x02), c.firstColumn) << c.on;
    std::vector<uint8_t> buffer(800 * 600);
    FrameDescriptor frame;
    frame.buffer = buffer.data();
    EXPECT_EQ(rig.helper().PLHlperGrabFrame(&frame, 800, 600, nullptr, nullptr, true), 1) << c.on;
    const uint32_t want = rig.camera().spec().exposureUs.def;
    EXPECT_TRUE(testing_models::Near(rig.sensorExposureUs(), want, rig.sensorLineUs())) << c.on;
  }
}

// The grey class has no colour: nine zeros and no white-balance base.
TEST(Usb2Small, GreyClassHasNoColourData) {
  ModelRig rig(testing_models::RigOptions{.productId = 0x6131});
  ASSERT_NE(rig.open(), nullptr);
  double matrix[9];
  std::fill(std::begin(matrix), std::end(matrix), 1.0);
  rig.camera().GetColorMatrix(matrix);
  for (const double v : matrix) EXPECT_EQ(v, 0.0);
  uint32_t base[3] = {1, 1, 1};
  rig.camera().GetWbGainBase(base);
  EXPECT_EQ(base[0] + base[1] + base[2], 0u);
  EXPECT_EQ(rig.camera().spec().bayer, 4u);
}

// Each class's constants reach the helper, the transport and the default preset; the 2 and
// 3.1 MP classes start with skip on, though they offer no skip option.
TEST(Usb2Small, ClassConstantsReachTheirParts) {
  const struct {
    uint16_t productId;
    uint32_t rawBytes, transfer, bayer, previewIndex, defectModes;
    uint16_t maxSpeed;
    uint8_t presetSpeed;
    uint32_t skip;
    std::array<uint32_t, 3> wbGains;
  } cases[] = {
      {0xF130, 1312512, 0x50000, 0, 0, 3, 2, 2, 0, {256, 256, 256}},
      {0x6130, 1312512, 0x50000, 0, 0, 3, 1, 1, 0, {256, 256, 256}},
      {0x1207, 1230592, 0x10000, 1, 0, 2, 2, 2, 0, {394, 256, 317}},
      {0x11FC, 1230592, 0x10000, 1, 0, 2, 2, 2, 0, {394, 256, 317}},
      {0xF200, 1922112, 0x32000, 0, 1, 2, 5, 5, 1, {115, 100, 122}},
      {0x6201, 1922112, 0x32000, 0, 1, 2, 5, 5, 1, {115, 100, 122}},
      {0xF310, 3148288, 0x40000, 0, 1, 3, 5, 5, 1, {115, 100, 122}},
      {0x6310, 3148288, 0x40000, 0, 1, 3, 5, 5, 1, {115, 100, 122}},
      {0x6035, 308352, 0xF000, 0, 0, 2, 2, 2, 0, {256, 256, 256}},
      {0x6131, 1312512, 0x50000, 4, 0, 1, 1, 1, 0, {256, 256, 256}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.productId);
    ModelRig rig(testing_models::RigOptions{.productId = c.productId});
    CmosCamera* cam = rig.open();
    ASSERT_NE(cam, nullptr);
    const CmosHelper& h = cam->pipelineHelper();
    EXPECT_EQ(h.rawFrameBytes, c.rawBytes);
    EXPECT_EQ(cam->device().transferSize(), c.transfer);
    EXPECT_EQ(h.bayer, c.bayer);
    EXPECT_EQ(cam->previewIndex(), c.previewIndex);
    EXPECT_EQ(h.defectListCount, c.defectModes);
    EXPECT_EQ(h.maxSpeed, c.maxSpeed);
    EXPECT_EQ(h.skip, c.skip);
    EXPECT_EQ(h.wbGain, c.wbGains);
    PresetRecord preset{};
    rig.helper().PLHlperGetDefaultPreset(&preset);
    EXPECT_EQ(preset.speed, c.presetSpeed);
  }
}

// The 2 and 3.1 MP classes start with skip on but offer no skip option: a change leaves the sensor
// alone.
TEST(Usb2Small, ASkipChangeLeavesAClassWithoutTheOptionAlone) {
  for (const uint16_t id : {uint16_t{0xF200}, uint16_t{0x6201}, uint16_t{0xF310}}) {
    ModelRig rig(testing_models::RigOptions{.productId = id});
    ASSERT_NE(rig.open(), nullptr);
    rig.startSensor(1);
    rig.log().clear();
    EXPECT_EQ(rig.helper().PLHlperSetSkip(0), S_FALSE) << std::hex << id;
    EXPECT_TRUE(rig.log().ofKind(sim::LogKind::RegisterWrite).empty()) << std::hex << id;
  }
}

// Twins with one display name share its settings: a saved size the other class lacks starts at
// that class's last one.
TEST(Usb2Small, SharedSettingsKeyClampsTheOtherClasssSize) {
  ModelRig rig(testing_models::RigOptions{.productId = 0x1207});
  rig.registry().writeDword(testing_models::SettingsKey("ZMS-PN4-1.3X"), "PreviewSize", 2);
  CmosCamera* cam = rig.open();
  ASSERT_NE(cam, nullptr);
  EXPECT_EQ(cam->previewIndex(), 1u);
}

}  // namespace
