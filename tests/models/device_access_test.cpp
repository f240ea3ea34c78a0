// Raw device access on the 3.1 MP camera, read from the simulated device's request log: framing,
// refusals before any traffic, version texts, raw pipes, the guide port's timing, and requests
// from a host thread while another starts and stops the camera.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "core/lumorix_options.h"
#include "models/common/helper_stream.h"
#include "platform/event.h"
#include "tests/support/stream_rig.h"
#include "tests/models/model_rig.h"
#include "usb/kernel_driver_backend.h"
#include "usb/winusb_backend.h"

namespace testing_models {
namespace {

using Call = std::function<HRESULT(BaseImpl&)>;

uint8_t gBuffer[0x10001];
uint32_t gTransferred = 0;

std::vector<sim::LogEntry> Requests(ModelRig& rig) {
  return rig.log().ofKind(sim::LogKind::Request);
}

sim::VirtualClock& Virtual(ModelRig& rig) {
  return static_cast<sim::VirtualClock&>(rig.clock());
}

// --- Framing -----------------------------------------------------------------------------------

struct FramingRow {
  const char* name;
  Call call;
  HRESULT result;
  bool in;
  uint8_t request;
  uint16_t value, index;
};

const FramingRow kFraming[] = {
    {"VenCommandEx", [](BaseImpl& c) { return c.VenCommandEx(0x12, 0x34, 7); }, S_OK, false, 0xED,
     7, 0x1234},
    {"VenRead", [](BaseImpl& c) { return c.VenRead(0x100, gBuffer, 64); }, 64, true, 0xEF, 0x100,
     0},
    {"VenWrite", [](BaseImpl& c) { return c.VenWrite(0x200, gBuffer, 8); }, 8, false, 0xEE, 0x200,
     0},
    {"VenReadBufferAtLimit", [](BaseImpl& c) { return c.VenReadBuffer(gBuffer, 0xFFFF); }, 4096,
     true, 0xEB, 0, 0},
    {"VenWriteBuffer", [](BaseImpl& c) { return c.VenWriteBuffer(gBuffer, 10); }, 10, false, 0xEC,
     0, 0},
    {"VenCommand", [](BaseImpl& c) { return c.VenCommand(5); }, S_OK, false, 0x36, 5, 0},
    {"Guide", [](BaseImpl& c) { return c.ST4PlusGuide(1, 95); }, S_OK, false, 0x83, 3, 5},
    {"GuideLongest", [](BaseImpl& c) { return c.ST4PlusGuide(4, 1966079); }, S_OK, false, 0x86,
     0xFFFF, 29},
    {"GuideState", [](BaseImpl& c) { return c.ST4PlusGuideState(); }, S_FALSE, true, 0x81, 0, 0},
    {"PulseStopWithoutLength", [](BaseImpl& c) { return c.put_ST4PulseGuide(4, 0); }, S_OK, false,
     0x86, 0, 0},
    {"QueryGuideState", [](BaseImpl& c) { return c.QueryGuideState(); }, 0, true, 0x81, 0, 0},
    {"Write31", [](BaseImpl& c) { return c.VenReqWrite31(gBuffer, 4, 9); }, S_OK, false, 0x31, 0,
     9},
    {"Query34", [](BaseImpl& c) { return c.VenReqQuery34(); }, S_OK, true, 0x34, 0, 0},
    {"Write35", [](BaseImpl& c) { return c.VenReqWrite35(7); }, S_OK, false, 0x35, 0, 7},
    {"Reset30", [](BaseImpl& c) { return c.VenReqReset30(); }, S_OK, false, 0x30, 0, 0},
    {"Read32", [](BaseImpl& c) { return c.VenReqRead32(gBuffer, 16, 3); }, 16, true, 0x32, 0, 3},
    {"Write33ReadsOneByte", [](BaseImpl& c) { return c.VenReqWrite33(5); }, S_OK, true, 0x33, 0, 5},
    {"Raw", [](BaseImpl& c) { return c.VenReqRaw(0xEF, 1, 2, 3, gBuffer, 8, &gTransferred); }, S_OK,
     true, 0xEF, 3, 2},
    {"FE", [](BaseImpl& c) { return c.VenReqFE(); }, S_OK, false, 0xFE, 0, 0},
    {"DeviceResetOption", [](BaseImpl& c) { return c.put_Option(LUMORIX_OPTION_DEVICE_RESET, 1); },
     S_OK, false, 0x30, 0, 0},
};

TEST(DeviceAccess, EachCallSendsItsOneRequest) {
  for (const FramingRow& row : kFraming) {
    SCOPED_TRACE(row.name);
    ModelRig rig;
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().InitUSB(), S_OK);
    rig.log().clear();
    EXPECT_EQ(row.call(rig.camera()), row.result);
    const auto sent = Requests(rig);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].in, row.in);
    EXPECT_EQ(sent[0].code, row.request);
    EXPECT_EQ(sent[0].value, row.value);
    EXPECT_EQ(sent[0].index, row.index);
  }
}

