// The grab loop with the simulated camera in real time, its stream served from another thread.
#include <gtest/gtest.h>

#include <thread>

#include "sim/real_time_clock.h"
#include "sim/sim_bus.h"
#include "sim/usb3_31mp_family.h"
#include "sim/winusb_sim.h"
#include "sim_fixture.h"
#include "usb/ccmos.h"

namespace {

constexpr uint32_t kWidth = testing_usb::kFullWidth, kHeight = testing_usb::kFullHeight;

struct RealTimeRig {
  RealTimeRig() {
    sim::SimConfig config;
    config.bcdDevice = 2;
    camera = bus.add(clock, config, std::make_unique<sim::Usb3Mp31Family>());
    camera->setFramePeriodMs(1);
  }
  ~RealTimeRig() { bus.remove(camera); }
  sim::RealTimeClock clock;
  sim::SimBus bus;
  std::shared_ptr<sim::SimCamera> camera;
};

TEST(GrabRealTime, HundredFullFramesWithConsecutiveCounters) {
  RealTimeRig rig;
  CCmos usb(kWidth * 128, 2, nullptr, rig.camera->kernelId().c_str());
  ASSERT_EQ(usb.bInitUSB(true), S_OK);
  for (auto& write : testing_usb::kFullWindowProgram) {
    ASSERT_EQ(usb.bWriteSensor(write[0], write[1]), S_OK);
  }
  std::vector<uint8_t> frame(kWidth * kHeight);
  uint32_t previous = 0;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(
        usb.EzusbGrabFrame(frame.data(), nullptr, kWidth * 128, kWidth * kHeight, 5000, 0, nullptr),
        1)
        << i;
    const uint32_t counter = frame[0] | frame[1] << 8;
    if (i) {
      EXPECT_EQ(counter, previous + 1);
    }
    previous = counter;
    const uint32_t lastRow = kHeight - 1;
    EXPECT_EQ(frame[size_t{lastRow} * kWidth + 2] | frame[size_t{lastRow} * kWidth + 3] << 8,
              lastRow);
  }
  usb.bFiniUSB();
  EXPECT_EQ(rig.camera->outstandingReads(), 0u);
}

TEST(GrabRealTime, StopFromAnotherThread) {
  RealTimeRig rig;
  SetWinUsbApi(&sim::SimWinUsbApi());
  CCmos usb(kWidth * 128, 2, nullptr, rig.camera->interfaceId().c_str());
  ASSERT_EQ(usb.bInitUSB(true), S_OK);  // no window program: the sensor does not stream
  platform::Event stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.set();
  });
  std::vector<uint8_t> frame(kWidth * kHeight);
  EXPECT_EQ(
      usb.EzusbGrabFrame(frame.data(), &stop, kWidth * 128, kWidth * kHeight, 5000, 0, nullptr),
      -2);
  stopper.join();
  EXPECT_EQ(rig.camera->outstandingReads(), 0u);
  usb.bFiniUSB();
  SetWinUsbApi(nullptr);
}

// Raw reads the WinUSB device keeps past their abort, on two threads at once: each is kept until
// the close, which waits for what the device still finishes.
TEST(GrabRealTime, WinUsbReadsKeptPastTheAbortOnTwoThreads) {
  RealTimeRig rig;
  SetWinUsbApi(&sim::SimWinUsbApi());
  CCmos usb(kWidth * 128, 2, nullptr, rig.camera->interfaceId().c_str());
  ASSERT_EQ(usb.bInitUSB(true), S_OK);  // no window program: the sensor sends nothing
  rig.camera->setAbortDelayMs(1500);    // past the back-end's wait for an abort
  HRESULT results[2] = {S_OK, S_OK};
  const auto read = [&](int i) {
    uint8_t buffer[64];
    results[i] = usb.ReadPipe(0x82, buffer, sizeof buffer);
  };
  std::thread first(read, 0), second(read, 1);
  first.join();
  second.join();
  for (const HRESULT hr : results) EXPECT_EQ(hr, HRESULT_FROM_WIN32(platform::kErrorSemTimeout));
  usb.bFiniUSB();
  EXPECT_EQ(rig.camera->outstandingReads(), 0u);
  SetWinUsbApi(nullptr);
}

}  // namespace
