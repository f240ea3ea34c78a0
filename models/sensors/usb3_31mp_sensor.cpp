// The USB3 3.1 MP colour sensor (2048 x 1534, or 1024 x 770 skipping alternate rows and columns).
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb3_31mp_sensor.h"

#include <array>

#include "models/common/model_math.h"

namespace {

constexpr uint16_t kControl = 0x301A;
constexpr uint16_t kClock = 0x3030;
constexpr uint16_t kLineLength = 0x300C;
constexpr uint16_t kIntegration = 0x3012;
constexpr uint16_t kAnalogGain = 0x3060;
constexpr uint32_t kMaxLines = 65535;

struct SpeedLevel {
  uint16_t clockReg;
  uint32_t clockFactor;  // pixel clock in MHz as the exposure formula uses it
};
constexpr std::array<SpeedLevel, 3> kSpeeds{{{120, 80}, {135, 90}, {147, 98}}};

// Higher speeds never reach the sensor; the core clamps them, and the top level stands in.
const SpeedLevel& speedLevel(uint16_t speed) { return kSpeeds[speed < kSpeeds.size() ? speed : kSpeeds.size() - 1]; }

constexpr std::array kStart{
    Write(kControl, 0x00D8), Wait(100),
    Write(0x3021, 0x0100),   Wait(30),
    Write(kControl, 0x10D8), Write(0x30B0, 0),      Write(0x3064, 0x1902), Write(0x31AC, 0x0C0C),
    Write(0x3082, 9),        Write(0x30BA, 0x06EC), Write(0x3064, 0x1802), Write(0x31AE, 0x0301),
    Write(kControl, 0x10D0), Wait(100),
    Write(0x301E, 0),        Write(0x302A, 6),      Write(0x302E, 10),     Write(kClock, 147),
    Write(0x302C, 1),        Wait(100),
};

// Column and row increments, first/last column and row, frame length, then streaming on.
constexpr std::array<std::array<RegStep, 10>, 2> kWindows{{
    {Write(0x30A2, 1), Write(0x30A6, 1), Write(0x3004, 134), Write(0x3008, 2181), Write(0x3002, 6),
     Write(0x3006, 1539), Write(0x300A, 1560), Write(0x3040, 0), Write(kControl, 0x10DE), Wait(10)},
    {Write(0x30A2, 3), Write(0x30A6, 3), Write(0x3004, 134), Write(0x3008, 2179), Write(0x3002, 6),
     Write(0x3006, 1543), Write(0x300A, 800), Write(0x3040, 0), Write(kControl, 0x10DE), Wait(10)},
}};

constexpr std::array kStop{Wait(10), Write(kControl, 0x10C8), Wait(20)};

constexpr std::array<uint32_t, 2> kUsb2LineLength{3000, 1500};
constexpr uint32_t kUsb3LineLength = 1150;

constexpr std::array<Band, 17> kGainBands{{{104, 6},  {108, 7},  {113, 8},  {118, 9},  {123, 10}, {130, 11},
                                           {137, 12}, {144, 13}, {153, 14}, {162, 15}, {173, 16}, {186, 18},
                                           {200, 20}, {217, 22}, {236, 24}, {260, 26}, {289, 28}}};
constexpr uint16_t kGainTop = 30;

void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart); }

void speedProgram(ProgramBuffer& out, const SensorContext&, uint16_t speed) {
  out.add(Write(kControl, 0x10D8));
  out.add(Wait(100));
  out.add(Write(kClock, speedLevel(speed).clockReg));
  out.add(Wait(100));
  out.add(Write(kControl, 0x10DC));
}

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(kWindows[ctx.index < kWindows.size() ? ctx.index : 0]);
}

std::span<const RegStep> stopProgram() { return kStop; }

// Twice the line length: the exposure's divisor.
uint32_t lineClock(const SensorContext& ctx, uint16_t) {
  if (ctx.usb3Link) return 2 * kUsb3LineLength;
  return 2 * kUsb2LineLength[ctx.index < kUsb2LineLength.size() ? ctx.index : 0];
}

void lineLengthWrite(ProgramBuffer& out, SensorState& state, uint32_t lineClock) {
  state.lineClockWritten = lineClock;
  out.add(Write(kLineLength, static_cast<uint16_t>(lineClock / 2)));
}

void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext&, uint32_t timeUs, uint16_t speed) {
  if (state.lineClock == 0) return;  // no resolution programmed yet
  const uint32_t lines = speedLevel(speed).clockFactor * timeUs / state.lineClock;
  const LineCount fit = ModelMath::halveToFit(lines, state.lineClock, kMaxLines);
  if (fit.lineClock != state.lineClockWritten) lineLengthWrite(out, state, fit.lineClock);
  out.add(Write(kIntegration, static_cast<uint16_t>(fit.lines)));
}

void gainProgram(ProgramBuffer& out, uint16_t percent) {
  out.add(Write(kAnalogGain, ModelMath::bandLookup(kGainBands, percent, kGainTop)));
}

void switchTail(ProgramBuffer& out, const SensorContext&) { out.add(Wait(20)); }

constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .lineClock = lineClock,
                               .lineLengthWrite = lineLengthWrite,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .switchTail = switchTail,
                               .stillSettleMs = 5,
                               .lineBySpeed = false};

}  // namespace

const SensorDriver& Usb3Sensor31Mp() { return kDriver; }
// clang-format on
