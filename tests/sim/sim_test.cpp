// The simulated camera on its own: bulk segments, streaming rule, sensor families, content, faults,
// clock.
#include <gtest/gtest.h>

#include <bzlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/wait_hook.h"
#include "sim/eeprom_image.h"
#include "sim/fixed_family.h"
#include "sim/frame_content.h"
#include "sim/sim_bus.h"
#include "sim/usb3_14mp_family.h"
#include "sim/usb3_31mp_family.h"
#include "sim/usb3_51mp_family.h"
#include "sim/usb3_85_10mp_family.h"
#include "sim/virtual_clock.h"
#include "usb/ioctl_codes.h"

namespace {

using sim::LogKind;

struct Read {
  uint32_t error;
  uint32_t bytes;
};

struct DeviceRig {
  explicit DeviceRig(sim::SimConfig config = {},
                     std::unique_ptr<sim::SensorFamily> family = nullptr) {
    if (!family) family = std::make_unique<sim::FixedFamily>(64, 16);
    camera = bus.add(clock, config, std::move(family));
    uint32_t err = 0;
    device = platform::OpenDevice(camera->kernelPath(), &err);
    EXPECT_TRUE(device) << err;
  }
  uint32_t control(bool in, uint8_t request, uint16_t value, uint16_t index,
                   uint8_t* data = nullptr, uint32_t length = 0) {
    uint8_t header[10] = {uint8_t(in), 2, 0, 0, request};
    std::memcpy(header + 6, &value, 2);  // little-endian, as on the wire
    std::memcpy(header + 8, &index, 2);
    platform::Event event(platform::Event::Kind::ManualReset);
    platform::AsyncIo io;
    platform::PrepareAsync(io, event);
    return device->ioctl(usb::kIoctlVendorRequest, header, 10, data, length, io);
  }
  void writeSensor(uint16_t reg, uint16_t value) {
    uint8_t status = 0;
    EXPECT_EQ(control(true, 0x0B, value, reg, &status, 1), 0u);
  }
  void startStream() { EXPECT_EQ(control(false, 0x01, 1, 0x0F), 0u); }
  Read read(uint32_t length, std::vector<uint8_t>* data = nullptr, uint32_t waitMs = 1000) {
    platform::Event event(platform::Event::Kind::ManualReset);
    platform::AsyncIo io;
    platform::PrepareAsync(io, event);
    std::vector<uint8_t> buffer(length);
    uint32_t err = device->read(buffer.data(), length, io);
    if (err && err != platform::kErrorIoPending) return {err, 0};
    platform::Event* one[] = {&event};
    if (!platform::HookedWaitAny(one, waitMs).signalled()) {
      device->cancel(io);
      return {platform::kErrorSemTimeout, 0};
    }
    uint32_t n = 0;
    err = device->result(io, &n);
    if (data) data->assign(buffer.begin(), buffer.begin() + n);
    return {err, n};
  }
  sim::VirtualClock clock;
  sim::SimBus bus;
  std::shared_ptr<sim::SimCamera> camera;
  std::unique_ptr<platform::DeviceIo> device;
};

// The 3.1 MP sensor's window registers through `write`: column and row skips, first and last
// column and row, frame length; by default the 1024 x 770 window (every other column and row).
template <class Write>
void writeWindow(Write write, uint16_t skip = 3, uint16_t lastCol = 2179, uint16_t lastRow = 1543,
                 uint16_t frameLength = 800) {
  const uint16_t program[][2] = {{0x30A2, skip},       {0x30A6, skip}, {0x3004, 134},
                                 {0x3008, lastCol},    {0x3002, 6},    {0x3006, lastRow},
                                 {0x300A, frameLength}};
  for (auto& w : program) write(w[0], w[1]);
}
void writeHalfWindow(DeviceRig& rig) {
  writeWindow([&](uint16_t reg, uint16_t value) { rig.writeSensor(reg, value); });
}

// A read of R bytes gets min(R, rest); a zero-length read closes a frame only when a read ended
// exactly at its end and the frame is a multiple of the max packet.
TEST(SimStream, SegmentCases) {
  struct Case {
    const char* name;
    uint32_t width, height;
    uint16_t maxPacket;
    std::vector<uint32_t> reads;
    std::vector<uint32_t> lengths;
  };
  const Case cases[] = {
      {"whole reads", 64, 64, 1024, {2048, 2048, 2048, 2048}, {2048, 2048, 0, 2048}},
      {"exact multiple, one read", 32, 32, 1024, {1024, 1024, 1024}, {1024, 0, 1024}},
      {"short tail", 50, 50, 512, {2048, 2048}, {2048, 452}},
      {"ends inside a read", 64, 64, 1024, {3000, 3000}, {3000, 1096}},
      {"not a packet multiple", 60, 60, 512, {1800, 1800, 1800}, {1800, 1800, 1800}},
      {"usb2 packet", 32, 16, 512, {512, 512}, {512, 0}},
  };
  for (const Case& c : cases) {
    sim::SimConfig config;
    config.maxPacket = c.maxPacket;
    DeviceRig rig(config, std::make_unique<sim::FixedFamily>(c.width, c.height));
    rig.startStream();
    for (size_t i = 0; i < c.reads.size(); ++i) {
      const Read r = rig.read(c.reads[i]);
      EXPECT_EQ(r.error, 0u) << c.name << " read " << i;
      EXPECT_EQ(r.bytes, c.lengths[i]) << c.name << " read " << i;
    }
  }
}

TEST(SimStream, StreamsOnlyWithSystemInitAndAKnownWindow) {
  DeviceRig rig({}, std::make_unique<sim::Usb3Mp31Family>());
  struct Step {
    const char* name;
    std::function<void(DeviceRig&)> apply;
    bool frames;
  };
  const Step steps[] = {
      {"nothing yet", [](DeviceRig&) {}, false},
      {"system init only", [](DeviceRig& r) { r.startStream(); }, false},
      {"window program", [](DeviceRig& r) { writeHalfWindow(r), r.writeSensor(0x301A, 0x10DE); },
       true},
      {"stream stop", [](DeviceRig& r) { r.control(false, 0x01, 0, 0x0F); }, false},
      {"stream start", [](DeviceRig& r) { r.startStream(); }, true},
      {"sensor off", [](DeviceRig& r) { r.writeSensor(0x301A, 0x10D8); }, false},
      // An unknown window is logged and sends nothing.
      {"unknown window",
       [](DeviceRig& r) { r.writeSensor(0x30A2, 2), r.writeSensor(0x301A, 0x10DE); }, false},
  };
  for (const Step& step : steps) {
    step.apply(rig);
    const Read r = rig.read(1024 * 770 + 100, nullptr, 200);
    EXPECT_EQ(r.error == 0, step.frames) << step.name;
    if (step.frames) {
      EXPECT_EQ(r.bytes, 1024u * 770 + 1) << step.name;  // revision 3: trailer
    }
  }
  const auto errors = rig.camera->log().ofKind(LogKind::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].code, 0x301Au);
}

