// Vendor requests as the device sees them: wire form, status rules, EEPROM chunks, ISP setters.
#include <gtest/gtest.h>

#include <numeric>

#include "sim/eeprom_image.h"
#include "sim_fixture.h"
#include "usb/ioctl_codes.h"

using namespace testing_usb;
using sim::LogKind;
using sim::RequestFault;

namespace {

struct Opened {
  explicit Opened(Flavour flavour) : rig(flavour), usb(0x10000, 2, nullptr, rig.id().c_str()) {
    EXPECT_EQ(usb.OpenInternalHandle(), S_OK);
    rig.camera->log().clear();
  }
  std::vector<sim::LogEntry> requests() { return rig.camera->log().ofKind(LogKind::Request); }
  std::vector<std::pair<uint32_t, uint32_t>> registerWrites() {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (auto& e : rig.camera->log().ofKind(LogKind::RegisterWrite))
      out.push_back({e.code, e.value});
    return out;
  }
  SimRig rig;
  CCmos usb;
};

class VenReq : public ::testing::TestWithParam<Flavour> {};

TEST(VenReqKernel, InRequestGoesOutAsTheTenByteHeader) {
  Opened o(Flavour::Kernel);
  uint8_t buffer[0x20];
  const usb::VenReqHeader h{usb::Direction::In, 0x20, 0x1000, 0};
  uint32_t n = 0;
  ASSERT_EQ(o.usb.VenReq(&h, buffer, sizeof buffer, &n), S_OK);
  EXPECT_EQ(n, 0x20u);
  const auto ioctls = o.rig.camera->log().ofKind(LogKind::Ioctl);
  ASSERT_EQ(ioctls.size(), 1u);
  EXPECT_EQ(ioctls[0].code, usb::kIoctlVendorRequest);
  EXPECT_EQ(ioctls[0].payload,
            (std::vector<uint8_t>{0x01, 0x02, 0x00, 0x00, 0x20, 0x00, 0x00, 0x10, 0x00, 0x00}));
}

TEST_P(VenReq, FixedRequestsSendTheirHeaderAndPayload) {
  Opened o(GetParam());
  struct Case {
    const char* name;
    bool in;
    uint8_t request;
    uint16_t value, index;
    std::vector<uint8_t> payload;
    std::function<void(CCmos&)> call;
  };
  using U = CCmos&;
  const std::vector<uint8_t> packed = {0x23, 0x01, 0x89, 0x67, 0x45};  // address, then value
  const Case cases[] = {
      {"pulse guide", false, 0x84, 33, 10, {}, [](U u) { u.bST4PulseGuide(2, 1000); }},
      {"packed", false, 0x08, 0, 0, packed, [](U u) { u.bWritePacked(0x123, 0x4567890); }},
      {"packed ex", false, 0x08, 0x3456, 0x1278, {}, [](U u) { u.bWritePackedEx(0x12, 0x345678); }},
      {"system init", false, 0x01, 3, 0x0F, {}, [](U u) { u.bSystemInit(3); }},
      {"sys fini", true, 0x17, 0, 0, {}, [](U u) { u.bSysFini(); }},
      {"fpga value", true, 0x0D, 0x1234, 0, {}, [](U u) { u.bWriteFPGAValue(0x1234); }},
      {"fpga", true, 0x0D, 7, 0x55, {}, [](U u) { u.bWriteFPGA(0x55, 7); }},
      {"res mode", true, 0x2F, 2, 0, {}, [](U u) { u.bWriteResMode(2); }},
      {"sensor", true, 0x0B, 4005, 0x3012, {}, [](U u) { u.bWriteSensor(0x3012, 4005); }},
      {"guide state", true, 0x81, 0, 0, {}, [](U u) { u.bST4GuideState(); }},
      {"alt sensor", true, 0x2E, 0, 0, {}, [](U u) { u.bGetAltSensor(); }},
      {"write mode", true, 0x10, 0, 0, {}, [](U u) { u.bGetRegWriteMode(); }},
  };
  for (const Case& c : cases) {
    o.rig.camera->log().clear();
    c.call(o.usb);
    const auto sent = o.requests();
    ASSERT_EQ(sent.size(), 1u) << c.name;
    EXPECT_EQ(sent[0].in, c.in) << c.name;
    EXPECT_EQ(sent[0].code, c.request) << c.name;
    EXPECT_EQ(sent[0].value, c.value) << c.name;
    EXPECT_EQ(sent[0].index, c.index) << c.name;
    EXPECT_EQ(sent[0].payload, c.payload) << c.name;
  }
}

TEST_P(VenReq, FivebyteOutPayloadArrivesIntact) {
  Opened o(GetParam());
  uint8_t payload[5] = {1, 2, 3, 4, 5};
  const usb::VenReqHeader h{usb::Direction::Out, 0x33, 9, 8};
  ASSERT_EQ(o.usb.VenReq(&h, payload, 5, nullptr), S_OK);
  EXPECT_EQ(o.requests().at(0).payload, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  std::vector<uint8_t> tooLong(0x10000);  // the setup packet's length field is 16-bit
  EXPECT_EQ(o.usb.VenReq(&h, tooLong.data(), 0x10000, nullptr), E_INVALIDARG);
  EXPECT_EQ(o.requests().size(), 1u);
}

// Status rules: which register writes fail on a bad status, and which only trace; which byte
// replies read false.
TEST_P(VenReq, StatusRulesOfRegisterWrites) {
  Opened o(GetParam());
  struct Row {
    RequestFault::Kind fault;
    HRESULT sensor, fpgaV2;
  };
  const Row rows[] = {
      {RequestFault::Kind::BadStatus, E_FAIL, S_OK},
      {RequestFault::Kind::ShortReply, E_FAIL, S_OK},
      {RequestFault::Kind::TransferError, HRESULT_FROM_WIN32(31), HRESULT_FROM_WIN32(31)},
  };
  for (const Row& row : rows) {
    o.rig.camera->addRequestFault({0x0B, row.fault, 31, 3, 0});
    EXPECT_EQ(o.usb.bWriteSensor(0x3000, 1), row.sensor);
    o.rig.camera->addRequestFault({0x0B, row.fault, 31, 3, 0});
    EXPECT_EQ(o.usb.bWriteFPGAV2(0xD400, 1), row.fpgaV2);
  }
  EXPECT_EQ(o.usb.bWriteSensor(0x3000, 1), S_OK);
  // Byte replies read false on a failure.
  o.rig.camera->addRequestFault({0x10, RequestFault::Kind::TransferError});
  EXPECT_EQ(o.usb.bGetRegWriteMode(), 0);
  o.rig.camera->addRequestFault({0x2E, RequestFault::Kind::ShortReply, 31, 0, 0});
  EXPECT_FALSE(o.usb.bGetAltSensor());
  o.rig.camera->addRequestFault({0x81, RequestFault::Kind::BadStatus, 31, 1});
  EXPECT_TRUE(o.usb.bST4GuideState());
  EXPECT_FALSE(o.usb.bST4GuideState());
}

std::vector<uint8_t> eepromOfSize(uint32_t size) {
  std::vector<uint8_t> bytes(0x10000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 5);
  std::memcpy(bytes.data(), &size, 4);
  return bytes;
}

// A block that fills the EEPROM is cut to its size (16 chunks after the header); the simulator's
// own image reads back whole; a bad size or any failed or short transfer reads nothing.
TEST_P(VenReq, EepromReadsTheBlockInChunksOrNothing) {
  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    std::vector<RequestFault> faults;
    bool reads;
  };
  using K = RequestFault::Kind;
  const Case cases[] = {
      {"fills the EEPROM", eepromOfSize(0xFFF0), {}, true},
      {"simulator's image", sim::EepromImage().build(), {}, true},
      {"size 0", eepromOfSize(0), {}, false},
      {"size 0x10001", eepromOfSize(0x10001), {}, false},
      {"header fails", eepromOfSize(100), {{0x20, K::TransferError, 31, 0, 0, 1, 0}}, false},
      {"short header", eepromOfSize(100), {{0x20, K::ShortReply, 31, 0, 3, 1, 0}}, false},
      {"empty chunk", eepromOfSize(0x2000), {{0x20, K::ShortReply, 31, 0, 0, 1, 0x1000}}, false},
      {"short chunk", eepromOfSize(0x2000), {{0x20, K::ShortReply, 31, 0, 100, 1, 0x1000}}, false},
      {"chunk fails", eepromOfSize(0x2000), {{0x20, K::TransferError, 31, 0, 0, 1, 0x2000}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened o(GetParam());
    o.rig.camera->setEeprom(c.image);
    for (auto f : c.faults) o.rig.camera->addRequestFault(f);
    std::vector<uint8_t> dst(0x10000);
    ASSERT_EQ(o.usb.bEEPROMRead(dst.data()), c.reads ? c.image.size() : 0u);
    if (!c.reads) continue;
    EXPECT_TRUE(std::equal(c.image.begin(), c.image.end(), dst.begin()));
    const auto sent = o.requests();
    ASSERT_EQ(sent.size(), 1 + (c.image.size() + 4095) / 4096);
    for (size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i].value, (i - 1) * 4096) << i;
  }
}

TEST_P(VenReq, LutBlocksByTableSizeAndPadding) {
  struct Case {
    uint32_t bits;
    std::vector<uint16_t> indexes;
  };
  const Case cases[] = {{12, {0x2200, 0x2400, 0x2600, 0x2800}},
                        {10, {0x2200}},
                        {8, {0x2200}},
                        {0, {0x2200}},
                        {17, {}},
                        {24, {}}};
  std::vector<uint16_t> table(1 << 16);
  std::iota(table.begin(), table.end(), uint16_t{0});
  for (const Case& c : cases) {
    Opened o(GetParam());
    o.usb.IspSetLut(table.data(), c.bits);
    const auto sent = o.requests();
    ASSERT_EQ(sent.size(), c.indexes.size()) << c.bits;
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].code, 0xD9);
      EXPECT_EQ(sent[i].index, c.indexes[i]);
      ASSERT_EQ(sent[i].payload.size(), 2048u);
    }
  }
  // A table smaller than a block is padded with its last entry.
  Opened o(GetParam());
  std::vector<uint16_t> small(256);
  std::iota(small.begin(), small.end(), uint16_t{0x100});
  o.usb.IspSetLut(small.data(), 8);
  const auto payload = o.requests().at(0).payload;
  EXPECT_EQ(payload[2 * 255] | payload[2 * 255 + 1] << 8, 0x1FF);
  EXPECT_EQ(payload[2 * 1023] | payload[2 * 1023 + 1] << 8, 0x1FF);
}

