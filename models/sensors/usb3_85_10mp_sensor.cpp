// The USB3 8.5 MP and 10 MP colour sensors: one program set over a size and line table per sensor.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb3_85_10mp_sensor.h"

#include <algorithm>
#include <array>

#include "models/common/model_math.h"
#include "models/sensors/held_gain_program.h"

namespace {

constexpr uint16_t kStreaming = 0x0100, kSoftReset = 0x0103, kHold = 0x0104, kClockMultiplier = 0x0306;
constexpr uint16_t kControl = 0x301A, kLineLength = 0x300C, kIntegration = 0x3012, kReadMode = 0x3040;
constexpr uint32_t kMaxLines = 65535;
constexpr uint32_t kExposureOffset = 1010;  // clocks the sensor adds to every integration

constexpr std::array<uint16_t, 4> kMultiplier{40, 48, 56, 64};
constexpr std::array<uint32_t, 4> kExposureClock{50, 60, 70, 80};
uint32_t exposureClock(uint16_t speed) { return kExposureClock[std::min<size_t>(speed, kExposureClock.size() - 1)]; }

struct Window {
  uint16_t xEnd, yEnd, xOut, yOut;  // x and y start 72 and 8
  uint16_t mode, frameLength;
};
struct SizeRow {
  Window usb3, usb2;
  uint32_t lineUsb3, lineUsb3Skipped, lineUsb2;
};
struct SensorTable {
  std::array<SizeRow, 3> sizes;
  uint32_t count;
};

constexpr SensorTable k85{{{
    {{3399, 2555, 3328, 2548, 1, 2800}, {3399, 2557, 3328, 2550, 1, 2800}, 3470, 3470, 7800},
    {{3397, 2549, 1664, 1272, 3, 1500}, {3397, 2557, 1664, 1276, 3, 1500}, 3400, 2040, 4000},
}}, 2};
constexpr SensorTable k10{{{
    {{3655, 2753, 3584, 2746, 1, 3000}, {3655, 2753, 3584, 2746, 1, 3000}, 3720, 3720, 8000},
    {{3653, 2749, 1792, 1372, 3, 1600}, {3653, 2749, 1792, 1372, 3, 1600}, 3400, 2040, 4200},
    {{3649, 2721,  896,  680, 7, 1000}, {3649, 2721,  896,  680, 7, 1000}, 1700, 1200, 2100},
}}, 3};

template <const SensorTable& T>
const SizeRow& sizeRow(uint32_t index) { return T.sizes[index < T.count ? index : 0]; }

constexpr std::array kStart{
    Write(kSoftReset, 0x0100), Wait(30),
    Write(kStreaming, 0),      Write(kHold, 0x0100),   Write(0x0300, 4),      Write(0x0302, 1),
    Write(0x0308, 8),          Write(0x030A, 1),       Write(0x0304, 4),      Write(kClockMultiplier, 64),
    Write(kHold, 0),
    Write(0x316C, 0x0429),     Write(0x3174, 0x8000),  Write(0x3E40, 0xDC05), Write(0x3E42, 0x6E22),
    Write(0x3E44, 0xDC22),     Write(0x3E46, 0xFF00),  Write(0x3ED4, 0xF998), Write(0x3ED6, 0x9789),
    Write(0x3EDE, 0xE424),     Write(0x3EE0, 0xA43F),  Write(0x3EE2, 0xA4B7), Write(0x3EEC, 0x1C21),
    Write(0x31AE, 0x0301),     Write(kControl, 0x0010), Write(0x3064, 0x0805), Write(0x301E, 0x00A8),
};
void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart); }
void startTail(ProgramBuffer& out, const SensorContext&) { out.add(Write(kControl, 0x50DC)); }

void speedProgram(ProgramBuffer& out, const SensorContext&, uint16_t speed) {
  out.add(Write(kStreaming, 0));
  if (speed < kMultiplier.size()) out.add(Write(kClockMultiplier, kMultiplier[speed]));
  out.add(std::array{Wait(20), Write(kStreaming, 0x0100), Wait(30)});
}