TEST(SimUsb3Mp31, WindowsExposureGainAndTrailer) {
  sim::Usb3Mp31Family f;
  struct Window {
    uint16_t colInc, lastCol, lastRow, frameLength;
    uint32_t width, height;
    bool streams;
  };
  // The last: a frame length that ends before the frame's rows.
  const Window windows[] = {{1, 2181, 1539, 1560, 2048, 1534, true},
                            {3, 2179, 1543, 800, 1024, 770, true},
                            {1, 2179, 1539, 1560, 0, 0, false},
                            {1, 2181, 1539, 1533, 2048, 1534, false}};
  for (const Window& w : windows) {
    writeWindow([&](uint16_t reg, uint16_t v) { f.writeRegister(reg, v); }, w.colInc, w.lastCol,
                w.lastRow, w.frameLength);
    const std::string error = f.writeRegister(0x301A, 0x10DE);
    EXPECT_EQ(f.width(), w.width);
    EXPECT_EQ(f.height(), w.height);
    EXPECT_EQ(f.streaming(), w.streams) << w.frameLength;
    EXPECT_EQ(error.empty(), w.streams) << w.frameLength;
  }
  f.writeRegister(0x3012, 4005);
  f.writeRegister(0x300C, 1150);
  const uint32_t clocks[][2] = {
      {147, 93994}, {135, 102350}, {120, 115143}};  // about 94000 us at the fastest clock
  for (auto& c : clocks) {
    f.writeRegister(0x3030, static_cast<uint16_t>(c[0]));
    EXPECT_EQ(f.exposureUs(), c[1]) << c[0];
  }
  const uint32_t gains[][2] = {{6, 100}, {7, 104}, {16, 162}, {28, 260}, {30, 289}};
  for (auto& g : gains) {
    f.writeRegister(0x3060, static_cast<uint16_t>(g[0]));
    EXPECT_EQ(f.gainPercent(), g[1]);
  }
  EXPECT_EQ(f.trailerBytes(2), 0u);
  EXPECT_EQ(f.trailerBytes(3), 1u);
}

