// POSIX has no camera devices of its own: opens fail unless a simulated bus is installed.
#include "platform/device_io.h"

namespace platform {

std::unique_ptr<DeviceIo> OsOpenDevice(const WString&, uint32_t* error) {
  *error = kErrorFileNotFound;
  return nullptr;
}

const WinUsbApi* SystemWinUsb() {
  return nullptr;
}

}  // namespace platform
