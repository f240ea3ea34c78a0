// The USB3 5.1 MP colour sensor: 8-bit register addresses, a PLL multiplier per speed, and an
// exposure counted in rows of a per-mode line constant.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb3_51mp_sensor.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kReset = 0x0D;
constexpr uint16_t kPllControl = 0x10, kPllMultiplier = 0x11, kPllDivider = 0x12;
constexpr uint16_t kLastColumn = 0x04, kLastRow = 0x03, kColumnMode = 0x22, kRowMode = 0x23;
constexpr uint16_t kBlanking = 0x05, kShutterDelay = 0x06;
constexpr uint16_t kRowsHigh = 0x08, kRowsLow = 0x09;
constexpr std::array<uint16_t, 4> kGains{0x2B, 0x2C, 0x2D, 0x2E};  // green, blue, red, green
constexpr uint16_t kPllBypass = 0x51, kPllOn = 0x53;

// PLL multiplier by speed; the exposure's row clock is 1.5 times it.
constexpr std::array<uint16_t, 7> kMultiplier{54, 56, 56, 58, 60, 62, 64};
uint16_t multiplier(uint16_t speed) { return kMultiplier[std::min<size_t>(speed, kMultiplier.size() - 1)]; }

void pllProgram(ProgramBuffer& out, uint16_t m) {
  out.add(std::array{Write(kPllControl, kPllBypass), Write(kPllMultiplier, static_cast<uint16_t>(m * 256 + 1)),
                     Write(kPllDivider, 7), Wait(30), Write(kPllControl, kPllOn)});
}

void startProgram(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(std::array{Write(kReset, 1), Wait(30), Write(kReset, 0), Wait(30)});
  pllProgram(out, 0x40);
  out.add(std::array{Wait(10), Write(0x49, 0)});
  // The alternative twin's board has this write wired differently and must not get it.
  if (!ctx.alternative) out.add(Write(0x0A, 0x8000));
  out.add(Write(0x20, 0x4040));
}

void speedProgram(ProgramBuffer& out, const SensorContext&, uint16_t speed) { pllProgram(out, multiplier(speed)); }

struct Mode {
  uint16_t lastRow;
  uint16_t binned, skipped;                       // 0x22/0x23
  uint16_t usb3Binned, usb3Skipped, usb2Binned, usb2Skipped;  // 0x05
  uint32_t lineUsb3Binned, lineUsb3Skipped, lineUsb2Binned, lineUsb2Skipped;
};
constexpr std::array<Mode, 3> kModes{{
    {1921, 0x00, 0x00, 450,  450, 2000, 2000, 3460, 3460, 6560, 6560},
    {1919, 0x11, 0x01, 960,  620, 1000, 1000, 3200, 2520, 3280, 3280},
    {1919, 0x33, 0x03, 1600, 600, 1600, 700,  3840, 1840, 3840, 2040},
}};
const Mode& mode(uint32_t index) { return kModes[index < kModes.size() ? index : 0]; }

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const Mode& m = mode(ctx.index);
  const uint16_t sub = ctx.skip ? m.skipped : m.binned;
  const uint16_t blank = ctx.usb3Link ? (ctx.skip ? m.usb3Skipped : m.usb3Binned) : (ctx.skip ? m.usb2Skipped : m.usb2Binned);
  out.add(std::array{Write(kLastColumn, 2559), Write(kLastRow, m.lastRow), Write(kColumnMode, sub),
                     Write(kRowMode, sub), Write(kBlanking, blank), Write(kShutterDelay, 34)});
}

constexpr std::array kStop{Wait(10), Write(kReset, 1), Wait(30), Write(kReset, 0)};
std::span<const RegStep> stopProgram() { return kStop; }

void exposureProgram(ProgramBuffer& out, SensorState&, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  const Mode& m = mode(ctx.index);
  const uint32_t line = ctx.usb3Link ? (ctx.skip ? m.lineUsb3Skipped : m.lineUsb3Binned)
                                     : (ctx.skip ? m.lineUsb2Skipped : m.lineUsb2Binned);
  const double rowClock = 1.5 * multiplier(speed);
  const auto rows = static_cast<uint32_t>(double(timeUs) * rowClock / line);
  out.add(Write(kRowsHigh, static_cast<uint16_t>((rows >> 16) & 0xF)));
  out.add(Write(kRowsLow, static_cast<uint16_t>(rows & 0xFFFF)));
}

// The sensor's gain code of a percentage: fine steps to 63, then coarse ones; 12 out of range.
uint16_t gainCode(uint32_t percent) {
  const uint32_t k = percent * 12 / 100;
  if (k >= 8 && k <= 63) return static_cast<uint16_t>(k);
  if (k >= 64 && k <= 126) return static_cast<uint16_t>(k / 2 + 64);
  return 12;
}

// Blue and red at their fixed ratios to green, multiplied in double and truncated.
void gainProgram(ProgramBuffer& out, uint16_t percent) {
  constexpr uint16_t kEnable = 256;
  const std::array<double, 4> ratio{1.0, 1.41, 1.42, 1.0};
  for (size_t i = 0; i < kGains.size(); ++i)
    out.add(Write(kGains[i], static_cast<uint16_t>(gainCode(static_cast<uint32_t>(percent * ratio[i])) + kEnable)));
}

void switchTail(ProgramBuffer& out, const SensorContext&) { out.add(Write(0x0B, 1)); }

constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .switchTail = switchTail,
                               .lineBySpeed = false};

}  // namespace

const SensorDriver& Usb3Sensor51Mp() { return kDriver; }
// clang-format on
