// The USB3 14 MP colour sensor: the normal and the alternative chip over one register map; the
// speed chooses the line length, the chip and link the clock.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb3_14mp_sensor.h"

#include <array>

#include "models/common/model_math.h"
#include "models/sensors/held_gain_program.h"

namespace {

constexpr uint16_t kStreaming = 0x0100, kSoftReset = 0x0103, kHold = 0x0104;
constexpr uint16_t kControl = 0x301A, kLineLength = 0x300C, kIntegration = 0x3012, kReadMode = 0x3040;
constexpr uint32_t kMaxLines = 65535;
constexpr double kExposureOffset = 1340.0;  // clocks the sensor adds to every integration
constexpr uint16_t kDefaultLine = 4500;

uint16_t streamingControl(const SensorContext& ctx) { return ctx.alternative ? 0x001E : 0x10DE; }

void openHead(ProgramBuffer& out, const SensorContext& ctx) {
  if (ctx.alternative) out.add(std::array{Request(kRequestSystemInit, 3), Wait(30)});
}

// The PLL by chip and link: 0x0300, 0x0302, 0x0308, 0x030A, 0x0304, 0x0306.
constexpr std::array<uint16_t, 6> kPllNormalUsb3{4, 1, 8, 1, 6, 115};
constexpr std::array<uint16_t, 6> kPllNormalUsb2{8, 2, 8, 4, 4, 128};
constexpr std::array<uint16_t, 6> kPllAlternative{4, 1, 12, 1, 8, 66};
constexpr std::array<uint16_t, 6> kPllRegs{0x0300, 0x0302, 0x0308, 0x030A, 0x0304, 0x0306};

void startProgram(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(std::array{Write(kSoftReset, 0x0100), Wait(30)});
  if (ctx.alternative)
    out.add(std::array{Write(kStreaming, 0), Write(0x31C6, 0x8006), Write(0x0112, 0x0C0C), Write(0x31C0, 0x06DB),
                       Write(0x3140, 0x2214), Write(0x304A, 0x0010), Wait(30)});
  else
    out.add(std::array{Write(0x0112, 0x0C0C), Write(kControl, 0x0010), Write(0x3064, 0x0805), Write(0x31AE, 0x0301)});
  const auto& pll = ctx.alternative ? kPllAlternative : ctx.usb3Link ? kPllNormalUsb3 : kPllNormalUsb2;
  out.add(std::array{Write(kStreaming, 0), Write(kHold, 0x0100)});
  for (size_t i = 0; i < kPllRegs.size(); ++i) out.add(Write(kPllRegs[i], pll[i]));
  out.add(std::array{Wait(5), Write(kHold, 0), Wait(20)});
}

void startTail(ProgramBuffer& out, const SensorContext& ctx) { out.add(std::array{Write(kControl, streamingControl(ctx)), Wait(30)}); }

// The clock does not follow the speed on this sensor: the line length does.
void speedProgram(ProgramBuffer&, const SensorContext&, uint16_t) {}

struct Window {
  uint16_t xEnd, yEnd, xOut, yOut, mode, frameLength;  // normal chip; x start 288, y start 32
};
constexpr std::array<Window, 3> kWindows{{
    {4383, 3317, 4096, 3286, 1, 3432},
    {4381, 3317, 2048, 1644, 3, 1844},
    {4377, 3313, 1024,  822, 7, 1000},
}};
// The alternative chip's window starts 2 columns earlier and is 4 wider.
constexpr uint16_t kXStart = 288, kAltXStart = 286, kAltExtraColumns = 4;

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const Window& w = kWindows[ctx.index < kWindows.size() ? ctx.index : 0];
  const uint16_t extra = ctx.alternative ? kAltExtraColumns : 0;
  const uint16_t xOut = static_cast<uint16_t>(w.xOut + extra);
  if (ctx.alternative) out.add(std::array{Request(kRequestFpgaValue, static_cast<uint16_t>(xOut / 4 - 3)), Wait(30)});
  const bool binned = ctx.index > 0 && !ctx.skip;
  out.add(std::array{Write(kStreaming, 0), Write(kHold, 0x0100), Write(0x0344, ctx.alternative ? kAltXStart : kXStart),
                     Write(0x0348, static_cast<uint16_t>(w.xEnd + (ctx.alternative ? 2 : 0))), Write(0x0346, 32),
                     Write(0x034A, w.yEnd), Write(0x0400, 0), Write(0x0404, 16), Write(0x034C, xOut),
                     Write(0x034E, w.yOut), Write(kReadMode, static_cast<uint16_t>(w.mode * 65 + (binned ? 1024 : 0) + 512)),
                     Write(0x300A, w.frameLength), Write(kHold, 0)});
}