TEST(DeviceAccess, VenCommandNeverOpensTheDevice) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  rig.countOpens();
  EXPECT_EQ(rig.camera().VenCommand(5), E_UNEXPECTED);
  EXPECT_EQ(rig.opens(), 0);
  EXPECT_TRUE(Requests(rig).empty());
}

TEST(DeviceAccess, FEWaitsThirtyMillisecondsFirst) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().InitUSB(), S_OK);
  rig.log().clear();
  const uint64_t before = rig.clock().now();
  ASSERT_EQ(rig.camera().VenReqFE(), S_OK);
  const auto sent = rig.log().requests(0xFE);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].timeMs - before, 30u);
  EXPECT_EQ(rig.traffic(), std::vector<std::string>{"wait 30"});
}

struct ReplyRow {
  const char* name;
  sim::RequestFault fault;
  HRESULT result;
};

TEST(DeviceAccess, Query34AgreesOnlyOnAZeroByte) {
  const ReplyRow rows[] = {
      {"Zero", {0x34, sim::RequestFault::Kind::BadStatus, 31, 0}, S_OK},
      {"Three",
       {0x34, sim::RequestFault::Kind::BadStatus, 31, 3},
       static_cast<HRESULT>(0x8000000A)},
      {"Nothing",
       {0x34, sim::RequestFault::Kind::ShortReply, 31, 0, 0},
       static_cast<HRESULT>(0x8000000A)},
      {"TransferError",
       {0x34, sim::RequestFault::Kind::TransferError, 31},
       static_cast<HRESULT>(0x8000000A)},
  };
  for (const ReplyRow& row : rows) {
    SCOPED_TRACE(row.name);
    ModelRig rig;
    ASSERT_NE(rig.open(), nullptr);
    rig.device().addRequestFault(row.fault);
    EXPECT_EQ(rig.camera().VenReqQuery34(), row.result);
  }
}

// --- Refusals ----------------------------------------------------------------------------------

struct RefusalRow {
  const char* name;
  Call call;
  HRESULT result;
};