// ISP setters, reload (trigger mode adds a second write) and DMA clear, in register writes.
TEST_P(VenReq, RegisterSettersWriteTheirRegisters) {
  Opened o(GetParam());
  const double matrix[9] = {1, 0, -0.5, 0, 1, 0, 0, 0, 1};
  o.usb.IspSetMatrix(matrix);
  const int32_t gains[3] = {300, 256, 0x12345};
  o.usb.IspSetWB(gains);
  o.usb.IspSetAWBRect(100, 200, 640, 480);
  o.usb.IspEnWB(true);
  o.usb.IspEnMatrix(false);
  o.usb.bWriteDdrRealtime(true);
  o.usb.bReload(0);
  o.usb.triggerMode = 1;
  o.usb.bReload(0);
  o.usb.bDMAClear();
  EXPECT_EQ(o.rig.camera->log().pipeTimeline(),
            (std::vector<std::string>{"pause 1", "pause 30", "pause 1"}));
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {
      {0x6000, 1023}, {0x6200, 0},      {0x6400, 0xFE00}, {0x6600, 0},    {0x6800, 1023},
      {0x6A00, 0},    {0x6C00, 0},      {0x6E00, 0},      {0x7000, 1023}, {0xD400, 300},
      {0xD600, 256},  {0xD800, 0x2345}, {0x3200, 25},     {0x3400, 640},  {0x3600, 50},
      {0x3800, 480},  {0xFC00, 1},      {0xF800, 0},      {0xB000, 1},    {0xB400, 0},
      {0xB400, 0},    {0xB400, 1},      {0xB200, 1},      {0xB200, 0}};
  EXPECT_EQ(o.registerWrites(), expected);
}

