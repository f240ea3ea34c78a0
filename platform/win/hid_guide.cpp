// The system's guide adapter: SetupAPI interface walks through the device directory, the device
// opened with CreateFileW, and the HID report calls bound from "hid.dll" at run time.
#include <windows.h>

#include <memory>

#include "platform/device_directory.h"
#include "platform/dynlib.h"
#include "platform/hid_guide.h"

namespace platform {

namespace {

using SetReport = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);
using GetReport = BOOLEAN(WINAPI*)(HANDLE, PVOID, ULONG);
using GetHidGuid = void(WINAPI*)(GUID*);

constexpr const WCHAR16* kHidLibrary = ZX_W("hid.dll");

class SystemHidDevice final : public HidGuideDevice {
 public:
  SystemHidDevice(HANDLE device, std::unique_ptr<DynamicLibrary> hid, SetReport set, GetReport get)
      : device_(device), hid_(std::move(hid)), set_(set), get_(get) {}
  ~SystemHidDevice() override { CloseHandle(device_); }
  bool setOutputReport(const uint8_t* report, uint32_t bytes) override {
    return set_(device_, const_cast<uint8_t*>(report), bytes) != FALSE;
  }
  bool getInputReport(uint8_t* report, uint32_t bytes) override {
    return get_(device_, report, bytes) != FALSE;
  }

 private:
  HANDLE device_;
  std::unique_ptr<DynamicLibrary> hid_;
  SetReport set_;
  GetReport get_;
};

class SystemHidGuide final : public HidGuideSystem {
 public:
  std::vector<WString> candidatePaths(const GUID& adapterClass) override {
    std::vector<WString> paths = CurrentDeviceDirectory().InterfacePaths(adapterClass);
    // Reports go only through a HID interface: search the class the HID library names too.
    DynamicLibrary hid;
    if (!hid.open(kHidLibrary)) return paths;
    auto hidGuid = reinterpret_cast<GetHidGuid>(hid.symbol("HidD_GetHidGuid"));
    if (!hidGuid) return paths;
    GUID hidClass{};
    hidGuid(&hidClass);
    for (WString& path : CurrentDeviceDirectory().InterfacePaths(hidClass))
      paths.push_back(std::move(path));
    return paths;
  }

  std::unique_ptr<HidGuideDevice> open(const WString& path) override {
    HANDLE device = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return nullptr;
    auto hid = std::make_unique<DynamicLibrary>();
    SetReport set = nullptr;
    GetReport get = nullptr;
    if (hid->open(kHidLibrary)) {
      set = reinterpret_cast<SetReport>(hid->symbol("HidD_SetOutputReport"));
      get = reinterpret_cast<GetReport>(hid->symbol("HidD_GetInputReport"));
    }
    if (!set || !get) {
      CloseHandle(device);
      return nullptr;
    }
    return std::make_unique<SystemHidDevice>(device, std::move(hid), set, get);
  }
};

}  // namespace

HidGuideSystem& OsHidGuide() {
  static SystemHidGuide system;
  return system;
}

}  // namespace platform