const RefusalRow kRefusals[] = {
    {"ReadNothing", [](BaseImpl& c) { return c.VenRead(0, gBuffer, 0); }, E_INVALIDARG},
    {"ReadPastSetupLength", [](BaseImpl& c) { return c.VenRead(0, gBuffer, 0x10000); },
     E_INVALIDARG},
    {"ReadIntoNull", [](BaseImpl& c) { return c.VenRead(0, nullptr, 64); }, E_POINTER},
    {"WritePastSetupLength", [](BaseImpl& c) { return c.VenWrite(0, gBuffer, 0x10000); },
     E_INVALIDARG},
    {"ReadBufferPastSetupLength", [](BaseImpl& c) { return c.VenReadBuffer(gBuffer, 0x10000); },
     E_INVALIDARG},
    {"WriteBufferPastSetupLength", [](BaseImpl& c) { return c.VenWriteBuffer(gBuffer, 0x10000); },
     E_INVALIDARG},
    {"Write31PastSetupLength", [](BaseImpl& c) { return c.VenReqWrite31(gBuffer, 0x10000, 0); },
     E_INVALIDARG},
    {"Read32PastSetupLength", [](BaseImpl& c) { return c.VenReqRead32(gBuffer, 0x10000, 0); },
     E_INVALIDARG},
    {"RawPastSetupLength",
     [](BaseImpl& c) { return c.VenReqRaw(0xEF, 1, 0, 0, gBuffer, 0x10000, nullptr); },
     E_INVALIDARG},
    {"PipeReadNothing", [](BaseImpl& c) { return c.ReadPipe(0x82, gBuffer, 0); }, E_INVALIDARG},
    {"PipeWriteNull", [](BaseImpl& c) { return c.WritePipe(2, nullptr, 4); }, E_POINTER},
    {"GuideDirectionFive", [](BaseImpl& c) { return c.ST4PlusGuide(5, 100); }, E_INVALIDARG},
    {"GuideDirectionInitRequest", [](BaseImpl& c) { return c.ST4PlusGuide(0x7F, 100); },
     E_INVALIDARG},
    {"GuideDirectionEepromRequest", [](BaseImpl& c) { return c.ST4PlusGuide(0x9E, 100); },
     E_INVALIDARG},
    {"GuideWrapsWire", [](BaseImpl& c) { return c.ST4PlusGuide(0, 1966080); }, E_INVALIDARG},
    {"PulseWithoutLength", [](BaseImpl& c) { return c.put_ST4PulseGuide(2, 0); }, E_INVALIDARG},
    {"PulseDirectionFive", [](BaseImpl& c) { return c.put_ST4PulseGuide(5, 10); }, E_INVALIDARG},
    {"PulseWrapsWire", [](BaseImpl& c) { return c.put_ST4PulseGuide(1, 1966080); }, E_INVALIDARG},
    {"FwVersionIntoNull", [](BaseImpl& c) { return c.get_FwVersion(nullptr); }, E_POINTER},
    {"RevisionIntoNull", [](BaseImpl& c) { return c.get_Revision(nullptr); }, E_POINTER},
};

TEST(DeviceAccess, RefusedBeforeTheDeviceIsOpened) {
  for (const RefusalRow& row : kRefusals) {
    SCOPED_TRACE(row.name);
    ModelRig rig;
    ASSERT_NE(rig.open(), nullptr);
    rig.countOpens();
    EXPECT_EQ(row.call(rig.camera()), row.result);
    EXPECT_EQ(rig.opens(), 0);
    EXPECT_TRUE(Requests(rig).empty());
  }
}

// --- Versions ----------------------------------------------------------------------------------

struct VersionRow {
  const char* name;
  std::string text;
  uint32_t transferError;
  HRESULT result;
  std::string expected;  // the bytes after the call, up to the guard
};

TEST(DeviceAccess, VersionTextsKeepTheirLength) {
  const VersionRow rows[] = {
      {"FiveBytes", "3.1.0", 0, S_OK, std::string("3.1.0\0", 6)},
      {"SixteenBytes", "0123456789ABCDEF", 0, S_OK, "0123456789ABCDEF"},
      {"Empty", "", 0, E_FAIL, ""},
      {"TransferError", "3.1.0", 31, HRESULT_FROM_WIN32(31), ""},
  };
  for (const VersionRow& row : rows) {
    for (const bool firmware : {true, false}) {
      SCOPED_TRACE(std::string(row.name) + (firmware ? " firmware" : " hardware"));
      ModelRig rig;
      ASSERT_NE(rig.open(), nullptr);
      rig.device().setVersionTexts(firmware ? row.text : "x", firmware ? "x" : row.text);
      const uint8_t request = firmware ? 0x1E : 0x1F;
      if (row.transferError)
        rig.device().addRequestFault(
            {request, sim::RequestFault::Kind::TransferError, row.transferError});
      char text[17];
      std::memset(text, '#', sizeof text);
      const HRESULT hr =
          firmware ? rig.camera().get_FwVersion(text) : rig.camera().get_HwVersion(text);
      EXPECT_EQ(hr, row.result);
      if (FAILED(hr)) continue;
      EXPECT_EQ(std::string(text, row.expected.size()), row.expected);
      EXPECT_EQ(text[row.expected.size()], '#');
    }
  }
}

