// The system's device directory: DOS device links, SetupAPI interface walks, the OS version.
#include <windows.h>
// SetupAPI needs the Windows types first.
#include <setupapi.h>

#include <cstddef>
#include <memory>

#include "platform/device_directory.h"

namespace platform {

namespace {

// Interface paths beyond this are not device paths anyone can open; a larger size is refused.
constexpr DWORD kMaxDetailPathChars = 4096;

// Owns one SetupAPI device information set.
class DeviceInfoSet {
 public:
  explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
  ~DeviceInfoSet() {
    if (valid()) SetupDiDestroyDeviceInfoList(set_);
  }
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO get() const { return set_; }

 private:
  HDEVINFO set_;
};

// The detail path of one interface, or empty when it cannot be read or its size is implausible.
WString interfaceDetailPath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& iface) {
  DWORD required = 0;
  if (SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &required, nullptr) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return {};
  const DWORD header = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
  if (required <= header || required > header + (kMaxDetailPathChars + 1) * sizeof(WCHAR))
    return {};
  // DWORD-aligned storage for the variable-length record.
  std::unique_ptr<DWORD[]> storage(new (std::nothrow) DWORD[(required + 3) / 4]());
  if (!storage) return {};
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, required, nullptr, nullptr)) return {};
  const size_t capacity = (required - header) / sizeof(WCHAR);
  size_t length = 0;
  while (length < capacity && detail->DevicePath[length] != 0) ++length;
  return WString(detail->DevicePath, length);
}

class SystemDeviceDirectory final : public DeviceDirectory {
 public:
  bool DosNameExists(WStringView name) override {
    const WString terminated(name);
    WCHAR target[512];
    if (QueryDosDeviceW(terminated.c_str(), target, ARRAYSIZE(target)) != 0) return true;
    // A target list longer than the buffer still means the name exists.
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
  }

  std::vector<WString> InterfacePaths(const GUID& classGuid) override {
    std::vector<WString> paths;
    DeviceInfoSet set(
        SetupDiGetClassDevsW(&classGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.valid()) return paths;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
      SP_DEVICE_INTERFACE_DATA iface{};
      iface.cbSize = sizeof(iface);
      if (!SetupDiEnumDeviceInterfaces(set.get(), &device, &classGuid, 0, &iface)) continue;
      WString path = interfaceDetailPath(set.get(), iface);
      if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
  }

  OsVersionInfo OsVersion() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) return OsVersionInfo{0, 0};
    return OsVersionInfo{info.dwMajorVersion, info.dwMinorVersion};
  }
};

}  // namespace

DeviceDirectory& CurrentDeviceDirectory() {
  static SystemDeviceDirectory directory;
  return directory;
}

}  // namespace platform
