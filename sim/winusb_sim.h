// The WinUSB flavour of a simulated camera: a device-interface handle and a WinUsbApi table over
// it.
#pragma once

#include <memory>

#include "platform/device_io.h"
#include "sim/sim_camera.h"

namespace sim {

// What an open device-interface path gives: WinUSB binds to it, nothing else works on it.
class InterfaceDevice final : public platform::DeviceIo {
 public:
  explicit InterfaceDevice(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
  ~InterfaceDevice() override { camera_->closed(); }

  uint32_t ioctl(uint32_t, const void*, uint32_t, void*, uint32_t, platform::AsyncIo&) override {
    return platform::kErrorInvalidFunction;
  }
  uint32_t read(void*, uint32_t, platform::AsyncIo&) override {
    return platform::kErrorInvalidFunction;
  }
  uint32_t result(platform::AsyncIo&, uint32_t*) override {
    return platform::kErrorInvalidFunction;
  }
  void cancel(platform::AsyncIo&) override {}
  const std::shared_ptr<SimCamera>& camera() const { return camera_; }

 private:
  std::shared_ptr<SimCamera> camera_;
};

// The table's entry points; interface handles it hands out belong to simulated cameras only.
const platform::WinUsbApi& SimWinUsbApi();

}  // namespace sim
