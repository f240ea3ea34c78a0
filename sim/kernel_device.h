// The kernel-driver flavour of a simulated camera: its device link answers the driver's I/O
// controls.
#pragma once

#include <memory>

#include "platform/device_io.h"
#include "sim/sim_camera.h"

namespace sim {

class KernelDevice final : public platform::DeviceIo {
 public:
  explicit KernelDevice(std::shared_ptr<SimCamera> camera) : camera_(std::move(camera)) {}
  ~KernelDevice() override { camera_->closed(); }

  uint32_t ioctl(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes,
                 platform::AsyncIo& io) override;
  uint32_t read(void* buffer, uint32_t bytes, platform::AsyncIo& io) override;
  uint32_t result(platform::AsyncIo& io, uint32_t* transferred) override;
  void cancel(platform::AsyncIo& io) override { camera_->cancelRead(io); }

 private:
  uint32_t dispatch(uint32_t code, const uint8_t* in, uint32_t inBytes, uint8_t* out,
                    uint32_t outBytes, uint32_t* transferred);

  std::shared_ptr<SimCamera> camera_;
};

}  // namespace sim
