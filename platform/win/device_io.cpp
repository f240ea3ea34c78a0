// Win32 device I/O: an overlapped CreateFileW handle, and WinUsb.dll resolved at run time.
#include <windows.h>
#include <winusb.h>

#include <cstring>
#include <mutex>

#include "platform/device_io.h"

namespace platform {
namespace {

static_assert(sizeof(OVERLAPPED) <= sizeof(AsyncIo::native));
static_assert(offsetof(OVERLAPPED, hEvent) == 24);

OVERLAPPED* overlapped(AsyncIo& io) {
  return reinterpret_cast<OVERLAPPED*>(io.native);
}

uint32_t started(BOOL ok) {
  if (ok) return kErrorSuccess;
  const DWORD err = GetLastError();
  return err ? err : kErrorInvalidFunction;
}

class Win32Device final : public DeviceIo {
 public:
  explicit Win32Device(HANDLE handle) : handle_(handle) {}
  ~Win32Device() override { CloseHandle(handle_); }

  uint32_t ioctl(uint32_t code, const void* in, uint32_t inBytes, void* out, uint32_t outBytes,
                 AsyncIo& io) override {
    DWORD n = 0;
    return started(DeviceIoControl(handle_, code, const_cast<void*>(in), inBytes, out, outBytes, &n,
                                   overlapped(io)));
  }
  uint32_t read(void* buffer, uint32_t bytes, AsyncIo& io) override {
    DWORD n = 0;
    return started(ReadFile(handle_, buffer, bytes, &n, overlapped(io)));
  }
  uint32_t result(AsyncIo& io, uint32_t* transferred) override {
    DWORD n = 0;
    const uint32_t err = started(GetOverlappedResult(handle_, overlapped(io), &n, FALSE));
    *transferred = n;
    return err;
  }
  void cancel(AsyncIo& io) override { CancelIoEx(handle_, overlapped(io)); }
  void* nativeHandle() const override { return handle_; }

 private:
  HANDLE handle_;
};

// The resolved entry points; the table below adapts them to the portable shape.
struct WinUsbEntries {
  decltype(&WinUsb_Initialize) initialize;
  decltype(&WinUsb_Free) free;
  decltype(&WinUsb_GetOverlappedResult) getOverlappedResult;
  decltype(&WinUsb_AbortPipe) abortPipe;
  decltype(&WinUsb_ResetPipe) resetPipe;
  decltype(&WinUsb_ControlTransfer) controlTransfer;
  decltype(&WinUsb_ReadPipe) readPipe;
  decltype(&WinUsb_WritePipe) writePipe;
  decltype(&WinUsb_SetPipePolicy) setPipePolicy;
  decltype(&WinUsb_GetDescriptor) getDescriptor;
} entries;

template <typename F>
bool resolve(HMODULE module, const char* name, F& slot) {
  slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
}

bool loadEntries() {
  HMODULE module = LoadLibraryW(L"WinUsb.dll");  // kept for the life of the process
  if (!module) return false;
  // Looked up like the others but not needed by the transport.
  (void)GetProcAddress(module, "WinUsb_QueryDeviceInformation");
  return resolve(module, "WinUsb_Initialize", entries.initialize) &&
         resolve(module, "WinUsb_Free", entries.free) &&
         resolve(module, "WinUsb_GetOverlappedResult", entries.getOverlappedResult) &&
         resolve(module, "WinUsb_AbortPipe", entries.abortPipe) &&
         resolve(module, "WinUsb_ResetPipe", entries.resetPipe) &&
         resolve(module, "WinUsb_ControlTransfer", entries.controlTransfer) &&
         resolve(module, "WinUsb_ReadPipe", entries.readPipe) &&
         resolve(module, "WinUsb_WritePipe", entries.writePipe) &&
         resolve(module, "WinUsb_SetPipePolicy", entries.setPipePolicy) &&
         resolve(module, "WinUsb_GetDescriptor", entries.getDescriptor);
}

const WinUsbApi systemTable = {
    [](DeviceIo& device, void** iface) {
      WINUSB_INTERFACE_HANDLE h = nullptr;
      const uint32_t err = started(entries.initialize(device.nativeHandle(), &h));
      *iface = h;
      return err;
    },
    [](void* iface) { entries.free(iface); },
    [](void* iface, AsyncIo& io, uint32_t* transferred) {
      ULONG n = 0;
      const uint32_t err = started(entries.getOverlappedResult(iface, overlapped(io), &n, FALSE));
      *transferred = n;
      return err;
    },
    [](void* iface, uint8_t pipe) { return started(entries.abortPipe(iface, pipe)); },
    [](void* iface, uint8_t pipe) { return started(entries.resetPipe(iface, pipe)); },
    [](void* iface, WinUsbSetupPacket setup, void* data, uint32_t bytes, uint32_t* transferred) {
      WINUSB_SETUP_PACKET packet;
      std::memcpy(&packet, &setup, sizeof packet);
      ULONG n = 0;
      const uint32_t err = started(
          entries.controlTransfer(iface, packet, static_cast<PUCHAR>(data), bytes, &n, nullptr));
      if (transferred) *transferred = n;
      return err;
    },
    [](void* iface, uint8_t pipe, void* buffer, uint32_t bytes, AsyncIo& io) {
      return started(entries.readPipe(iface, pipe, static_cast<PUCHAR>(buffer), bytes, nullptr,
                                      overlapped(io)));
    },
    [](void* iface, uint8_t pipe, const void* data, uint32_t bytes, AsyncIo& io) {
      return started(entries.writePipe(iface, pipe, static_cast<PUCHAR>(const_cast<void*>(data)),
                                       bytes, nullptr, overlapped(io)));
    },
    [](void* iface, uint8_t pipe, uint32_t policy, uint32_t bytes, const void* value) {
      return started(entries.setPipePolicy(iface, pipe, policy, bytes, const_cast<void*>(value)));
    },
    [](void* iface, uint8_t type, uint8_t index, uint16_t language, void* buffer, uint32_t bytes,
       uint32_t* transferred) {
      ULONG n = 0;
      const uint32_t err = started(entries.getDescriptor(iface, type, index, language,
                                                         static_cast<PUCHAR>(buffer), bytes, &n));
      if (transferred) *transferred = n;
      return err;
    },
};

}  // namespace

std::unique_ptr<DeviceIo> OsOpenDevice(const WString& path, uint32_t* error) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = started(FALSE);
    return nullptr;
  }
  return std::make_unique<Win32Device>(h);
}

const WinUsbApi* SystemWinUsb() {
  static std::once_flag once;
  static bool loaded = false;
  std::call_once(once, [] { loaded = loadEntries(); });
  return loaded ? &systemTable : nullptr;
}

}  // namespace platform
