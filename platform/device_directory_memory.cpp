// The in-memory device directory.
#include <algorithm>

#include "platform/device_directory.h"

namespace platform {

bool MemoryDeviceDirectory::DosNameExists(WStringView name) {
  std::lock_guard<Mutex> guard(lock_);
  return std::find(dosNames_.begin(), dosNames_.end(), name) != dosNames_.end();
}

std::vector<WString> MemoryDeviceDirectory::InterfacePaths(const GUID& classGuid) {
  std::lock_guard<Mutex> guard(lock_);
  std::vector<WString> paths;
  for (const InterfaceEntry& entry : interfaces_)
    if (IsEqualGUID(entry.classGuid, classGuid)) paths.push_back(entry.path);
  return paths;
}

OsVersionInfo MemoryDeviceDirectory::OsVersion() {
  std::lock_guard<Mutex> guard(lock_);
  return version_;
}

void MemoryDeviceDirectory::addDosName(WStringView name) {
  std::lock_guard<Mutex> guard(lock_);
  dosNames_.emplace_back(name);
}

void MemoryDeviceDirectory::removeDosName(WStringView name) {
  std::lock_guard<Mutex> guard(lock_);
  std::erase(dosNames_, WString(name));
}

void MemoryDeviceDirectory::addInterfacePath(const GUID& classGuid, WStringView path) {
  std::lock_guard<Mutex> guard(lock_);
  interfaces_.push_back(InterfaceEntry{classGuid, WString(path)});
}

void MemoryDeviceDirectory::setOsVersion(uint32_t major, uint32_t minor) {
  std::lock_guard<Mutex> guard(lock_);
  version_ = OsVersionInfo{major, minor};
}

void MemoryDeviceDirectory::clear() {
  std::lock_guard<Mutex> guard(lock_);
  dosNames_.clear();
  interfaces_.clear();
  version_ = OsVersionInfo{10, 0};
}

}  // namespace platform
