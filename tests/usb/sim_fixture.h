// A simulated camera on a virtual clock, reached through either id form.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "sim/fixed_family.h"
#include "sim/sim_bus.h"
#include "sim/virtual_clock.h"
#include "sim/winusb_sim.h"
#include "usb/ccmos.h"

namespace testing_usb {

enum class Flavour { Kernel, WinUsb };

inline const char* flavourName(const ::testing::TestParamInfo<Flavour>& info) {
  return info.param == Flavour::Kernel ? "Kernel" : "WinUsb";
}

// The USB3 3.1 MP sensor's full 2048 x 1534 window, streaming.
inline constexpr uint32_t kFullWidth = 2048, kFullHeight = 1534;
inline constexpr uint16_t kFullWindowProgram[][2] = {{0x30A2, 1},    {0x30A6, 1}, {0x3004, 134},
                                                     {0x3008, 2181}, {0x3002, 6}, {0x3006, 1539},
                                                     {0x300A, 1560}, {0x3040, 0}, {0x301A, 0x10DE}};

struct SimRig {
  explicit SimRig(Flavour kind, sim::SimConfig config = {},
                  std::unique_ptr<sim::SensorFamily> family = nullptr)
      : flavour(kind) {
    if (!family) family = std::make_unique<sim::FixedFamily>(64, 16);
    camera = bus.add(clock, config, std::move(family));
    clock.observeSleeps([this](uint32_t ms) {
      auto e = sim::Entry(sim::LogKind::Pause, ms);
      e.timeMs = clock.now();
      camera->log().add(std::move(e));
    });
    SetWinUsbApi(&sim::SimWinUsbApi());
  }
  ~SimRig() { SetWinUsbApi(nullptr); }

  WString id() const {
    return flavour == Flavour::Kernel ? camera->kernelId() : camera->interfaceId();
  }

  sim::VirtualClock clock;
  sim::SimBus bus;
  std::shared_ptr<sim::SimCamera> camera;
  Flavour flavour;
};

}  // namespace testing_usb