// The stream renders whichever content is set, at the exposure and gain the registers program.
// The USB3 sensors derive clock, window and frame length from what was written: each row writes a
// whole full-size program with one register changed, and the sensor streams or not and counts its
// exposure at the clock the registers give.
TEST(SimUsb3Sensors, ClockWindowAndFrameLengthFollowTheRegisters) {
  using Program = std::vector<std::array<uint16_t, 2>>;
  // Start-up, clock tree, window, line length, 1000 lines, streaming; the 8.5 MP at 80 MHz.
  const Program held{{0x0103, 0x0100}, {0x0104, 0x0100}, {0x0300, 4},     {0x0302, 1},
                     {0x0308, 8},      {0x030A, 1},      {0x0304, 4},     {0x0306, 64},
                     {0x0104, 0},      {0x0104, 0x0100}, {0x0344, 72},    {0x0348, 3399},
                     {0x0346, 8},      {0x034A, 2555},   {0x034C, 3328},  {0x034E, 2548},
                     {0x3040, 577},    {0x300A, 2800},   {0x0104, 0},     {0x300C, 4000},
                     {0x3012, 1000},   {0x0100, 0x0100}, {0x301A, 0x50DC}};
  // The 5.1 MP at 64 x 1.5 MHz: PLL, mode, full window, 1000 rows.
  const Program rows{{0x0D, 0},      {0x10, 0x51}, {0x11, 64 * 256 + 1}, {0x12, 7}, {0x10, 0x53},
                     {0x20, 0x4040}, {0x04, 2559}, {0x03, 1921},         {0x22, 0}, {0x23, 0},
                     {0x05, 450},    {0x08, 0},    {0x09, 1000}};
  struct Case {
    const char* name;
    bool mp51, mp14;
    uint16_t reg, value;  // the one change; register 0 for none
    bool streams;
    uint32_t exposureUs;
  };
  const Case cases[] = {
      {"8.5 MP as programmed", false, false, 0, 0, true, (1000 * 4000 + 1010) / 80},
      {"8.5 MP multiplier 4 % up", false, false, 0x0306, 67, true, 47773},
      {"8.5 MP pre-divider", false, false, 0x0304, 8, true, (1000 * 4000 + 1010) / 40},
      {"8.5 MP window a column short", false, false, 0x0348, 3398, false, 0},
      {"8.5 MP window a row long", false, false, 0x034A, 2556, false, 0},
      {"8.5 MP window starts late", false, false, 0x0346, 10, false, 0},
      {"8.5 MP frame length under the frame", false, false, 0x300A, 2547, false, 0},
      {"14 MP on a clock tree it does not run", false, true, 0, 0, false, 0},
      {"5.1 MP as programmed", true, false, 0, 0, true, 1000 * 3460 / 96},
      {"5.1 MP divider one less", true, false, 0x12, 6, true, 1000 * 3460 * 7 / 768},
  };
  for (const Case& c : cases) {
    std::unique_ptr<sim::SensorFamily> f;
    if (c.mp51)
      f = std::make_unique<sim::Usb3Mp51Family>();
    else if (c.mp14)
      f = std::make_unique<sim::Usb3Mp14Family>(false);
    else
      f = std::make_unique<sim::Usb3Mp85Family>();
    std::vector<std::string> errors;
    for (const auto& [reg, value] : c.mp51 ? rows : held) {
      const std::string error = f->writeRegister(reg, reg == c.reg ? c.value : value);
      if (!error.empty()) errors.push_back(error);
    }
    EXPECT_EQ(f->streaming(), c.streams) << c.name;
    EXPECT_EQ(errors.empty(), c.streams || c.mp51) << c.name;
    if (c.streams) {
      EXPECT_EQ(f->exposureUs(), c.exposureUs) << c.name;
    }
  }
}

