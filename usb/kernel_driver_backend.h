// The maker's kernel driver: I/O controls and ReadFile on the "\\.\lumorix-<id>" device link.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "usb/usb_backend.h"

namespace usb {

class KernelDriverBackend final : public UsbBackend {
 public:
  explicit KernelDriverBackend(std::unique_ptr<platform::DeviceIo> device);
  // Closes the device, then frees every I/O control the driver has let go of.
  ~KernelDriverBackend() override;

  bool isKernelDriver() const override { return true; }
  uint32_t controlTransfer(const VenReqHeader& header, void* data, uint32_t length,
                           uint32_t* transferred) override;
  uint32_t deviceDescriptor(uint8_t* out, uint32_t bytes, uint32_t* transferred) override;
  uint32_t abortPipe(uint8_t endpoint) override;
  uint32_t resetPipe(uint8_t endpoint) override;
  uint32_t startRead(uint8_t endpoint, void* buffer, uint32_t bytes,
                     platform::AsyncIo& io) override;
  uint32_t readResult(platform::AsyncIo& io, uint32_t* transferred) override;
  uint32_t resetPort() override;
  uint32_t selectAltSetting() override;
  uint32_t driverState(uint32_t* state) override;
  uint32_t setDriverState() override;
  uint32_t genFailureByte(uint8_t* failed) override;
  uint32_t readPipe(uint32_t pipe, void* buffer, uint32_t bytes, uint32_t* transferred) override;
  uint32_t writePipe(uint32_t pipe, const void* data, uint32_t bytes,
                     uint32_t* transferred) override;

  // How long one I/O control may take before it is cancelled, and how long the cancel may take.
  static constexpr uint32_t kIoctlTimeoutMs = 5000;
  static constexpr uint32_t kCancelTimeoutMs = 1000;

 private:
  struct Request;
  uint32_t ioctl(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes,
                 uint32_t* transferred, bool outIsData = false);
  uint32_t finish(Request& request);

  std::unique_ptr<platform::DeviceIo> device_;
  // Holders wait bounded for aborted I/O, no callback: never in a set, no edge in the wait table.
  std::mutex strandedLock_;
  std::vector<std::unique_ptr<Request>> stranded_;  // cancelled but not yet completed
};

}  // namespace usb
