// The USB2 1.3 MP colour sensor, second revision: 16-bit registers with 8-bit values written high
// byte first, a 48 MHz line length chosen by the speed, and long exposures fitted into the 12-bit
// line counter by doubling the line.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_13mp_v2_sensor.h"

#include <array>

#include "models/common/model_math.h"

namespace {

constexpr uint16_t kReset = 0x0103, kStream = 0x0100;
constexpr uint16_t kLineHigh = 0x320C, kLineLow = 0x320D, kFrameHigh = 0x320E, kFrameLow = 0x320F;
constexpr uint16_t kLinesHigh = 0x3E01, kLinesLow = 0x3E02, kGainHigh = 0x3E08, kGainLow = 0x3E09;
constexpr uint32_t kClockMHz = 48;
constexpr uint32_t kMinLines = 6, kMaxLines = 4095;
// Frames are 1000 lines until the exposure needs more; then the exposure plus a margin.
constexpr uint32_t kFrameMargin = 6, kMinFrame = 1000, kLongFrameFrom = 995;

// The maker's base table; the sensor comes out of it streaming.
constexpr std::array<RegStep, 121> kBase{
    Write(0x0103, 0x01), Write(0x0100, 0x00), Write(0x3621, 0x28), Write(0x3622, 0x02), Write(0x3633, 0xB5), Write(0x3634, 0xA4), Write(0x3635, 0xA0), Write(0x3305, 0x00), Write(0x3306, 0x60), Write(0x3638, 0xB8),
    Write(0x3639, 0x0C), Write(0x363A, 0x1F), Write(0x363B, 0x09), Write(0x363C, 0x05), Write(0x3E08, 0x7F), Write(0x3E09, 0x1F), Write(0x33B5, 0x10), Write(0x4500, 0x59), Write(0x3211, 0x08), Write(0x335C, 0x57),
    Write(0x333A, 0xAA), Write(0x3D08, 0x00), Write(0x3621, 0x28), Write(0x330B, 0xD6), Write(0x3303, 0x28), Write(0x3309, 0x28), Write(0x333A, 0x0A), Write(0x3633, 0x33), Write(0x3634, 0x42), Write(0x3622, 0x06),
    Write(0x3637, 0x0F), Write(0x3908, 0x11), Write(0x337F, 0x03), Write(0x3368, 0x03), Write(0x3369, 0x00), Write(0x336A, 0x00), Write(0x336B, 0x00), Write(0x3367, 0x08), Write(0x330E, 0x30), Write(0x3366, 0x7C),
    Write(0x3E08, 0x03), Write(0x3E09, 0x10), Write(0x3638, 0x38), Write(0x3636, 0x25), Write(0x3625, 0x01), Write(0x320C, 0x07), Write(0x320D, 0x08), Write(0x391E, 0x00), Write(0x330B, 0xB8), Write(0x3034, 0x05),
    Write(0x3301, 0x0F), Write(0x3306, 0x78), Write(0x3638, 0x28), Write(0x330A, 0x01), Write(0x330B, 0x80), Write(0x3633, 0x22), Write(0x3634, 0x21), Write(0x3630, 0xC8), Write(0x3631, 0x86), Write(0x3E01, 0x3E),
    Write(0x3364, 0x05), Write(0x3630, 0xD8), Write(0x363C, 0x06), Write(0x3637, 0x0E), Write(0x330B, 0x90), Write(0x3638, 0x2F), Write(0x3306, 0xB8), Write(0x330B, 0xA8), Write(0x3309, 0x38), Write(0x331F, 0x1D),
    Write(0x3321, 0x1F), Write(0x335E, 0x01), Write(0x335F, 0x03), Write(0x337C, 0x04), Write(0x337D, 0x06), Write(0x33A0, 0x05), Write(0x3301, 0x05), Write(0x3302, 0xFF), Write(0x3633, 0x2F), Write(0x3306, 0x58),
    Write(0x330B, 0x6C), Write(0x3630, 0xA8), Write(0x3622, 0x02), Write(0x3638, 0x0F), Write(0x3306, 0x68), Write(0x366E, 0x08), Write(0x366F, 0x2F), Write(0x3E23, 0x07), Write(0x3E24, 0x10), Write(0x331D, 0x0A),
    Write(0x333B, 0x00), Write(0x3357, 0x5A), Write(0x3309, 0xA8), Write(0x331F, 0x8D), Write(0x3321, 0x8F), Write(0x3631, 0x84), Write(0x3038, 0xFF), Write(0x3213, 0x00), Write(0x391B, 0x4D), Write(0x337F, 0x03),
    Write(0x3368, 0x02), Write(0x3369, 0x00), Write(0x336A, 0x00), Write(0x336B, 0x00), Write(0x3367, 0x08), Write(0x330E, 0x30), Write(0x3213, 0x02), Write(0x3802, 0x01), Write(0x3235, 0x03), Write(0x3236, 0xE6),
    Write(0x3F00, 0x07), Write(0x3F04, 0x06), Write(0x3F05, 0xE4), Write(0x5780, 0xFF), Write(0x5781, 0x04), Write(0x5785, 0x18), Write(0x3622, 0x06), Write(0x3630, 0x28), Write(0x3313, 0x05), Write(0x3639, 0x09),
    Write(0x0100, 0x01),
};
constexpr std::array kAnalog{
    Write(0x3D01, 0x01), Write(0x3D08, 0x03), Write(0x3640, 0x00), Write(0x3641, 0x00), Write(0x3E03, 0x03),
    Write(0x3221, 0x00), Write(0x3900, 0xD5), Write(0x3902, 0x45), Write(0x3907, 0x00), Write(0x3908, 0x00)};

void startProgram(ProgramBuffer& out, const SensorContext&) {
  out.add(std::array{Write(kReset, 0x01), Wait(10)});
  out.add(kBase);
  out.add(std::array{Write(0x3039, 0x45), Write(0x303A, 0x60), Wait(10)});
  out.add(kAnalog);
}

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const uint16_t height = ctx.index == 1 ? 720 : 960;
  out.add(std::array{Write(0x3208, 0x05), Write(0x3209, 0x00), Write(0x320A, static_cast<uint16_t>(height >> 8)),
                     Write(0x320B, static_cast<uint16_t>(height & 0xFF)), Write(0x3210, 0x00), Write(0x3211, 0x03),
                     Write(0x3212, 0x00), Write(0x3213, 0x03)});
}

