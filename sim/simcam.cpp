// simcam: opens a simulated 3.1 MP camera through the real transport, grabs frames, prints
// checksums and the device log.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_bus.h"
#include "sim/usb3_31mp_family.h"
#include "sim/virtual_clock.h"
#include "sim/winusb_sim.h"
#include "usb/ccmos.h"

namespace {

struct RegisterWrite {
  uint16_t reg, value;
};
// The full-resolution window program, streaming on at the end.
constexpr RegisterWrite kFullWindow[] = {{0x30A2, 1},    {0x30A6, 1}, {0x3004, 134},
                                         {0x3008, 2181}, {0x3002, 6}, {0x3006, 1539},
                                         {0x300A, 1560}, {0x3040, 0}, {0x301A, 0x10DE}};

uint32_t fnv1a(const uint8_t* data, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

int usage() {
  std::fprintf(stderr, "usage: simcam [--frames N] [--log] [--winusb] [--revision R]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t frames = 3, revision = 3;
  bool showLog = false, winUsb = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--frames" && i + 1 < argc)
      frames = static_cast<uint32_t>(std::stoul(argv[++i]));
    else if (arg == "--revision" && i + 1 < argc)
      revision = static_cast<uint32_t>(std::stoul(argv[++i]));
    else if (arg == "--log")
      showLog = true;
    else if (arg == "--winusb")
      winUsb = true;
    else
      return usage();
  }
  sim::VirtualClock clock;
  sim::SimBus bus;
  sim::SimConfig config;
  config.bcdDevice = static_cast<uint16_t>(revision);
  auto camera = bus.add(clock, config, std::make_unique<sim::Usb3Mp31Family>());
  clock.observeSleeps([&](uint32_t ms) {
    auto e = sim::Entry(sim::LogKind::Pause, ms);
    e.timeMs = clock.now();
    camera->log().add(std::move(e));
  });
  SetWinUsbApi(&sim::SimWinUsbApi());
  const WString id = winUsb ? camera->interfaceId() : camera->kernelId();
  constexpr uint32_t kWidth = 2048, kHeight = 1534;
  CCmos usb(kWidth * 128, 2, nullptr, id.c_str());
  if (FAILED(usb.bInitUSB(true))) return std::fprintf(stderr, "simcam: open failed\n"), 1;
  for (const RegisterWrite& w : kFullWindow) usb.bWriteSensor(w.reg, w.value);
  const uint32_t frameBytes = kWidth * kHeight + (usb.revision() >= 3 ? 1 : 0);
  std::vector<uint8_t> frame(frameBytes);
  int rc = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    const int32_t r =
        usb.EzusbGrabFrame(frame.data(), nullptr, kWidth * 128, frameBytes, 5000, 0, nullptr);
    std::printf("frame %u: result %d, counter %u, checksum %08x\n", i, r, frame[0] | frame[1] << 8,
                fnv1a(frame.data(), frame.size()));
    if (r != 1) rc = 1;
  }
  usb.bFiniUSB();
  SetWinUsbApi(nullptr);
  if (showLog) std::fputs(camera->log().format().c_str(), stdout);
  return rc;
}