TEST(SimStream, ChartAndSceneFollowTheContentSetting) {
  DeviceRig rig({}, std::make_unique<sim::Usb3Mp31Family>());
  const sim::SceneOptions sensor = sim::Usb3Mp31Family::sceneOptions();
  rig.camera->setContent(sim::ContentKind::Chart, sensor);
  rig.startStream();
  // 490 lines of 1000 clocks at the default clock: 10 ms; gain code 16: 162 %.
  writeHalfWindow(rig);
  const uint16_t program[][2] = {{0x3012, 490}, {0x300C, 1000}, {0x3060, 16}, {0x301A, 0x10DE}};
  for (auto& w : program) rig.writeSensor(w[0], w[1]);
  constexpr uint32_t w = 1024, h = 770;
  std::vector<uint8_t> expected(w * h);
  for (sim::ColourFn colour : {sim::ChartColour, sim::ChartColour, sim::SceneColour}) {
    if (colour == sim::SceneColour) rig.camera->setContent(sim::ContentKind::Scene, sensor);
    std::vector<uint8_t> frame;
    ASSERT_EQ(rig.read(w * h + 100, &frame).bytes, w * h + 1);
    sim::RenderScene(expected.data(), w, h, sensor, 10000, 162, 0, colour);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.begin()));
  }
}

TEST(SimContent, PatternRowsCarryFrameAndRow) {
  std::vector<uint8_t> frame(300 * 4);
  sim::RenderPattern(frame.data(), 300, 4, 0x1234);
  for (uint32_t row = 0; row < 4; ++row) {
    const uint8_t* line = frame.data() + row * 300;
    EXPECT_EQ(line[0] | line[1] << 8, 0x1234);
    EXPECT_EQ(line[2] | line[3] << 8, static_cast<int>(row));
    for (uint32_t col = 4; col < 300; ++col)
      ASSERT_EQ(line[col], sim::PatternByte(0x1234, row, col));
  }
}

TEST(SimContent, BrightnessFollowsExposureTimesGainWithFlicker) {
  constexpr uint32_t w = 16, h = 4;
  sim::SceneOptions options;
  std::vector<uint8_t> base(w * h), doubled(w * h), flicker(w * h);
  sim::RenderScene(base.data(), w, h, options, 2000, 100, 0);
  sim::RenderScene(doubled.data(), w, h, options, 2000, 200, 0);
  for (size_t i = 0; i < base.size(); ++i) EXPECT_NEAR(doubled[i], 2 * base[i], 1);
  options.mainsHz = 50;
  sim::RenderScene(flicker.data(), w, h, options, 2000, 100, 2);  // peak of the 100 Hz ripple
  EXPECT_GT(flicker[w - 1], base[w - 1]);
}

// Decompresses a block's lists part as a reader of the block would.
std::vector<uint8_t> unpack(const std::vector<uint8_t>& block, uint32_t* declared) {
  uint32_t n = 0;
  std::memcpy(&n, block.data(), 4);
  std::memcpy(declared, block.data() + 5, 4);
  std::vector<char> out(*declared + 16);
  unsigned int outBytes = static_cast<unsigned int>(out.size());
  std::vector<char> packed(block.begin() + 9, block.begin() + n);
  if (BZ2_bzBuffToBuffDecompress(out.data(), &outBytes, packed.data(),
                                 static_cast<unsigned int>(packed.size()), 0, 0) != BZ_OK)
    return {};
  return std::vector<uint8_t>(out.begin(), out.begin() + outBytes);
}

