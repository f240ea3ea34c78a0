// Parsing of the two camera id forms: "instance-pid" for the kernel driver, a device-interface path
// for WinUSB.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/types.h"

namespace usb {

struct KernelId {
  uint32_t instance;
  uint16_t productId;
};
struct InterfacePathId {
  uint16_t vendorId;
  uint16_t productId;
};

// "%u-%04hx": decimal instance, '-', one to four hex digits, nothing after.
std::optional<KernelId> ParseKernelId(WStringView id);
// "\\?\usb#vid_%04hx&pid_%04hx..." in either case, as the system spells it.
std::optional<InterfacePathId> ParseInterfacePath(WStringView id);

// The link the kernel driver creates, and the WinUSB path of a device-interface id.
WString KernelDevicePath(WStringView id);
WString WinUsbDevicePath(WStringView id);

}  // namespace usb