// The reduced sizes bin unless skipping; the full size does neither.
bool binned(const SensorContext& ctx) { return ctx.index > 0 && !ctx.skip; }

template <const SensorTable& T>
void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const Window& w = ctx.usb3Link ? sizeRow<T>(ctx.index).usb3 : sizeRow<T>(ctx.index).usb2;
  const uint16_t readMode = static_cast<uint16_t>(w.mode * 65 + (binned(ctx) ? 1024 : 0) + 512);
  out.add(std::array{Write(kHold, 0x0100), Write(0x0344, 72), Write(0x0348, w.xEnd), Write(0x0346, 8),
                     Write(0x034A, w.yEnd), Write(0x0400, 0), Write(0x0404, 16), Write(0x034C, w.xOut),
                     Write(0x034E, w.yOut), Write(kReadMode, readMode), Write(0x300A, w.frameLength),
                     Write(0x3170, 0x71), Write(kHold, 0)});
}

template <const SensorTable& T>
uint32_t lineClock(const SensorContext& ctx, uint16_t) {
  const SizeRow& r = sizeRow<T>(ctx.index);
  if (!ctx.usb3Link) return r.lineUsb2;
  return ctx.skip ? r.lineUsb3Skipped : r.lineUsb3;
}

void lineLengthWrite(ProgramBuffer& out, SensorState& state, uint32_t line) {
  state.lineClockWritten = line;
  out.add(Write(kLineLength, static_cast<uint16_t>(line)));
}

// Unsigned 32-bit as the sensor counts; the offset comes off after the clamp (time >= 100 us).
void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  if (state.lineClock == 0) return;  // no resolution programmed yet
  const uint32_t lines = (exposureClock(speed) * timeUs - kExposureOffset) / state.lineClock;
  const LineCount fit = ModelMath::halveToFit(lines, state.lineClock, kMaxLines);
  if (ctx.keepsHalvedLine) {
    if (fit.lineClock != state.lineClock) {
      state.lineClock = fit.lineClock;
      lineLengthWrite(out, state, fit.lineClock);
    }
  } else if (fit.lineClock != state.lineClockWritten) {
    lineLengthWrite(out, state, fit.lineClock);
  }
  out.add(Write(kIntegration, static_cast<uint16_t>(fit.lines)));
}

// Analog steps doubling at each band; the digital gain takes over above 1016.
uint16_t gainCode(uint32_t percent) {
  const uint32_t y = percent * 105 / 100;
  if (y < 127) return static_cast<uint16_t>(0x1000 + y);
  if (y < 254) return static_cast<uint16_t>(0x1080 + y / 2);
  if (y < 508) return static_cast<uint16_t>(0x1180 + y / 4);
  if (y < 1016) return static_cast<uint16_t>(0x1980 + y / 8);
  if (y < 2032) return static_cast<uint16_t>(0x2980 + y / 8);
  return 105;
}

void gainProgram(ProgramBuffer& out, uint16_t percent) { HeldGainProgram(out, percent, gainCode); }

constexpr std::array kStop{Wait(10), Write(kSoftReset, 0x0100), Wait(30), Wait(20)};
std::span<const RegStep> stopProgram() { return kStop; }

void switchTail(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Wait(30), Write(kControl, 0x10DE)}); }
void skipHead(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Write(kStreaming, 0), Write(kHold, 0x0100)}); }
void skipTail(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Write(kHold, 0), Write(kStreaming, 0x0100)}); }

template <const SensorTable& T>
constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram<T>,
                               .stopProgram = stopProgram,
                               .lineClock = lineClock<T>,
                               .lineLengthWrite = lineLengthWrite,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .startTail = startTail,
                               .switchTail = switchTail,
                               .skipHead = skipHead,
                               .skipTail = skipTail,
                               .windowAtReinit = true,
                               .lineBySpeed = false};

}  // namespace

const SensorDriver& Usb3Sensor85Mp() { return kDriver<k85>; }
const SensorDriver& Usb3Sensor10Mp() { return kDriver<k10>; }
// clang-format on