TEST(DeviceAccess, ProductionDateIsTheSerialsDate) {
  struct Row {
    const char* name;
    const char* serial;
    uint8_t valid;
    HRESULT result;
    const char* date;
  } rows[] = {
      {"Valid", "AB230715XYZ", 1, S_OK, "20230715"},
      {"NoSerial", "AB230715XYZ", 0, E_FAIL, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ModelRig rig;
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().InitUSB(), S_OK);
    std::strncpy(rig.helper().serial, row.serial, sizeof rig.helper().serial - 1);
    rig.helper().serialValid = row.valid;
    char date[10];
    std::memset(date, '#', sizeof date);
    EXPECT_EQ(rig.camera().get_ProductionDate(date), row.result);
    if (!row.date) continue;
    EXPECT_STREQ(date, row.date);
    EXPECT_EQ(date[9], '#');
  }
}

TEST(DeviceAccess, RevisionIsTheDescriptorsAndDeviceVersionHasNoQuery) {
  for (const uint16_t revision : {uint16_t{3}, uint16_t{0x0105}}) {
    ModelRig rig(RigOptions{.revision = revision});
    ASSERT_NE(rig.open(), nullptr);
    uint16_t read = 0;
    EXPECT_EQ(rig.camera().get_Revision(&read), S_OK);
    EXPECT_EQ(read, revision);
    char text[8] = "keep";
    EXPECT_EQ(rig.camera().get_DeviceVersion(text), E_NOTIMPL);
    EXPECT_STREQ(text, "keep");
  }
}

// --- Pipes -------------------------------------------------------------------------------------

struct PipeRow {
  const char* name;
  Flavour flavour;
  uint32_t readPipe;
};

TEST(DeviceAccess, PipeTwoLoopsBackOnBothFlavours) {
  const PipeRow rows[] = {
      {"KernelDriver", Flavour::Kernel, 0x82},
      {"WinUsbInPipe", Flavour::WinUsb, 0x82},
      {"WinUsbSetsTheInBit", Flavour::WinUsb, 0x02},
  };
  for (const PipeRow& row : rows) {
    SCOPED_TRACE(row.name);
    ModelRig rig(RigOptions{.flavour = row.flavour});
    ASSERT_NE(rig.open(), nullptr);
    const char sent[] = "loopback";
    EXPECT_EQ(rig.camera().WritePipe(2, sent, 8), 8);
    char back[16] = {};
    EXPECT_EQ(rig.camera().ReadPipe(row.readPipe, back, sizeof back), 8);
    EXPECT_STREQ(back, sent);
    rig.device().failNextPipe(31);
    EXPECT_EQ(rig.camera().WritePipe(2, sent, 8), static_cast<HRESULT>(0x8007001F));
    rig.device().failNextPipe(31);
    EXPECT_EQ(rig.camera().ReadPipe(row.readPipe, back, sizeof back),
              static_cast<HRESULT>(0x8007001F));
  }
}

// A read the device never answers ends after the transport's bound as aborted, on both flavours.
TEST(DeviceAccess, PipeReadWithoutDataEndsAborted) {
  for (const Flavour flavour : {Flavour::Kernel, Flavour::WinUsb}) {
    SCOPED_TRACE(flavour == Flavour::Kernel ? "kernel" : "winusb");
    ModelRig rig(RigOptions{.flavour = flavour});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().InitUSB(), S_OK);
    const uint64_t start = rig.clock().now();
    char back[16];
    EXPECT_EQ(rig.camera().ReadPipe(0x82, back, sizeof back), HRESULT_FROM_WIN32(995));
    EXPECT_EQ(rig.clock().now() - start, 5000u);
    EXPECT_EQ(rig.device().outstandingReads(), 0u);
  }
}

