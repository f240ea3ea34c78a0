// The USB2 VGA colour sensor: its identity checked first, a 24 MHz line by divider and index, and
// four channel gains.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_vga_sensor.h"

#include <algorithm>
#include <array>

#include "models/common/model_math.h"

namespace {

constexpr uint16_t kLines = 0x09, kDivider = 0x0A, kReset = 0x0D, kReadMode = 0x20;
constexpr uint32_t kClockMHz = 24;
constexpr SensorIdentity kIdentity{0x8243};

// Divider code and line period at index 0 / 1, by speed.
struct SpeedRow {
  uint16_t divider;
  std::array<uint32_t, 2> line;
};
constexpr std::array<SpeedRow, 3> kSpeeds{{{2, {3536, 2256}}, {1, {2652, 1692}}, {0, {1768, 1128}}}};
const SpeedRow& speedRow(uint16_t speed) { return kSpeeds[std::min<size_t>(speed, kSpeeds.size() - 1)]; }

constexpr std::array kStart{Write(kReset, 1), Wait(100), Write(kReset, 0), Wait(100), Write(0x07, 0x3002)};
void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart); }

// The read mode is sent twice, as the sensor takes it reliably only so.
void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const uint16_t mode = ctx.index == 1 ? 0x1018 : 0x1000;
  out.add(std::array{Write(kReadMode, mode), Write(kReadMode, mode)});
}

void speedProgram(ProgramBuffer& out, const SensorContext&, uint16_t speed) { out.add(Write(kDivider, speedRow(speed).divider)); }

void exposureProgram(ProgramBuffer& out, SensorState&, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  const uint32_t line = speedRow(speed).line[ctx.index == 1 ? 1 : 0];
  out.add(Write(kLines, static_cast<uint16_t>(ModelMath::roundedLines(timeUs, kClockMHz, line))));
}

constexpr std::array<GainSegment, 3> kGainSegments{{{32, 127, 1, 0}, {128, 255, 2, 128}, {256, 512, 4, 384}}};
constexpr GainCurve kGainCurve{40, kGainSegments, 40};
constexpr std::array<uint16_t, 4> kGains{0x2B, 0x2C, 0x2D, 0x2E};
constexpr std::array<double, 4> kGainRatio{1.0, 1.46, 1.31, 1.0};

void gainProgram(ProgramBuffer& out, uint16_t percent) {
  for (size_t i = 0; i < kGains.size(); ++i)
    out.add(Write(kGains[i], ModelMath::gainCode(kGainCurve, ModelMath::scaledPercent(percent, kGainRatio[i]))));
}

void openTail(ProgramBuffer& out, const SensorContext&) { out.add(Request(kRequestSystemInit, 3)); }

constexpr std::array kStop{Write(kReset, 1)};
std::span<const RegStep> stopProgram() { return kStop; }

constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .openTail = openTail,
                               .windowAtReinit = true,
                               .identity = &kIdentity};

}  // namespace

const SensorDriver& Usb2SensorVga() { return kDriver; }
// clang-format on