// Line lengths by speed: full, half, quarter binned, quarter skipped (normal / alternative).
struct LineRow {
  uint16_t full, half, quarter, quarterSkipped, altQuarter, altQuarterSkipped;
};
constexpr std::array<LineRow, 4> kUsb3Lines{{
    {5700, 3600, 3300, 2400, 3300, 2400},
    {5100, 3000, 3000, 2100, 3000, 2100},
    {4800, 2700, 2400, 1950, 2700, 1800},
    {4500, 2400, 2400, 1800, 2400, 1500},
}};
constexpr std::array<LineRow, 4> kUsb2Lines{{
    {15000, 8700, 8700, 7200, 8700, 7200},
    {13200, 7800, 7800, 6300, 7800, 6300},
    {12300, 6900, 6900, 5400, 6900, 5400},
    {11400, 6000, 6000, 4500, 6000, 4500},
}};

uint32_t lineClock(const SensorContext& ctx, uint16_t speed) {
  if (speed >= kUsb3Lines.size() || ctx.index > 2) return kDefaultLine;
  const LineRow& r = (ctx.usb3Link ? kUsb3Lines : kUsb2Lines)[speed];
  if (ctx.index == 0) return r.full;
  if (ctx.index == 1) return r.half;
  if (ctx.alternative) return ctx.skip ? r.altQuarterSkipped : r.altQuarter;
  return ctx.skip ? r.quarterSkipped : r.quarter;
}

void writeLine(ProgramBuffer& out, SensorState& state, uint32_t line) {
  state.lineClockWritten = line;
  out.add(Write(kLineLength, static_cast<uint16_t>(line)));
}

void lineLengthWrite(ProgramBuffer& out, SensorState& state, uint32_t line) {
  writeLine(out, state, line);
  out.add(Wait(20));
}

// In double, truncated, at the chip's exposure clock.
void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint32_t timeUs, uint16_t) {
  if (state.lineClock == 0) return;  // no line length programmed yet
  const double clock = ctx.alternative ? 99.0 : 95.83;
  const double rows = (timeUs * clock - kExposureOffset) / state.lineClock;
  const auto lines = rows > 0 ? static_cast<uint32_t>(rows) : 0u;
  const LineCount fit = ModelMath::halveToFit(lines, state.lineClock, kMaxLines);
  if (fit.lineClock != state.lineClockWritten) writeLine(out, state, fit.lineClock);
  out.add(Write(kIntegration, static_cast<uint16_t>(fit.lines)));
}

uint16_t gainCode(uint32_t percent) {
  const uint32_t y = percent * 105 / 100;
  if (y < 127) return static_cast<uint16_t>(0x1000 + y);
  if (y < 254) return static_cast<uint16_t>(0x2000 + y / 2);
  if (y < 381) return static_cast<uint16_t>(0x3000 + y / 3);
  if (y < 508) return static_cast<uint16_t>(0x4000 + y / 4);
  return 127;
}

void gainProgram(ProgramBuffer& out, uint16_t percent) { HeldGainProgram(out, percent, gainCode); }

constexpr std::array kStop{Wait(10), Write(kStreaming, 0), Wait(20)};
std::span<const RegStep> stopProgram() { return kStop; }

void openTail(ProgramBuffer& out, const SensorContext&) {
  out.add(std::array{Write(kStreaming, 0), Wait(10), Write(kStreaming, 0x0100), Wait(10)});
}
void switchTail(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(std::array{Wait(100), Write(kControl, streamingControl(ctx)), Wait(100)});
}
void skipHead(ProgramBuffer& out, const SensorContext&) { out.add(Write(kStreaming, 0)); }
void skipTail(ProgramBuffer& out, const SensorContext&) { out.add(Write(kStreaming, 0x0100)); }

constexpr ReadyWait kReady{0x2E, 50, 3000};

constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .lineClock = lineClock,
                               .lineLengthWrite = lineLengthWrite,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .openHead = openHead,
                               .startTail = startTail,
                               .openTail = openTail,
                               .switchTail = switchTail,
                               .skipHead = skipHead,
                               .skipTail = skipTail,
                               .readyWait = &kReady,
                               .windowAtReinit = true,
                               .lineBySpeed = true};

}  // namespace

const SensorDriver& Usb3Sensor14Mp() { return kDriver; }
// clang-format on
