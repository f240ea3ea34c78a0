// The injectable device opener shared by both platforms.
#include <mutex>

#include "platform/device_io.h"

namespace platform {

namespace {
std::mutex openerLock;
DeviceOpener& opener() {
  static DeviceOpener current;
  return current;
}
}  // namespace

void SetDeviceOpener(DeviceOpener next) {
  std::lock_guard<std::mutex> hold(openerLock);
  opener() = std::move(next);
}

std::unique_ptr<DeviceIo> OpenDevice(const WString& path, uint32_t* error) {
  DeviceOpener current;
  {
    std::lock_guard<std::mutex> hold(openerLock);
    current = opener();
  }
  uint32_t ignored = 0;
  if (!error) error = &ignored;
  *error = 0;
  return current ? current(path, error) : OsOpenDevice(path, error);
}

void PrepareAsync(AsyncIo& io, Event& event) {
  for (unsigned char& b : io.native) b = 0;
  event.reset();
  io.event = &event;
  io.error = kErrorIoPending;
  io.transferred = 0;
  io.onComplete = nullptr;
  io.context = nullptr;
#ifdef _WIN32
  // OVERLAPPED::hEvent sits after Internal, InternalHigh and the offset union.
  void* handle = event.nativeHandle();
  static_assert(sizeof(io.native) >= 24 + sizeof(void*));
  __builtin_memcpy(io.native + 24, &handle, sizeof handle);
#endif
}

}  // namespace platform
