// An in-memory device directory that also records every name probed, in order.
#pragma once

#include <vector>

#include "platform/device_directory.h"

class RecordingDirectory final : public platform::DeviceDirectory {
 public:
  bool DosNameExists(WStringView name) override {
    probes.emplace_back(name);
    return memory.DosNameExists(name);
  }
  std::vector<WString> InterfacePaths(const GUID& classGuid) override {
    return memory.InterfacePaths(classGuid);
  }
  platform::OsVersionInfo OsVersion() override { return memory.OsVersion(); }

  platform::MemoryDeviceDirectory memory;
  std::vector<WString> probes;
};