TEST(SimEeprom, DefaultBlockIsValidWithEmptyLists) {
  const auto block = sim::EepromImage(2).build();
  uint32_t n = 0, declared = 0;
  std::memcpy(&n, block.data(), 4);
  EXPECT_EQ(block[4], '2');
  ASSERT_EQ(block.size(), n + 32);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + n)),
            sim::EepromImage::kDefaultSerial);
  const auto lists = unpack(block, &declared);
  EXPECT_EQ(lists, (std::vector<uint8_t>{'2', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(declared, lists.size());
}

TEST(SimEeprom, ListsGroupByHighParts) {
  sim::EepromImage image(1);
  image.setLists({{{254, 3}, {255, 3}, {300, 3}}});
  uint32_t declared = 0;
  const auto lists = unpack(image.build(), &declared);
  const std::vector<uint8_t> expected = {'2', 1, 0, 3, 0,   0, 0, 0,
                                         0,   1, 0, 3, 254,             // x high 0: y low, x low
                                         1,   0, 2, 0, 3,   3, 0, 45};  // x high 1: 255 and 300
  EXPECT_EQ(lists, expected);
}

TEST(SimEeprom, EveryVariantCarriesItsFault) {
  using V = sim::EepromImage::Variant;
  const std::vector<std::vector<sim::DefectPixel>> lists = {{{10, 10}, {20, 10}, {300, 10}}, {}};
  auto build = [&](V v) { return sim::EepromImage(2).setLists(lists).setVariant(v).build(); };
  uint32_t declared = 0;
  const auto valid = unpack(build(V::Valid), &declared);
  EXPECT_EQ(declared, valid.size());

  EXPECT_EQ(build(V::BadMarker)[4], '1');
  auto wrongSize = unpack(build(V::WrongUnpackedSize), &declared);
  EXPECT_EQ(declared, wrongSize.size() + 1);
  auto wrongCount = unpack(build(V::WrongListCount), &declared);
  EXPECT_EQ(wrongCount[1] | wrongCount[2] << 8, 3);
  auto mismatch = unpack(build(V::GroupSumMismatch), &declared);
  EXPECT_EQ(mismatch[3], 2);  // three entries in groups, two declared
  auto big = unpack(build(V::Count2048), &declared);
  EXPECT_EQ(big[3] | big[4] << 8, 2048);
  auto truncated = unpack(build(V::TruncatedGroup), &declared);
  EXPECT_EQ(truncated.size() + 1, valid.size());
  EXPECT_EQ(declared, truncated.size());
}

TEST(SimDevice, IdsAndUnplug) {
  sim::SimConfig config;
  config.instance = 3;
  config.productId = 0x4310;
  config.vendorId = 0x1234;
  DeviceRig rig(config);
  EXPECT_EQ(rig.camera->kernelId(), WString(ZX_W("3-4310")));
  EXPECT_EQ(rig.camera->interfaceId(), WString(ZX_W("\\\\?\\usb#vid_1234&pid_4310#sim3")));
  rig.startStream();
  platform::Event event(platform::Event::Kind::ManualReset);
  platform::AsyncIo io;
  platform::PrepareAsync(io, event);
  std::vector<uint8_t> buffer(100000);
  ASSERT_EQ(rig.device->read(buffer.data(), 100000, io), platform::kErrorIoPending);
  rig.camera->addStreamFault({sim::StreamFault::Kind::Stall, 0});
  rig.camera->setUnplugged(true);
  uint32_t n = 0;
  EXPECT_TRUE(event.wait(0));
  EXPECT_EQ(rig.device->result(io, &n), platform::kErrorNotConnected);
  EXPECT_EQ(rig.read(10).error, platform::kErrorNotConnected);
  EXPECT_EQ(rig.control(false, 0x01, 0, 0x0F), platform::kErrorNotConnected);
  uint32_t err = 0;
  EXPECT_FALSE(platform::OpenDevice(rig.camera->kernelPath(), &err));
  EXPECT_EQ(err, platform::kErrorFileNotFound);
}

// Unknown control codes fail as the kernel driver fails them; unknown requests stall.
TEST(SimDevice, RouterStallsUnknownRequestsAndAppliesFaults) {
  DeviceRig rig;
  platform::Event event(platform::Event::Kind::ManualReset);
  platform::AsyncIo io;
  platform::PrepareAsync(io, event);
  EXPECT_EQ(rig.device->ioctl(0x222000, nullptr, 0, nullptr, 0, io),
            platform::kErrorInvalidFunction);
  uint8_t reply[4] = {};
  EXPECT_EQ(rig.control(true, 0x55, 0, 0, reply, 1), 31u);
  rig.camera->addRequestFault({0x2A, sim::RequestFault::Kind::TransferError, 121, 0, 0, 2});
  EXPECT_EQ(rig.control(true, 0x2A, 0, 0, reply, 1), 121u);
  EXPECT_EQ(rig.control(true, 0x2A, 0, 0, reply, 1), 121u);
  EXPECT_EQ(rig.control(true, 0x2A, 0, 0, reply, 1), 0u);
  EXPECT_EQ(reply[0], 8);
  EXPECT_EQ(rig.camera->log().requests(0x2A).size(), 3u);
}

TEST(SimDevice, OutstandingReadsAreCountedThroughAHeldAbort) {
  DeviceRig rig;
  rig.camera->setAbortDelayMs(300);
  platform::Event events[2] = {platform::Event(platform::Event::Kind::ManualReset),
                               platform::Event(platform::Event::Kind::ManualReset)};
  platform::AsyncIo ios[2];
  std::vector<uint8_t> buffer(2 * 4096);
  for (int i = 0; i < 2; ++i) {
    platform::PrepareAsync(ios[i], events[i]);
    rig.device->read(buffer.data() + i * 4096, 4096, ios[i]);
  }
  EXPECT_EQ(rig.camera->outstandingReads(), 2u);
  platform::AsyncIo io;
  platform::Event e(platform::Event::Kind::ManualReset);
  platform::PrepareAsync(io, e);
  const uint32_t zero = 0;
  EXPECT_EQ(rig.device->ioctl(usb::kIoctlAbortPipe, &zero, 4, nullptr, 0, io), 0u);
  EXPECT_EQ(rig.camera->outstandingReads(), 2u);
  rig.clock.advance(299);
  EXPECT_EQ(rig.camera->outstandingReads(), 2u);
  rig.clock.advance(1);
  EXPECT_EQ(rig.camera->outstandingReads(), 0u);
  uint32_t n = 0;
  EXPECT_EQ(rig.device->result(ios[0], &n), platform::kErrorOperationAborted);
}

// An idle wait jumps to the earlier of its deadline and the next device action.
TEST(SimClock, IdleWaitsJumpToTheNextAction) {
  sim::VirtualClock clock(0);
  platform::Event event;
  clock.at(700, nullptr, [&] { event.set(); });
  platform::Event* one[] = {&event};
  EXPECT_EQ(platform::HookedWaitAny(one, 500).status, platform::WaitStatus::Timeout);
  EXPECT_EQ(clock.now(), 500u);
  EXPECT_TRUE(platform::HookedWaitAny(one, 5000).signalled());
  EXPECT_EQ(clock.now(), 700u);
  EXPECT_EQ(platform::TickCountMs(), 700u);
  std::vector<uint32_t> slept;
  clock.observeSleeps([&](uint32_t ms) { slept.push_back(ms); });
  int ran = 0;
  clock.at(720, nullptr, [&] { ++ran; });
  platform::HookedSleepMs(50);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(clock.now(), 750u);
  EXPECT_EQ(slept, std::vector<uint32_t>{50});
}

}  // namespace
