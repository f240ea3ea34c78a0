// One open camera device as the transport drives it: control transfers, pipe operations and bulk
// reads.
#pragma once

#include <cstdint>

#include "platform/device_io.h"
#include "usb/vendor_requests.h"

namespace usb {

inline constexpr uint8_t kEndpointIn = 0x80;  // the direction bit of an endpoint address

// The endpoint a raw transfer of a pipe number uses: a read always the IN one.
inline uint8_t ReadEndpoint(uint32_t pipe) {
  return static_cast<uint8_t>(pipe | kEndpointIn);
}
inline uint8_t WriteEndpoint(uint32_t pipe) {
  return static_cast<uint8_t>(pipe);
}

// Every operation returns 0 or a Win32 error; operations a back-end lacks give
// ERROR_INVALID_FUNCTION and the transport never calls them there.
class UsbBackend {
 public:
  virtual ~UsbBackend() = default;
  virtual bool isKernelDriver() const = 0;

  virtual uint32_t controlTransfer(const VenReqHeader& header, void* data, uint32_t length,
                                   uint32_t* transferred) = 0;
  virtual uint32_t deviceDescriptor(uint8_t* out, uint32_t bytes, uint32_t* transferred) = 0;
  // `endpoint` is the pipe's address, the direction bit included: an OUT pipe is aborted too.
  virtual uint32_t abortPipe(uint8_t endpoint) = 0;
  virtual uint32_t resetPipe(uint8_t endpoint) = 0;
  // `endpoint` is the stream's IN pipe number.
  virtual uint32_t startRead(uint8_t endpoint, void* buffer, uint32_t bytes,
                             platform::AsyncIo& io) = 0;
  virtual uint32_t readResult(platform::AsyncIo& io, uint32_t* transferred) = 0;

  virtual uint32_t resetPort() { return platform::kErrorInvalidFunction; }
  virtual uint32_t selectAltSetting() { return platform::kErrorInvalidFunction; }
  virtual uint32_t driverState(uint32_t* state) { return platform::kErrorInvalidFunction; }
  virtual uint32_t setDriverState() { return platform::kErrorInvalidFunction; }
  virtual uint32_t genFailureByte(uint8_t* failed) { return platform::kErrorInvalidFunction; }
  // One raw transfer on a pipe, finished or cancelled within the back-end's bound.
  virtual uint32_t readPipe(uint32_t pipe, void* buffer, uint32_t bytes, uint32_t* transferred) {
    return platform::kErrorInvalidFunction;
  }
  virtual uint32_t writePipe(uint32_t pipe, const void* data, uint32_t bytes,
                             uint32_t* transferred) {
    return platform::kErrorInvalidFunction;
  }
};

}  // namespace usb
