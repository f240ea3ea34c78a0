// The 160-byte block of persisted pipeline settings, stored byte for byte in presets.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// What auto exposure may move.
enum AePolicy : uint8_t {
  kAeTimeOnly = 0,   // the gain stays
  kAeTimeFirst = 1,  // the gain rises only once the time is at its maximum
  kAeGainOnly = 2,   // the time stays
  kAeGainFirst = 3,  // the time rises only once the gain is at its maximum
  kAePolicyLast = kAeGainFirst,
};

// The mains the lights run on: exposure times snap to whole periods under 60 or 50 Hz.
enum LightFrequency : uint32_t {
  kLight60Hz = 0,
  kLight50Hz = 1,
  kLightSteady = 2,
};

// Field order and widths are a file format: presets and preset files hold this block as is.
struct PLSettings {
  uint8_t stepBits;  // bit 2 raw LUT; bits 6, 7 stripe workers
  uint8_t aeTarget;
  uint16_t expoGain;
  uint32_t aeEnable;
  uint32_t expoTime;  // microseconds
  int32_t hue;        // degrees
  int32_t saturation;
  int32_t brightness;
  int32_t contrast;
  int32_t gamma;  // percent
  uint32_t mono;
  uint32_t mirror;  // bit 0 horizontal, bit 1 vertical
  int32_t wbTemp;   // kelvin; RGB-gain cameras: red gain low half, green high half
  int32_t wbTint;   // RGB-gain cameras: blue gain
  uint8_t levelLow[4];
  uint8_t levelHigh[4];
  int32_t aeRect[4];  // left, top, right, bottom as fractions x 10,000,000
  int32_t awbRect[4];
  uint32_t vignetteEnable;
  uint8_t zero92[4];
  double vignetteAmount;
  double vignetteMidpoint;
  uint32_t lightFrequency;  // LightFrequency
  uint32_t processFlags;    // PLProcessFlags
  int32_t abbRect[4];
  uint16_t blackOffset[3];  // R, G, B
  uint8_t zero142[2];
  uint8_t aePolicy;  // AePolicy
  uint8_t zero145[7];
  int32_t aeThreshold;
  uint8_t zero156[4];
};

static_assert(std::endian::native == std::endian::little, "the block is stored little-endian");
static_assert(std::is_standard_layout_v<PLSettings> && std::is_trivially_copyable_v<PLSettings>);
static_assert(sizeof(PLSettings) == 160);
static_assert(offsetof(PLSettings, stepBits) == 0);
static_assert(offsetof(PLSettings, aeTarget) == 1);
static_assert(offsetof(PLSettings, expoGain) == 2);
static_assert(offsetof(PLSettings, aeEnable) == 4);
static_assert(offsetof(PLSettings, expoTime) == 8);
static_assert(offsetof(PLSettings, hue) == 12);
static_assert(offsetof(PLSettings, saturation) == 16);
static_assert(offsetof(PLSettings, brightness) == 20);
static_assert(offsetof(PLSettings, contrast) == 24);
static_assert(offsetof(PLSettings, gamma) == 28);
static_assert(offsetof(PLSettings, mono) == 32);
static_assert(offsetof(PLSettings, mirror) == 36);
static_assert(offsetof(PLSettings, wbTemp) == 40);
static_assert(offsetof(PLSettings, wbTint) == 44);
static_assert(offsetof(PLSettings, levelLow) == 48);
static_assert(offsetof(PLSettings, levelHigh) == 52);
static_assert(offsetof(PLSettings, aeRect) == 56);
static_assert(offsetof(PLSettings, awbRect) == 72);
static_assert(offsetof(PLSettings, vignetteEnable) == 88);
static_assert(offsetof(PLSettings, zero92) == 92);
static_assert(offsetof(PLSettings, vignetteAmount) == 96);
static_assert(offsetof(PLSettings, vignetteMidpoint) == 104);
static_assert(offsetof(PLSettings, lightFrequency) == 112);
static_assert(offsetof(PLSettings, processFlags) == 116);
static_assert(offsetof(PLSettings, abbRect) == 120);
static_assert(offsetof(PLSettings, blackOffset) == 136);
static_assert(offsetof(PLSettings, zero142) == 142);
static_assert(offsetof(PLSettings, aePolicy) == 144);
static_assert(offsetof(PLSettings, zero145) == 145);
static_assert(offsetof(PLSettings, aeThreshold) == 152);
static_assert(offsetof(PLSettings, zero156) == 156);

// Bits of PLSettings::processFlags.
namespace PLProcessFlags {
inline constexpr uint32_t kNegative = 1u << 0;
inline constexpr uint32_t kRotate90 = 1u << 3;
inline constexpr uint32_t kRotate180 = 1u << 4;
inline constexpr uint32_t kRotate270 = 1u << 5;
inline constexpr uint32_t kRotateMask = kRotate90 | kRotate180 | kRotate270;
inline constexpr uint32_t kCgBit0 = 1u << 6;
inline constexpr uint32_t kToneMap1 = 1u << 7;
inline constexpr uint32_t kToneMap2 = 1u << 8;
inline constexpr uint32_t kToneMapMask = kToneMap1 | kToneMap2;
inline constexpr uint32_t kCgBit1 = 1u << 9;
inline constexpr uint32_t kCgMask = kCgBit0 | kCgBit1;
inline constexpr uint32_t kFormatShift = 16;
inline constexpr uint32_t kFormatMask = 0xFu << kFormatShift;
inline constexpr uint32_t kUsmShift = 20;
inline constexpr uint32_t kUsmMask = 0x1FFu << kUsmShift;
inline constexpr uint32_t kUsmMax = 500;

constexpr uint32_t cgBits(uint32_t value) {
  return ((value & 1u) ? kCgBit0 : 0u) | ((value & 2u) ? kCgBit1 : 0u);
}
constexpr uint32_t cgValue(uint32_t flags) {
  return ((flags & kCgBit0) ? 1u : 0u) | ((flags & kCgBit1) ? 2u : 0u);
}
constexpr uint32_t usmValue(uint32_t flags) {
  return (flags & kUsmMask) >> kUsmShift;
}
constexpr uint32_t withUsm(uint32_t flags, uint32_t usm) {
  return (flags & ~kUsmMask) | ((usm << kUsmShift) & kUsmMask);
}
}  // namespace PLProcessFlags

// stepBits: bits 0..5 are the pixel steps; 6 and 7 belong to the running state's workers.
inline constexpr uint8_t kStepBitsDefault = 0x3F;
inline constexpr uint8_t kStepBitsWorkers = 0xC0;
inline constexpr uint8_t kStepBitsStripes = 0x80;  // the frame's bands go to the workers

// Settings defaults shared by the loaders and the block checks.
inline constexpr int32_t kWbTempDefault = 6503;
inline constexpr int32_t kWbTintDefault = 1000;
inline constexpr int32_t kRgbGainUnity = 128;
inline constexpr int32_t kFractionOne = 10000000;
inline constexpr int32_t kWindowLowDefault = 4000000;
inline constexpr int32_t kWindowHighDefault = 6000000;
inline constexpr double kVignetteMidpointDefault = 0.125;
