// The camera's vendor requests on endpoint 0, their header, and the FPGA/ISP register map.
#pragma once

#include <cstdint>

namespace usb {

enum class Direction : uint8_t { Out = 0, In = 1 };

struct VenReqHeader {
  Direction direction;
  uint8_t bRequest;
  uint16_t wValue;
  uint16_t wIndex;
};

namespace req {
inline constexpr uint8_t kSystemInit = 0x01;
inline constexpr uint8_t kWritePacked = 0x08;
inline constexpr uint8_t kSensorRead = 0x0A;
inline constexpr uint8_t kWriteRegister = 0x0B;  // FPGA V2 and, by default, sensor writes
inline constexpr uint8_t kWriteFpga = 0x0D;
inline constexpr uint8_t kGetRegWriteMode = 0x10;
inline constexpr uint8_t kSysFini = 0x17;
inline constexpr uint8_t kFirmwareVersion = 0x1E;
inline constexpr uint8_t kHardwareVersion = 0x1F;
inline constexpr uint8_t kEepromRead = 0x20;
inline constexpr uint8_t kDmaClear = 0x2A;
inline constexpr uint8_t kGetAltSensor = 0x2E;
inline constexpr uint8_t kWriteResMode = 0x2F;
inline constexpr uint8_t kDeviceCommandFirst = 0x30;
inline constexpr uint8_t kDeviceCommandLast = 0x36;
inline constexpr uint8_t kSt4GuideState = 0x81;
inline constexpr uint8_t kSt4PulseFirst = 0x82;  // + direction 0..4
inline constexpr uint8_t kSt4PulseLast = 0x86;
inline constexpr uint8_t kIspLut = 0xD9;
}  // namespace req

inline constexpr uint16_t kSystemInitIndex = 0x000F;
inline constexpr uint8_t kStatusDone = 8;  // the status byte of a completed register write

enum SystemInitMode : uint8_t { kStreamStop = 0, kStreamStart = 1, kDeviceOpen = 3 };

inline constexpr uint32_t kEepromBytes = 0x10000;
inline constexpr uint32_t kEepromChunk = 4096;
inline constexpr uint32_t kEepromTrailer = 32;  // the serial-number record after the block

inline constexpr uint32_t kLutBlockEntries = 1024;
inline constexpr uint16_t kLutIndexBase = 0x2200;
inline constexpr uint32_t kLutMaxBits = 16;
inline constexpr uint32_t kLutMinBits = 10;

namespace fpga {
inline constexpr uint16_t kAwbX = 0x3200, kAwbWidth = 0x3400, kAwbY = 0x3600, kAwbHeight = 0x3800;
inline constexpr uint16_t kMatrixFirst = 0x6000, kMatrixStep = 0x200;
inline constexpr uint16_t kAeX = 0x7200, kAeWidth = 0x7400, kAeY = 0x7600, kAeHeight = 0x7800;
inline constexpr uint16_t kDdrRealtime = 0xB000;
inline constexpr uint16_t kDmaClear = 0xB200;
inline constexpr uint16_t kReload = 0xB400;
inline constexpr uint16_t kWbRed = 0xD400, kWbGreen = 0xD600, kWbBlue = 0xD800;
inline constexpr uint16_t kMatrixEnable = 0xF800;
inline constexpr uint16_t kWbEnable = 0xFC00;
}  // namespace fpga

}  // namespace usb
