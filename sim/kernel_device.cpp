// KernelDevice: the driver's I/O-control table. Everything but a pipe read or a held write finishes
// at once; unknown codes fail with ERROR_INVALID_FUNCTION.
#include "sim/kernel_device.h"

#include <cstring>

#include "usb/ioctl_codes.h"

namespace sim {
namespace {
constexpr uint32_t kBadParameter = 87;

bool u32In(const uint8_t* in, uint32_t inBytes, uint32_t* value) {
  if (!in || inBytes < 4) return false;
  std::memcpy(value, in, 4);
  return true;
}
}  // namespace

uint32_t KernelDevice::ioctl(uint32_t code, const void* in, uint32_t inBytes, void* out,
                             uint32_t outBytes, platform::AsyncIo& io) {
  camera_->recordIoctl(code, in, inBytes);
  if (code == usb::kIoctlReadPipe) {
    uint32_t pipe = 0;
    if (!u32In(static_cast<const uint8_t*>(in), inBytes, &pipe)) return kBadParameter;
    return camera_->submitPipeRead(pipe, out, outBytes, io);
  }
  uint32_t pipe = 0;
  if (code == usb::kIoctlWritePipe && u32In(static_cast<const uint8_t*>(in), inBytes, &pipe) &&
      camera_->holdPipeWrite(pipe, io))
    return platform::kErrorIoPending;
  uint32_t n = 0;
  const uint32_t err = dispatch(code, static_cast<const uint8_t*>(in), inBytes,
                                static_cast<uint8_t*>(out), outBytes, &n);
  io.error = err;
  io.transferred = n;
  platform::SignalAsync(io);
  return err;
}

uint32_t KernelDevice::dispatch(uint32_t code, const uint8_t* in, uint32_t inBytes, uint8_t* out,
                                uint32_t outBytes, uint32_t* n) {
  uint32_t word = 0;
  switch (code) {
    case usb::kIoctlGetDeviceDescriptor:
      return camera_->descriptor(out, outBytes, n);
    case usb::kIoctlResetPort:
      return camera_->resetPort();
    case usb::kIoctlResetPipe:
      return u32In(in, inBytes, &word) ? camera_->resetPipe() : kBadParameter;
    case usb::kIoctlAbortPipe:
      return u32In(in, inBytes, &word) ? camera_->abortPipe() : kBadParameter;
    case usb::kIoctlSelectAltSetting:
      return inBytes >= 2 ? camera_->selectAltSetting() : kBadParameter;
    case usb::kIoctlWritePipe:
      if (!u32In(in, inBytes, &word)) return kBadParameter;
      *n = inBytes - 4;
      return camera_->writePipe(word, in + 4, inBytes - 4);
    case usb::kIoctlVendorRequest: {
      if (!in || inBytes < usb::kVendorHeaderBytes || in[1] != 2) return kBadParameter;
      const Setup setup{in[0] == 1, in[4], static_cast<uint16_t>(in[6] | in[7] << 8),
                        static_cast<uint16_t>(in[8] | in[9] << 8)};
      return camera_->control(setup, out, outBytes, n, false);
    }
    case usb::kIoctlGetDriverState:
      if (outBytes < 4) return kBadParameter;
      *n = 4;
      return camera_->driverState(reinterpret_cast<uint32_t*>(out));
    case usb::kIoctlSetDriverState:
      return u32In(in, inBytes, &word) ? camera_->setDriverState(word) : kBadParameter;
    case usb::kIoctlGetGenFailure:
      if (outBytes < 1) return kBadParameter;
      out[0] = camera_->genFailure();
      *n = 1;
      return 0;
    default:
      return platform::kErrorInvalidFunction;
  }
}

uint32_t KernelDevice::read(void* buffer, uint32_t bytes, platform::AsyncIo& io) {
  return camera_->submitRead(buffer, bytes, io);
}

uint32_t KernelDevice::result(platform::AsyncIo& io, uint32_t* transferred) {
  return camera_->readResult(io, transferred);
}

}  // namespace sim