// The focus thread's read is the device's pipe 1, once the device is open; a set cancel reads
// nothing. The position comes from the transport, which has no motor here.
TEST(DeviceAccess, FocusReadsThePipeOfTheDevice) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  HelperStream& stream = rig.camera().stream();
  platform::Event cancel(platform::Event::Kind::ManualReset, false);
  uint8_t buffer[256] = {};
  rig.device().failNextPipe(31);
  EXPECT_EQ(stream.readFocusPipe(buffer, sizeof buffer, cancel), static_cast<int32_t>(0x8007001F));
  EXPECT_EQ(stream.readFocusPipe(buffer, sizeof buffer, cancel),
            static_cast<int32_t>(HRESULT_FROM_WIN32(995)));  // nothing to say within the bound
  cancel.set();
  rig.device().failNextPipe(31);
  EXPECT_EQ(stream.readFocusPipe(buffer, sizeof buffer, cancel), -1);
  EXPECT_EQ(stream.focusPosition(), 0u);
}

// --- Beside a stop ------------------------------------------------------------------------------

// A host thread's raw requests and device events while another starts and stops the camera: each
// meets an open device or none, never one being opened or closed under it.
TEST(DeviceAccess, RequestsBesideAStopAndStartOnAnotherThread) {
  ModelRig rig(RigOptions{.realTime = true});
  rig.device().setFramePeriodMs(5);
  ASSERT_NE(rig.open(), nullptr);
  BaseImpl& camera = rig.camera();
  std::atomic<bool> done{false};
  std::thread host([&] {
    while (!done) {
      for (const FramingRow& row : kFraming) (void)row.call(camera);
      (void)camera.HandleError(-4);  // a device event on an open device re-programs the sensor
    }
  });
  for (int run = 0; run < 6; ++run) {
    EXPECT_EQ(camera.start(), S_OK) << run;
    EXPECT_EQ(camera.stop(), S_OK) << run;
    rig.camera().StopSensor();  // as a restart does it: closed with the host's request in flight
  }
  done = true;
  host.join();
  EXPECT_EQ(camera.start(), S_OK) << "the device opens again afterwards";
  EXPECT_EQ(camera.VenCommand(5), S_OK);
  EXPECT_EQ(camera.stop(), S_OK);
}

// --- Beside a pipe transfer the device never answers
// ----------------------------------------------

constexpr int kBesideMs = 1000;  // a stop's abort and close, or a setter, beside the transfer
constexpr int kEndsMs = 8000;    // past the transports' own bound of five and one seconds
constexpr uint8_t kUnansweredPipe = 3;  // neither the stream's pipe nor the loopback
constexpr uint8_t kAnsweredPipe = 4;
constexpr uint32_t kFramesBeside = 3;
constexpr auto kFramesWithin = std::chrono::seconds(20);  // only ends a pull that gets none

