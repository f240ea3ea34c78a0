// Without a system device walk the process directory is an in-memory one, filled by whoever
// simulates devices.
#include "platform/device_directory.h"

namespace platform {

MemoryDeviceDirectory& ProcessMemoryDirectory() {
  static MemoryDeviceDirectory directory;
  return directory;
}

DeviceDirectory& CurrentDeviceDirectory() {
  return ProcessMemoryDirectory();
}

}  // namespace platform
