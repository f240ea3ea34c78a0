// SimBus: device paths match case-insensitively, as the system's do.
#include "sim/sim_bus.h"

#include "platform/device_io.h"
#include "sim/kernel_device.h"
#include "sim/winusb_sim.h"

namespace sim {
namespace {
bool samePath(const WString& a, const WString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    WCHAR16 x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<WCHAR16>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<WCHAR16>(y + 32);
    if (x != y) return false;
  }
  return true;
}
}  // namespace

SimBus::SimBus() {
  platform::SetDeviceOpener(
      [this](const WString& path, uint32_t* error) { return open(path, error); });
}

SimBus::~SimBus() {
  platform::SetDeviceOpener(nullptr);
}

std::shared_ptr<SimCamera> SimBus::add(Clock& clock, SimConfig config,
                                       std::unique_ptr<SensorFamily> family) {
  auto camera = std::make_shared<SimCamera>(clock, config, std::move(family));
  std::lock_guard<std::mutex> hold(lock_);
  cameras_.push_back(camera);
  return camera;
}

void SimBus::remove(const std::shared_ptr<SimCamera>& camera) {
  std::lock_guard<std::mutex> hold(lock_);
  std::erase(cameras_, camera);
}

std::unique_ptr<platform::DeviceIo> SimBus::open(const WString& path, uint32_t* error) {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto& camera : cameras_) {
    const bool kernel = samePath(path, camera->kernelPath());
    if (!kernel && !samePath(path, camera->winUsbPath())) continue;
    if ((*error = camera->openError())) return nullptr;
    if (kernel) return std::make_unique<KernelDevice>(camera);
    return std::make_unique<InterfaceDevice>(camera);
  }
  *error = platform::kErrorFileNotFound;
  return nullptr;
}

}  // namespace sim