bool Within(int ms, const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

long long MsTaken(const std::function<void()>& act) {
  const auto start = std::chrono::steady_clock::now();
  act();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

// Nothing else would end a call that waits for ever: past kEndsMs the process ends, saying where.
void EndsItself(const char* row, const char* what, const std::function<void()>& act) {
  std::atomic<bool> done{false};
  std::thread thread([&] {
    act();
    done = true;
  });
  if (!Within(kEndsMs, [&] { return done.load(); })) {
    std::fprintf(stderr, "%s: %s never returned\n", row, what);
    std::_Exit(1);
  }
  thread.join();
}

long long StopMs(BaseImpl& camera, const char* row) {
  return MsTaken([&] { EndsItself(row, "stop", [&] { EXPECT_EQ(camera.stop(), S_OK); }); });
}

// The stream runs at its smallest size: a sanitised build converts a full-size frame in about
// half a second, a quarter of that here.
HRESULT StartSmallest(BaseImpl& camera) {
  const HRESULT size = camera.put_eSize(camera.model()->previewCount - 1);
  return FAILED(size) ? size : camera.start();
}

// Frames the device sends after the transfer began reach the host. What makes this more than a
// rate is the caller's check that the transfer still waits afterwards: frames held back until the
// transport's own bound ended it would come only after it stopped waiting. The pin hands frames out
// in the order they came, the host's k-th being the device's k-th sent or a later one, so only
// those pulled past the first `sent` were surely sent after the count began.
void expectSettersAndFrames(BaseImpl& camera, sim::SimCamera& device) {
  const uint32_t sent = device.framesSent();
  uint32_t us = 0;
  ASSERT_EQ(camera.get_ExpoTime(&us), S_OK);
  const long long setters = MsTaken([&] {
    EXPECT_EQ(camera.put_ExpoTime(us + 100), S_OK);
    EXPECT_EQ(camera.put_ExpoAGain(150), S_OK);
  });
  EXPECT_LT(setters, kBesideMs) << "exposure and gain setters";
  const ModelResolution& size = camera.model()->resolutions[camera.model()->previewCount - 1];
  std::vector<uint8_t> frame(size_t{DibRowBytes(24, size.width)} * size.height);
  const uint32_t pulls = sent + kFramesBeside;
  EXPECT_EQ(stream_rig::Puller(camera, kFramesWithin).pull(frame, pulls), pulls) << "frames";
  EXPECT_GE(device.framesSent() - sent, kFramesBeside) << "frames sent after the transfer began";
}

// A host's raw transfer keeps the device open without the device lock: beside one the device never
// answers, the exposure and gain setters return, frames keep coming through the frame thread's
// exposure hand-over, and a stop aborts the transfer's own pipe (an OUT one for a write) and
// closes the device within about a second. A transfer that reaches the device just after the
// close's first abort is ended by the next; one the closing device refuses leaves no count that
// this close or the next would wait for.
TEST(DeviceAccess, AnUnansweredPipeTransferHoldsBackNeitherFramesNorAStop) {
  enum class Beside { Stop, Frames, LateAndRefused };
  const struct {
    const char* name;
    Flavour flavour;
    bool write;
    Beside beside;
  } rows[] = {
      {"kernel, read, stop", Flavour::Kernel, false, Beside::Stop},
      {"winusb, read, stop", Flavour::WinUsb, false, Beside::Stop},
      {"kernel, read, frames", Flavour::Kernel, false, Beside::Frames},
      {"winusb, read, frames", Flavour::WinUsb, false, Beside::Frames},
      {"kernel, write, stop", Flavour::Kernel, true, Beside::Stop},
      {"winusb, write, stop", Flavour::WinUsb, true, Beside::Stop},
      {"kernel, read after the first abort", Flavour::Kernel, false, Beside::LateAndRefused},
      {"winusb, write after the first abort", Flavour::WinUsb, true, Beside::LateAndRefused}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ModelRig rig(RigOptions{.flavour = row.flavour, .realTime = true});
    rig.device().setFramePeriodMs(5);
    ASSERT_NE(rig.open(), nullptr);
    BaseImpl& camera = rig.camera();
    const bool late = row.beside == Beside::LateAndRefused;
    // Not streaming, nothing but the close aborts a pipe.
    const bool frames = row.beside == Beside::Frames;
    ASSERT_EQ(late ? camera.InitUSB() : frames ? StartSmallest(camera) : camera.start(), S_OK);
    rig.device().holdPipe(kUnansweredPipe);
    if (late) rig.device().delayNextHeldTransfer();
    std::atomic<HRESULT> transfer{E_PENDING};
    std::thread host([&] {
      char bytes[16] = {};
      transfer = row.write ? camera.WritePipe(kUnansweredPipe, bytes, sizeof bytes)
                           : camera.ReadPipe(kUnansweredPipe | 0x80, bytes, sizeof bytes);
    });
    EXPECT_TRUE(Within(kBesideMs, [&] { return rig.device().heldPipeTransfers() == 1; }));
    if (frames) expectSettersAndFrames(camera, rig.device());
    EXPECT_EQ(transfer.load(), E_PENDING)
        << "the transfer still waits"
        << (frames ? " after the frames; frames it held back come only once it ends" : "");
    HRESULT refused = E_PENDING;
    std::thread second;
    if (late)  // another transfer, once the close's first abort went out
      second = std::thread([&] {
        (void)Within(kBesideMs, [&] { return rig.device().pipeAborts() > 0; });
        char bytes[16] = {};
        refused = rig.camera().device().WritePipe(kAnsweredPipe, bytes, sizeof bytes);
      });
    EXPECT_LT(StopMs(camera, row.name), kBesideMs) << "stop";
    EndsItself(row.name, "the pipe transfer", [&] { host.join(); });
    if (second.joinable()) second.join();
    EXPECT_EQ(transfer.load(), HRESULT_FROM_WIN32(995)) << "aborted by the stop";
    if (!late) continue;
    EXPECT_EQ(refused, E_UNEXPECTED) << "a transfer after the close began";
    ASSERT_EQ(camera.start(), S_OK);
    EXPECT_LT(StopMs(camera, row.name), kBesideMs) << "the next stop";
  }
}

// With nothing beside it, a write the device never accepts ends at the transport's own bound: its
// OUT pipe is aborted then, as a read's IN pipe is.
TEST(DeviceAccess, AnUnansweredPipeWriteEndsAtItsOwnBound) {
  const struct {
    const char* name;
    Flavour flavour;
    uint32_t boundMs;
  } rows[] = {
      {"kernel, write, nothing beside", Flavour::Kernel, usb::KernelDriverBackend::kIoctlTimeoutMs},
      {"winusb, write, nothing beside", Flavour::WinUsb, usb::WinUsbBackend::kPipeTimeoutMs}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ModelRig rig(RigOptions{.flavour = row.flavour});
    ASSERT_NE(rig.open(), nullptr);
    ASSERT_EQ(rig.camera().InitUSB(), S_OK);
    rig.device().holdPipe(kUnansweredPipe);
    const uint64_t start = rig.clock().now();
    HRESULT transfer = E_PENDING;
    EndsItself(row.name, "the pipe write", [&] {
      char bytes[16] = {};
      transfer = rig.camera().WritePipe(kUnansweredPipe, bytes, sizeof bytes);
    });
    EXPECT_EQ(transfer, HRESULT_FROM_WIN32(995)) << "aborted at the bound";
    EXPECT_EQ(rig.clock().now() - start, row.boundMs);
    EXPECT_EQ(rig.device().heldPipeTransfers(), 0u);
  }
}

// --- Guide port timing -------------------------------------------------------------------------

TEST(DeviceAccess, GuidePulseRunsExactlyItsLengthOnTheDevice) {
  ModelRig rig;
  ASSERT_NE(rig.open(), nullptr);
  ASSERT_EQ(rig.camera().InitUSB(), S_OK);
  const uint64_t start = rig.clock().now();
  ASSERT_EQ(rig.camera().ST4PlusGuide(0, 1000), S_OK);
  const auto pulses = rig.device().guidePulses();
  ASSERT_EQ(pulses.size(), 1u);
  for (const sim::GuidePulse& p : pulses)
    std::printf("device pulse: direction %u, %u ms, from %llu ms\n", p.direction, p.durationMs,
                static_cast<unsigned long long>(p.startMs));
  EXPECT_EQ(pulses[0].direction, 0u);
  EXPECT_EQ(pulses[0].durationMs, 1000u);
  EXPECT_EQ(pulses[0].startMs, start);
  struct Step {
    uint32_t atMs;
    HRESULT state;  // ST4PlusGuideState: 0 while active
    HRESULT query;  // QueryGuideState: 1 while active
  } steps[] = {{500, S_OK, 1}, {999, S_OK, 1}, {1000, S_FALSE, 0}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.atMs);
    Virtual(rig).advance(static_cast<uint32_t>(start + s.atMs - rig.clock().now()));
    EXPECT_EQ(rig.camera().ST4PlusGuideState(), s.state);
    EXPECT_EQ(rig.camera().QueryGuideState(), s.query);
  }
}

}  // namespace
}  // namespace testing_models
