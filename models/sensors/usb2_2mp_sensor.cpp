// The USB2 2 MP colour sensor: a 48 MHz line set by the blanking and pixel clock of each speed,
// index 1 reduced or windowed (the model window), and stills at the slowest clock.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_2mp_sensor.h"

#include <algorithm>
#include <array>

#include "models/common/model_math.h"

namespace {

constexpr uint16_t kFirstRow = 0x01, kFirstColumn = 0x02, kLastRow = 0x03, kLastColumn = 0x04;
constexpr uint16_t kHBlank = 0x05, kVBlank = 0x06, kLines = 0x09, kClock = 0x0A, kRestart = 0x0B, kReset = 0x0D;
constexpr uint16_t kRowMode = 0x22, kColumnMode = 0x23, kReduced = 0x0011;
constexpr uint32_t kClockMHz = 48;
constexpr uint16_t kRowOrigin = 188, kColumnOrigin = 256;
constexpr size_t kSpeeds = 6;
using BySpeed = std::array<uint16_t, kSpeeds>;

// One board's timing: blanking by index and speed, and the line period that results.
struct Timing {
  BySpeed clock;                       // 0x0A
  std::array<BySpeed, 2> hblank;       // 0x05 at index 0 / 1
  std::array<uint16_t, 2> vblank;      // 0x06 at index 0 / 1
  BySpeed lineFull, lineWindow, lineReduced;
};

constexpr Timing kRostrel{
    {0x8002, 0x8001, 0x8001, 0x8000, 0x8000, 0x8000},
    {{{381, 381, 181, 381, 181, 81}, {405, 405, 205, 405, 205, 105}}},
    {100, 100},
    {9400, 4700, 4300, 2350, 2150, 2050},
    {6200, 3100, 2700, 1550, 1350, 1250},
    {7600, 3800, 3400, 1900, 1700, 1600}};
constexpr Timing kPelvane{
    {0x8002, 0x8001, 0x8001, 0x8000, 0x8000, 0x8000},
    {{{899, 1199, 899, 1499, 1199, 899}, {349, 699, 349, 999, 699, 349}}},
    {100, 150},
    {11472, 6336, 5736, 3468, 3168, 2868},
    {6072, 3736, 3036, 2168, 1868, 1518},
    {7376, 4388, 3688, 2494, 2194, 1844}};

size_t speedRow(uint16_t speed) { return std::min<size_t>(speed, kSpeeds - 1); }
size_t indexRow(uint32_t index) { return index == 0 ? 0 : 1; }

constexpr std::array kStart{
    Write(kClock, 0x8000), Write(kReset, 1), Wait(30), Write(kReset, 0), Wait(30), Write(kFirstRow, 21),
    Write(kFirstColumn, 33), Write(0x20, 0x0000), Write(0x1E, 0x8040), Write(0x4E, 0x0030), Write(0x49, 0x0000)};
void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart); }

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(std::array{Write(kFirstRow, kRowOrigin), Write(kFirstColumn, kColumnOrigin), Write(kLastRow, 1199), Write(kLastColumn, 1599)});
  if (ctx.index == 0) {
    out.add(std::array{Write(kRowMode, 0), Write(kColumnMode, 0)});
  } else if (ctx.window.on) {
    out.add(std::array{Write(kRowMode, 0), Write(kColumnMode, 0), Write(kFirstRow, static_cast<uint16_t>(kRowOrigin + ctx.window.y)),
                       Write(kFirstColumn, static_cast<uint16_t>(kColumnOrigin + ctx.window.x)), Write(kLastRow, 599), Write(kLastColumn, 799)});
  } else {
    out.add(std::array{Write(kRowMode, kReduced), Write(kColumnMode, kReduced)});
  }
}

template <const Timing& T>
void speedProgram(ProgramBuffer& out, const SensorContext& ctx, uint16_t speed) {
  const size_t s = speedRow(speed), i = indexRow(ctx.index);
  out.add(std::array{Write(kHBlank, T.hblank[i][s]), Write(kVBlank, T.vblank[i]), Write(kClock, T.clock[s])});
}

template <const Timing& T>
void exposureProgram(ProgramBuffer& out, SensorState&, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  const size_t s = speedRow(speed);
  const uint32_t line = ctx.index == 0 ? T.lineFull[s] : ctx.window.on ? T.lineWindow[s] : T.lineReduced[s];
  out.add(Write(kLines, static_cast<uint16_t>(ModelMath::roundedLines(timeUs, kClockMHz, line))));
}

constexpr std::array<GainSegment, 2> kGainSegments{{{1, 63, 1, 0}, {64, 127, 2, 64}}};
constexpr GainCurve kGainCurve{15, kGainSegments, 15};
constexpr uint16_t kGainEnable = 0x100;

void gainProgram(ProgramBuffer& out, uint16_t percent) {
  const auto code = static_cast<uint16_t>(ModelMath::gainCode(kGainCurve, percent) + kGainEnable);
  out.add(std::array{Write(0x2B, code), Write(0x2C, code), Write(0x2D, code), Write(0x2E, code)});
}

void switchTail(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Write(kRestart, 1), Wait(5)}); }

constexpr std::array kStop{Write(kReset, 1)};
std::span<const RegStep> stopProgram() { return kStop; }

template <const Timing& T>
constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram<T>,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram<T>,
                               .gainProgram = gainProgram,
                               .switchTail = switchTail,
                               .stillSettleMs = 5,
                               .windowAtReinit = true,
                               .lineBySpeed = false};

}  // namespace

const SensorDriver& Usb2Sensor2MpRostrel() { return kDriver<kRostrel>; }
const SensorDriver& Usb2Sensor2MpPelvane() { return kDriver<kPelvane>; }
// clang-format on
