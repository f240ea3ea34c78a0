// I/O control codes of the camera maker's kernel driver, all on the device handle.
#pragma once

#include <cstdint>

namespace usb {

inline constexpr uint32_t kIoctlGetDeviceDescriptor = 0x222004;  // out: 18-byte descriptor
inline constexpr uint32_t kIoctlResetPort = 0x222031;
inline constexpr uint32_t kIoctlResetPipe = 0x222035;         // in: u32 endpoint
inline constexpr uint32_t kIoctlAbortPipe = 0x22203D;         // in: u32 0
inline constexpr uint32_t kIoctlSelectAltSetting = 0x222040;  // in: {interface 0, setting 1}
inline constexpr uint32_t kIoctlReadPipe = 0x22204E;          // in: u32 pipe; out: data
inline constexpr uint32_t kIoctlWritePipe = 0x222051;         // in: u32 pipe + data
inline constexpr uint32_t kIoctlVendorRequest = 0x222059;     // in: 10-byte header; out: data
inline constexpr uint32_t kIoctlGetDriverState = 0x2220A0;    // out: u32, 0 = no interface yet
inline constexpr uint32_t kIoctlSetDriverState = 0x2220A4;    // in: u32 1
inline constexpr uint32_t kIoctlGetGenFailure = 0x2220AC;     // out: u8, non-zero = failed

inline constexpr uint32_t kDeviceDescriptorBytes = 18;
inline constexpr uint32_t kVendorHeaderBytes = 10;

}  // namespace usb
