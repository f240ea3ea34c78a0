// WinUSB back-end; a control transfer refused for buffer access is repeated once through an aligned
// copy.
#include "usb/winusb_backend.h"

#include <cstring>

#include "platform/aligned_buffer.h"
#include "platform/wait_hook.h"

namespace usb {

using platform::kErrorSuccess;

// A raw pipe transfer with buffers of its own, so that one the device keeps is never the caller's.
struct WinUsbBackend::PipeTransfer {
  platform::Event event{platform::Event::Kind::ManualReset};
  platform::AsyncIo io;
  std::vector<uint8_t> data;
};

std::unique_ptr<WinUsbBackend> WinUsbBackend::bind(std::unique_ptr<platform::DeviceIo>& device,
                                                   const platform::WinUsbApi& api,
                                                   uint32_t* error) {
  void* iface = nullptr;
  *error = api.initialize(*device, &iface);
  if (*error != kErrorSuccess) return nullptr;
  return std::unique_ptr<WinUsbBackend>(new WinUsbBackend(std::move(device), api, iface));
}

WinUsbBackend::WinUsbBackend(std::unique_ptr<platform::DeviceIo> device,
                             const platform::WinUsbApi& api, void* iface)
    : device_(std::move(device)), api_(api), iface_(iface) {}

WinUsbBackend::~WinUsbBackend() {
  api_.free(iface_);
  device_.reset();  // closing ends whatever the device still holds
  std::lock_guard<std::mutex> hold(strandedLock_);
  for (auto& request : stranded_) {
    if (request->event.wait(kAbortTimeoutMs)) continue;
    (void)request.release();  // the device may still use it; never free it under it
  }
}

uint32_t WinUsbBackend::controlTransfer(const VenReqHeader& header, void* data, uint32_t length,
                                        uint32_t* transferred) {
  const platform::WinUsbSetupPacket setup = {
      static_cast<uint8_t>(header.direction == Direction::In ? 0xC0 : 0x40), header.bRequest,
      header.wValue, header.wIndex, static_cast<uint16_t>(length)};
  uint32_t n = 0;
  uint32_t err = api_.controlTransfer(iface_, setup, data, length, &n);
  if (err == platform::kErrorNoAccess && data) err = retryAligned(setup, data, length, &n);
  if (transferred) *transferred = n;
  return err;
}

uint32_t WinUsbBackend::retryAligned(platform::WinUsbSetupPacket setup, void* data, uint32_t length,
                                     uint32_t* transferred) {
  platform::AlignedBuffer aligned;
  if (!aligned.allocate(length ? length : 1u, 16)) return platform::kErrorNoAccess;
  const bool in = setup.requestType & 0x80;
  if (!in) std::memcpy(aligned.data(), data, length);
  uint32_t n = 0;
  const uint32_t err = api_.controlTransfer(iface_, setup, aligned.data(), length, &n);
  if (n > length) n = length;
  if (in && err == kErrorSuccess) std::memcpy(data, aligned.data(), n);
  *transferred = n;
  return err;
}

uint32_t WinUsbBackend::deviceDescriptor(uint8_t* out, uint32_t bytes, uint32_t* transferred) {
  return api_.getDescriptor(iface_, platform::kUsbDeviceDescriptorType, 0, 0, out, bytes,
                            transferred);
}

uint32_t WinUsbBackend::abortPipe(uint8_t endpoint) {
  return api_.abortPipe(iface_, endpoint);
}

uint32_t WinUsbBackend::resetPipe(uint8_t endpoint) {
  return api_.resetPipe(iface_, endpoint);
}

uint32_t WinUsbBackend::startRead(uint8_t endpoint, void* buffer, uint32_t bytes,
                                  platform::AsyncIo& io) {
  return api_.readPipe(iface_, ReadEndpoint(endpoint), buffer, bytes, io);
}

uint32_t WinUsbBackend::readResult(platform::AsyncIo& io, uint32_t* transferred) {
  return api_.getOverlappedResult(iface_, io, transferred);
}

uint32_t WinUsbBackend::setRawIo(uint8_t endpoint) {
  const uint8_t on = 1;
  return api_.setPipePolicy(iface_, ReadEndpoint(endpoint), platform::kWinUsbRawIo, 1, &on);
}

uint32_t WinUsbBackend::readPipe(uint32_t pipe, void* buffer, uint32_t bytes,
                                 uint32_t* transferred) {
  *transferred = 0;
  const uint8_t id = ReadEndpoint(pipe);
  auto request = std::make_unique<PipeTransfer>();
  if (!request->event.valid()) return platform::kErrorNotConnected;
  request->data.resize(bytes);
  platform::PrepareAsync(request->io, request->event);
  uint32_t err = api_.readPipe(iface_, id, request->data.data(), bytes, request->io);
  if (err != kErrorSuccess && err != platform::kErrorIoPending) return err;
  uint32_t n = 0;
  err = finish(request, id, &n);
  if (err != kErrorSuccess) return err;
  if (n > bytes) n = bytes;
  if (n) std::memcpy(buffer, request->data.data(), n);
  *transferred = n;
  return err;
}

uint32_t WinUsbBackend::writePipe(uint32_t pipe, const void* data, uint32_t bytes,
                                  uint32_t* transferred) {
  if (transferred) *transferred = 0;
  const uint8_t id = WriteEndpoint(pipe);
  auto request = std::make_unique<PipeTransfer>();
  if (!request->event.valid()) return platform::kErrorNotConnected;
  const auto* from = static_cast<const uint8_t*>(data);
  if (bytes) request->data.assign(from, from + bytes);
  platform::PrepareAsync(request->io, request->event);
  uint32_t err = api_.writePipe(iface_, id, request->data.data(), bytes, request->io);
  if (err != kErrorSuccess && err != platform::kErrorIoPending) return err;
  uint32_t n = 0;
  err = finish(request, id, &n);
  if (transferred && err == kErrorSuccess) *transferred = n > bytes ? bytes : n;
  return err;
}

// Waits for a started transfer within the bound and aborts its own pipe once; a request the device
// keeps past the abort is stranded, to be freed with the interface, and reported as timed out.
uint32_t WinUsbBackend::finish(std::unique_ptr<PipeTransfer>& request, uint8_t endpoint,
                               uint32_t* transferred) {
  platform::Event* one[] = {&request->event};
  if (!platform::HookedWaitAny(one, kPipeTimeoutMs).signalled()) {
    api_.abortPipe(iface_, endpoint);
    if (!platform::HookedWaitAny(one, kAbortTimeoutMs).signalled()) {
      std::lock_guard<std::mutex> hold(strandedLock_);  // hosts use pipes from any thread
      stranded_.push_back(std::move(request));
      return platform::kErrorSemTimeout;
    }
  }
  return api_.getOverlappedResult(iface_, request->io, transferred);
}

}  // namespace usb
