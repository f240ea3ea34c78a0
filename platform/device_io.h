// Overlapped device I/O and the WinUSB entry points, so the transport can run on a real device or a
// simulated one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event.h"
#include "platform/types.h"

namespace platform {

// Win32 error codes the transport tests for by value.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorSemTimeout = 121;
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoIncomplete = 996;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorNoAccess = 998;
inline constexpr uint32_t kErrorNotConnected = 1167;

// One overlapped request. On Windows `native` is the OVERLAPPED handed to the OS, which is why it
// comes first; a simulated device fills `error` and `transferred` and signals `event` instead.
struct AsyncIo {
  alignas(8) unsigned char native[32];
  Event* event = nullptr;
  uint32_t error = kErrorIoPending;
  uint32_t transferred = 0;
  // A simulated device calls this instead of signalling `event` when it is set (a driver shim
  // completing its own requests).
  void (*onComplete)(AsyncIo& io) = nullptr;
  void* context = nullptr;
};

// Clears a request for reuse and ties it to a manual-reset event, which it resets.
void PrepareAsync(AsyncIo& io, Event& event);
// How a simulated device reports a finished request: the callback, or else the event.
inline void SignalAsync(AsyncIo& io) {
  if (io.onComplete)
    io.onComplete(io);
  else
    io.event->set();
}

// An open device handle. Every start call returns 0 (done), kErrorIoPending or the error; either
// way a started request signals its event once it completes.
class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  virtual uint32_t ioctl(uint32_t code, const void* in, uint32_t inBytes, void* out,
                         uint32_t outBytes, AsyncIo& io) = 0;
  virtual uint32_t read(void* buffer, uint32_t bytes, AsyncIo& io) = 0;
  // The outcome of a request without waiting: 0 with the byte count, kErrorIoIncomplete, or the
  // error.
  virtual uint32_t result(AsyncIo& io, uint32_t* transferred) = 0;
  virtual void cancel(AsyncIo& io) = 0;
  // The OS handle WinUSB binds to; null on a simulated device.
  virtual void* nativeHandle() const { return nullptr; }
};

// Opens a device path for overlapped read and write, unshared; null with the error on failure.
using DeviceOpener = std::function<std::unique_ptr<DeviceIo>(const WString& path, uint32_t* error)>;
std::unique_ptr<DeviceIo> OpenDevice(const WString& path, uint32_t* error);
// Each platform's own opener; OpenDevice uses it when no test opener is set.
std::unique_ptr<DeviceIo> OsOpenDevice(const WString& path, uint32_t* error);
// Tests route opens to a simulated bus; an empty opener restores the OS one.
void SetDeviceOpener(DeviceOpener opener);

#pragma pack(push, 1)
struct WinUsbSetupPacket {
  uint8_t requestType;
  uint8_t request;
  uint16_t value;
  uint16_t index;
  uint16_t length;
};
#pragma pack(pop)
static_assert(sizeof(WinUsbSetupPacket) == 8);

inline constexpr uint32_t kWinUsbRawIo = 7;  // pipe policy RAW_IO
inline constexpr uint8_t kUsbDeviceDescriptorType = 1;

// The WinUSB entry points the transport uses. Each returns 0 or the Win32 error (ReadPipe and
// WritePipe may give kErrorIoPending); the interface handle is opaque.
struct WinUsbApi {
  uint32_t (*initialize)(DeviceIo& device, void** iface);
  void (*free)(void* iface);
  uint32_t (*getOverlappedResult)(void* iface, AsyncIo& io, uint32_t* transferred);
  uint32_t (*abortPipe)(void* iface, uint8_t pipe);
  uint32_t (*resetPipe)(void* iface, uint8_t pipe);
  uint32_t (*controlTransfer)(void* iface, WinUsbSetupPacket setup, void* data, uint32_t bytes,
                              uint32_t* transferred);
  uint32_t (*readPipe)(void* iface, uint8_t pipe, void* buffer, uint32_t bytes, AsyncIo& io);
  uint32_t (*writePipe)(void* iface, uint8_t pipe, const void* data, uint32_t bytes, AsyncIo& io);
  uint32_t (*setPipePolicy)(void* iface, uint8_t pipe, uint32_t policy, uint32_t bytes,
                            const void* value);
  uint32_t (*getDescriptor)(void* iface, uint8_t type, uint8_t index, uint16_t language,
                            void* buffer, uint32_t bytes, uint32_t* transferred);
};

// WinUsb.dll, loaded and resolved once per process on first use; null where it is missing.
const WinUsbApi* SystemWinUsb();

}  // namespace platform
