// The kernel-driver back-end end to end under Wine, against the driver shim hosting a simulated
// camera.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "sim/eeprom_image.h"
#include "sim/family_catalogue.h"
#include "sim/frame_content.h"
#include "sim/sensor_family.h"
#include "sim/usb3_31mp_family.h"
#include "sim/wine/shim_client.h"
#include "tests/usb/sim_fixture.h"
#include "usb/ccmos.h"

namespace {

constexpr uint32_t kWidth = 2048, kHeight = 1534, kBlock = kWidth * 128;
constexpr uint32_t kFrameBytes = kWidth * kHeight + 1;  // revision 3 adds one trailer byte

void startFullWindow(CCmos& usb) {
  for (auto& w : testing_usb::kFullWindowProgram) ASSERT_EQ(usb.bWriteSensor(w[0], w[1]), S_OK);
}

// 490 lines of 1000 clocks at the default clock: 10 ms, which shows a scene as it is at 100 %.
void startFullWindowAt10ms(CCmos& usb) {
  ASSERT_EQ(usb.bWriteSensor(0x3012, 490), S_OK);
  ASSERT_EQ(usb.bWriteSensor(0x300C, 1000), S_OK);
  startFullWindow(usb);
}

class SimWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(ShimRunning(L"lumorix-0-c310")) << "run tools/wine-sim-setup first";
  }
  void SetUp() override { ASSERT_EQ(usb.bInitUSB(true), S_OK); }
  void TearDown() override {
    usb.bFiniUSB();
    EXPECT_EQ(ShimCommand("outstanding 0"), "0");
  }
  CCmos usb{kBlock, 2, nullptr, L"0-c310"};
};

TEST_F(SimWine, RevisionAndEeprom) {
  EXPECT_EQ(usb.revision(), 3);
  std::vector<uint8_t> block(0x10000);
  // The host gives each camera its family's lists, one defect each.
  const auto image = sim::EepromImage::OneDefectPerList(sim::FamilyFor(0xC310).eepromLists).build();
  ASSERT_EQ(usb.bEEPROMRead(block.data()), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), block.begin()));
}

TEST_F(SimWine, FiveByteOutPayloadArrivesIntact) {
  ShimCommand("clear 0");
  uint8_t payload[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
  const usb::VenReqHeader h{usb::Direction::Out, 0x33, 7, 9};
  ASSERT_EQ(usb.VenReq(&h, payload, 5, nullptr), S_OK);
  const std::string log = ShimCommand("log 0");
  EXPECT_NE(log.find("code=0x0033 value=0x0007 index=0x0009 OUT  11 22 33 44 55"),
            std::string::npos)
      << log;
}

TEST_F(SimWine, TwentyByteExactFrames) {
  startFullWindow(usb);
  std::vector<uint8_t> frame(kFrameBytes), expected(kFrameBytes, sim::kTrailerByte);
  uint32_t previous = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(usb.EzusbGrabFrame(frame.data(), nullptr, kBlock, kFrameBytes, 5000, 0, nullptr), 1)
        << i;
    const uint32_t counter = frame[0] | frame[1] << 8;
    if (i) {
      EXPECT_EQ(counter, previous + 1);
    }
    previous = counter;
    sim::RenderPattern(expected.data(), kWidth, kHeight, counter);
    EXPECT_TRUE(frame == expected) << i;
  }
}

// The chart comes from the camera list's scene=chart (camera 1) and from the chart verb (camera 0).
TEST_F(SimWine, ChartFromTheCameraListAndTheVerb) {
  std::vector<uint8_t> expected(kFrameBytes, sim::kTrailerByte), frame(kFrameBytes);
  sim::RenderScene(expected.data(), kWidth, kHeight, sim::Usb3Mp31Family::sceneOptions(), 10000,
                   100, 0, sim::ChartColour);
  CCmos listed{kBlock, 2, nullptr, L"1-c310"};
  ASSERT_EQ(listed.bInitUSB(true), S_OK);
  startFullWindowAt10ms(listed);
  ASSERT_EQ(listed.EzusbGrabFrame(frame.data(), nullptr, kBlock, kFrameBytes, 5000, 0, nullptr), 1);
  EXPECT_TRUE(frame == expected);
  listed.bFiniUSB();
  EXPECT_EQ(ShimCommand("outstanding 1"), "0");

  struct PatternAgain {
    ~PatternAgain() { ShimShowPattern(); }
  } restore;
  ASSERT_EQ(ShimCommand("chart 0"), "ok");
  startFullWindowAt10ms(usb);
  ASSERT_EQ(usb.EzusbGrabFrame(frame.data(), nullptr, kBlock, kFrameBytes, 5000, 0, nullptr), 1);
  EXPECT_TRUE(frame == expected);
}

TEST_F(SimWine, StopGivesMinusTwo) {
  usb.bWriteSensor(0x301A, 0x10D8);  // sensor off: reads stay pending
  platform::Event stop;
  std::thread stopper([&] {
    Sleep(100);
    stop.set();
  });
  std::vector<uint8_t> frame(kFrameBytes);
  EXPECT_EQ(usb.EzusbGrabFrame(frame.data(), &stop, kBlock, kFrameBytes, 5000, 0, nullptr), -2);
  stopper.join();
  EXPECT_EQ(ShimCommand("outstanding 0"), "0");
}

TEST_F(SimWine, InjectedGeneralFailureGivesMinusThree) {
  startFullWindow(usb);
  ShimCommand("genfail 0 1");
  ShimCommand("readerror 0 31 1");
  std::vector<uint8_t> frame(kFrameBytes);
  EXPECT_EQ(usb.EzusbGrabFrame(frame.data(), nullptr, kBlock, kFrameBytes, 5000, 0, nullptr), -3);
  ShimCommand("genfail 0 0");
}

TEST_F(SimWine, ClosingWithReadsPendingGives995) {
  usb.bFiniUSB();
  HANDLE h = CreateFileW(L"\\\\.\\lumorix-0-c310", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<uint8_t> buffer(4096);
  ASSERT_FALSE(ReadFile(h, buffer.data(), 4096, nullptr, &ov));  // not streaming: it pends
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  CloseHandle(h);
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, 5000), WAIT_OBJECT_0);
  using ToDos = ULONG(WINAPI*)(LONG);
  auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
  EXPECT_EQ(toDos(static_cast<LONG>(ov.Internal)), 995u);
  CloseHandle(ov.hEvent);
}

// A raw write to pipe 2 comes back on pipe 0x82 through the driver's pipe controls, and the
// guide pulse the device received shows in simctl's record.
TEST_F(SimWine, PipeLoopbackAndGuidePulseThroughTheShim) {
  const char sent[] = "through the shim";
  ASSERT_EQ(usb.WritePipe(2, sent, sizeof sent), static_cast<HRESULT>(sizeof sent));
  EXPECT_EQ(ShimCommand("pipe 0"), "7468726f75676820746865207368696d00");
  char back[64] = {};
  ASSERT_EQ(usb.ReadPipe(0x82, back, sizeof back), static_cast<HRESULT>(sizeof sent));
  EXPECT_STREQ(back, sent);
  EXPECT_EQ(ShimCommand("pipe 0"), "");
  ASSERT_EQ(usb.bST4PulseGuide(0, 300), S_OK);
  const std::string pulses = ShimCommand("st4 0");
  EXPECT_NE(pulses.find("direction=0 ms=300 start="), std::string::npos) << pulses;
}

}  // namespace