TEST(VenReqDefaults, AbbNeedsFirmware56) {
  CCmos usb(0, 0, nullptr, nullptr);  // the guide-port form
  usb.firmwareVersion = 55;
  EXPECT_FALSE(usb.bIspHasABB());
  usb.firmwareVersion = 56;
  EXPECT_TRUE(usb.bIspHasABB());
}

TEST(VenReqWinUsb, RefusedTransferIsRepeatedThroughACopyBothWays) {
  Opened o(Flavour::WinUsb);
  o.rig.camera->setEeprom(eepromOfSize(0x100));
  o.rig.camera->failNextControl(998);
  uint8_t head[8] = {};
  const usb::VenReqHeader in{usb::Direction::In, 0x20, 0, 0};
  uint32_t n = 0;
  ASSERT_EQ(o.usb.VenReq(&in, head, sizeof head, &n), S_OK);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(head[0], 0x00);
  EXPECT_EQ(head[1], 0x01);
  EXPECT_EQ(head[4], static_cast<uint8_t>(4 * 13 + 5));
  o.rig.camera->failNextControl(998);
  uint8_t payload[5] = {9, 8, 7, 6, 5};
  const usb::VenReqHeader out{usb::Direction::Out, 0x08, 0, 0};
  ASSERT_EQ(o.usb.VenReq(&out, payload, 5, nullptr), S_OK);
  EXPECT_EQ(o.requests().back().payload, (std::vector<uint8_t>{9, 8, 7, 6, 5}));
  o.rig.camera->failNextControl(31);
  EXPECT_EQ(o.usb.VenReq(&out, payload, 5, nullptr), HRESULT_FROM_WIN32(31));
}

INSTANTIATE_TEST_SUITE_P(Flavours, VenReq, ::testing::Values(Flavour::Kernel, Flavour::WinUsb),
                         flavourName);

}  // namespace
