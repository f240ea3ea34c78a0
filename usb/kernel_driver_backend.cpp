// Each I/O control gets its own overlapped request and a bounded wait: the driver may pend any of
// them, and a request it never finishes must not leave the caller's buffers in its hands.
#include "usb/kernel_driver_backend.h"

#include <cstring>

#include "base/trace.h"
#include "platform/wait_hook.h"
#include "usb/ioctl_codes.h"

namespace usb {

using platform::kErrorIoPending;
using platform::kErrorSuccess;

// Buffers of its own so that a request abandoned after a failed cancel never writes into the
// caller's.
struct KernelDriverBackend::Request {
  platform::Event event{platform::Event::Kind::ManualReset};
  platform::AsyncIo io;
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
};

KernelDriverBackend::KernelDriverBackend(std::unique_ptr<platform::DeviceIo> device)
    : device_(std::move(device)) {}

KernelDriverBackend::~KernelDriverBackend() {
  device_.reset();  // closing ends whatever the driver still holds
  std::lock_guard<std::mutex> hold(strandedLock_);
  for (auto& request : stranded_) {
    if (request->event.wait(kCancelTimeoutMs)) continue;
    ZX_TRACE_ERROR("%s: request still pending at close", "KernelDriverBackend");
    (void)request.release();  // the driver may still write it; never free it under it
  }
}

uint32_t KernelDriverBackend::ioctl(uint32_t code, const void* in, uint32_t inBytes, void* out,
                                    uint32_t outBytes, uint32_t* transferred, bool outIsData) {
  if (transferred) *transferred = 0;
  auto request = std::make_unique<Request>();
  if (!request->event.valid()) return platform::kErrorNotConnected;
  request->in.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inBytes);
  if (outIsData)
    request->out.assign(static_cast<uint8_t*>(out), static_cast<uint8_t*>(out) + outBytes);
  else
    request->out.resize(outBytes);
  platform::PrepareAsync(request->io, request->event);
  uint32_t err =
      device_->ioctl(code, request->in.data(), inBytes, request->out.data(), outBytes, request->io);
  if (err != kErrorSuccess && err != kErrorIoPending) return err;
  err = finish(*request);
  if (err == platform::kErrorSemTimeout) {
    std::lock_guard<std::mutex> hold(strandedLock_);
    stranded_.push_back(std::move(request));
    return err;
  }
  uint32_t n = 0;
  err = device_->result(request->io, &n);
  if (n > outBytes) n = outBytes;
  if (out && n && !outIsData) std::memcpy(out, request->out.data(), n);
  if (transferred) *transferred = n;
  return err;
}

// Waits within the bound, cancels once, and reports a request that outlives both as timed out.
uint32_t KernelDriverBackend::finish(Request& request) {
  platform::Event* one[] = {&request.event};
  if (platform::HookedWaitAny(one, kIoctlTimeoutMs).signalled()) return kErrorSuccess;
  device_->cancel(request.io);
  if (platform::HookedWaitAny(one, kCancelTimeoutMs).signalled()) return kErrorSuccess;
  ZX_TRACE_ERROR("%s: request abandoned", "KernelDriverBackend");
  return platform::kErrorSemTimeout;
}

uint32_t KernelDriverBackend::controlTransfer(const VenReqHeader& header, void* data,
                                              uint32_t length, uint32_t* transferred) {
  const uint8_t wire[kVendorHeaderBytes] = {static_cast<uint8_t>(header.direction),
                                            2,
                                            0,
                                            0,
                                            header.bRequest,
                                            0,
                                            static_cast<uint8_t>(header.wValue),
                                            static_cast<uint8_t>(header.wValue >> 8),
                                            static_cast<uint8_t>(header.wIndex),
                                            static_cast<uint8_t>(header.wIndex >> 8)};
  // OUT data travels in the output buffer too: the driver reads it from there.
  return ioctl(kIoctlVendorRequest, wire, sizeof wire, data, data ? length : 0, transferred,
               header.direction == Direction::Out);
}

uint32_t KernelDriverBackend::deviceDescriptor(uint8_t* out, uint32_t bytes,
                                               uint32_t* transferred) {
  return ioctl(kIoctlGetDeviceDescriptor, nullptr, 0, out, bytes, transferred);
}

uint32_t KernelDriverBackend::abortPipe(uint8_t) {
  const uint32_t zero = 0;
  return ioctl(kIoctlAbortPipe, &zero, sizeof zero, nullptr, 0, nullptr);
}

// The driver takes the endpoint's number.
uint32_t KernelDriverBackend::resetPipe(uint8_t endpoint) {
  const uint32_t ep = endpoint & ~kEndpointIn;
  return ioctl(kIoctlResetPipe, &ep, sizeof ep, nullptr, 0, nullptr);
}

uint32_t KernelDriverBackend::startRead(uint8_t, void* buffer, uint32_t bytes,
                                        platform::AsyncIo& io) {
  return device_->read(buffer, bytes, io);
}

uint32_t KernelDriverBackend::readResult(platform::AsyncIo& io, uint32_t* transferred) {
  return device_->result(io, transferred);
}

uint32_t KernelDriverBackend::resetPort() {
  return ioctl(kIoctlResetPort, nullptr, 0, nullptr, 0, nullptr);
}

uint32_t KernelDriverBackend::selectAltSetting() {
  const uint8_t setting[2] = {0, 1};
  return ioctl(kIoctlSelectAltSetting, setting, sizeof setting, nullptr, 0, nullptr);
}

uint32_t KernelDriverBackend::driverState(uint32_t* state) {
  uint32_t value = 0, n = 0;
  const uint32_t err = ioctl(kIoctlGetDriverState, nullptr, 0, &value, sizeof value, &n);
  if (err == kErrorSuccess && n != sizeof value) return platform::kErrorInvalidFunction;
  *state = value;
  return err;
}

uint32_t KernelDriverBackend::setDriverState() {
  const uint32_t one = 1;
  return ioctl(kIoctlSetDriverState, &one, sizeof one, nullptr, 0, nullptr);
}

uint32_t KernelDriverBackend::genFailureByte(uint8_t* failed) {
  uint8_t value = 0;
  uint32_t n = 0;
  const uint32_t err = ioctl(kIoctlGetGenFailure, nullptr, 0, &value, 1, &n);
  *failed = (err == kErrorSuccess && n == 1) ? value : 0;
  return err;
}

uint32_t KernelDriverBackend::readPipe(uint32_t pipe, void* buffer, uint32_t bytes,
                                       uint32_t* transferred) {
  return ioctl(kIoctlReadPipe, &pipe, sizeof pipe, buffer, bytes, transferred);
}

// The driver takes the pipe number followed by the data in its input buffer.
uint32_t KernelDriverBackend::writePipe(uint32_t pipe, const void* data, uint32_t bytes,
                                        uint32_t* transferred) {
  std::vector<uint8_t> in(sizeof pipe + bytes);
  std::memcpy(in.data(), &pipe, sizeof pipe);
  if (bytes) std::memcpy(in.data() + sizeof pipe, data, bytes);
  uint32_t n = 0;
  const uint32_t err =
      ioctl(kIoctlWritePipe, in.data(), static_cast<uint32_t>(in.size()), nullptr, 0, &n);
  if (transferred) *transferred = err == kErrorSuccess ? bytes : 0;
  return err;
}

}  // namespace usb
