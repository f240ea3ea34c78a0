// WinUSB: control and raw pipe transfers through a WinUsbApi table on a device-interface path.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "usb/usb_backend.h"

namespace usb {

class WinUsbBackend final : public UsbBackend {
 public:
  // Takes the device only when WinUSB binds to it; `error` tells why not.
  static std::unique_ptr<WinUsbBackend> bind(std::unique_ptr<platform::DeviceIo>& device,
                                             const platform::WinUsbApi& api, uint32_t* error);
  ~WinUsbBackend() override;

  bool isKernelDriver() const override { return false; }
  uint32_t controlTransfer(const VenReqHeader& header, void* data, uint32_t length,
                           uint32_t* transferred) override;
  uint32_t deviceDescriptor(uint8_t* out, uint32_t bytes, uint32_t* transferred) override;
  uint32_t abortPipe(uint8_t endpoint) override;
  uint32_t resetPipe(uint8_t endpoint) override;
  uint32_t startRead(uint8_t endpoint, void* buffer, uint32_t bytes,
                     platform::AsyncIo& io) override;
  uint32_t readResult(platform::AsyncIo& io, uint32_t* transferred) override;
  uint32_t readPipe(uint32_t pipe, void* buffer, uint32_t bytes, uint32_t* transferred) override;
  uint32_t writePipe(uint32_t pipe, const void* data, uint32_t bytes,
                     uint32_t* transferred) override;
  uint32_t setRawIo(uint8_t endpoint);

  // How long a raw pipe transfer may take before it is aborted, and how long the abort may take.
  static constexpr uint32_t kPipeTimeoutMs = 5000;
  static constexpr uint32_t kAbortTimeoutMs = 1000;

 private:
  WinUsbBackend(std::unique_ptr<platform::DeviceIo> device, const platform::WinUsbApi& api,
                void* iface);
  uint32_t retryAligned(platform::WinUsbSetupPacket setup, void* data, uint32_t length,
                        uint32_t* transferred);
  struct PipeTransfer;
  uint32_t finish(std::unique_ptr<PipeTransfer>& request, uint8_t endpoint, uint32_t* transferred);

  std::unique_ptr<platform::DeviceIo> device_;
  const platform::WinUsbApi& api_;
  void* iface_;
  // Holders wait bounded for aborted I/O, no callback: never in a set, no edge in the wait table.
  std::mutex strandedLock_;
  std::vector<std::unique_ptr<PipeTransfer>> stranded_;  // raw transfers kept past the abort
};

}  // namespace usb
