// Device discovery: named device links, device-interface paths of a class, and the OS version.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/com_types.h"
#include "platform/lock.h"
#include "platform/types.h"

namespace platform {

struct OsVersionInfo {
  uint32_t major;
  uint32_t minor;
};

class DeviceDirectory {
 public:
  virtual ~DeviceDirectory() = default;

  // True when a device link of that name exists (for example "lumorix-0-c310" or "C:").
  virtual bool DosNameExists(WStringView name) = 0;
  // The path of the first interface of the class on each present device, in device order.
  virtual std::vector<WString> InterfacePaths(const GUID& classGuid) = 0;
  virtual OsVersionInfo OsVersion() = 0;
};

// A directory kept in memory: what tests and the simulated camera attach. Safe to fill from one
// thread while another enumerates.
class MemoryDeviceDirectory final : public DeviceDirectory {
 public:
  bool DosNameExists(WStringView name) override;
  std::vector<WString> InterfacePaths(const GUID& classGuid) override;
  OsVersionInfo OsVersion() override;

  void addDosName(WStringView name);
  void removeDosName(WStringView name);
  void addInterfacePath(const GUID& classGuid, WStringView path);
  void setOsVersion(uint32_t major, uint32_t minor);
  // Back to empty, version 10.0.
  void clear();

 private:
  struct InterfaceEntry {
    GUID classGuid;
    WString path;
  };
  Mutex lock_;
  std::vector<WString> dosNames_;
  std::vector<InterfaceEntry> interfaces_;
  OsVersionInfo version_{10, 0};
};

// The process's directory: the system's on Windows, an in-memory one elsewhere.
DeviceDirectory& CurrentDeviceDirectory();
#ifndef _WIN32
// The same object as CurrentDeviceDirectory(), for whoever attaches devices to it.
MemoryDeviceDirectory& ProcessMemoryDirectory();
#endif

}  // namespace platform