// The speed is the line length alone, written by lineLengthWrite.
void speedProgram(ProgramBuffer&, const SensorContext&, uint16_t) {}

uint32_t lineClock(const SensorContext&, uint16_t speed) {
  return speed == 1 ? 4200 : speed == 2 ? 3000 : 6000;
}

void writeLine(ProgramBuffer& out, SensorState& state, uint32_t line) {
  out.add(std::array{Write(kLineHigh, static_cast<uint16_t>((line >> 8) & 0xFF)), Write(kLineLow, static_cast<uint16_t>(line & 0xFF))});
  state.lineClockWritten = line;
}

void lineLengthWrite(ProgramBuffer& out, SensorState& state, uint32_t line) { writeLine(out, state, line); }

// The line doubled for a long exposure is written only when it differs from what the sensor has.
void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext&, uint32_t timeUs, uint16_t) {
  uint32_t lines = state.lineClock ? ModelMath::roundedLines(timeUs, kClockMHz, state.lineClock) : kMinLines;
  if (lines < kMinLines) lines = kMinLines;
  const LineCount fitted = ModelMath::halveToFit(lines, state.lineClock, kMaxLines);
  const uint32_t frame = fitted.lines >= kLongFrameFrom ? fitted.lines + kFrameMargin : kMinFrame;
  if (fitted.lineClock != state.lineClockWritten) writeLine(out, state, fitted.lineClock);
  out.add(std::array{Write(kLinesHigh, static_cast<uint16_t>((fitted.lines >> 4) & 0xFF)),
                     Write(kLinesLow, static_cast<uint16_t>((fitted.lines & 0x0F) << 4)),
                     Write(kFrameHigh, static_cast<uint16_t>((frame >> 8) & 0xFF)),
                     Write(kFrameLow, static_cast<uint16_t>(frame & 0xFF))});
}

// 16 is unity.
void gainProgram(ProgramBuffer& out, uint16_t percent) {
  const auto v = static_cast<uint32_t>(percent * 16.0 / 100.0);
  out.add(std::array{Write(kGainHigh, static_cast<uint16_t>((v >> 8) & 0xFF)), Write(kGainLow, static_cast<uint16_t>(v & 0xFF))});
}

void openTail(ProgramBuffer& out, const SensorContext&) { out.add(Write(0x3228, 0x00)); }

constexpr std::array kStop{Write(kReset, 1), Wait(10)};
std::span<const RegStep> stopProgram() { return kStop; }

constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .lineClock = lineClock,
                               .lineLengthWrite = lineLengthWrite,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .openTail = openTail,
                               .windowAtReinit = true,
                               .lineBySpeed = true};

}  // namespace

const SensorDriver& Usb2Sensor13MpV2() { return kDriver; }
// clang-format on
