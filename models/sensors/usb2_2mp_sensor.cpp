// The USB2 2 MP colour sensor: a 48 MHz line set by the blanking and pixel clock of each speed,
// index 1 reduced or windowed (the model window), and stills at the slowest clock. The 3.1 MP
// sensor shares its register map; its window follows the region.
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

// The reset pulse differs between the sensors: 30 ms on the 2 MP, 10 ms on the 3.1 MP.
template <uint16_t ResetMs>
constexpr std::array kStart{
    Write(kClock, 0x8000), Write(kReset, 1), Wait(ResetMs), Write(kReset, 0), Wait(ResetMs), Write(kFirstRow, 21),
    Write(kFirstColumn, 33), Write(0x20, 0x0000), Write(0x1E, 0x8040), Write(0x4E, 0x0030), Write(0x49, 0x0000)};
template <uint16_t ResetMs>
void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart<ResetMs>); }

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
constexpr SensorDriver kDriver{.startProgram = startProgram<30>,
                               .speedProgram = speedProgram<T>,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram<T>,
                               .gainProgram = gainProgram,
                               .switchTail = switchTail,
                               .stillSettleMs = 5,
                               .windowAtReinit = true,
                               .lineBySpeed = false};

// The 3.1 MP sensor (2048 x 1536, read one of two at index 1 and one of three at index 2): the
// region's window, clock and blanking are programmed together, then the exposure on the line they
// make.
constexpr uint32_t kMaxLines = 65535;
constexpr std::array<uint16_t, 3> kModes31{0x0000, 0x0011, 0x0022};
constexpr std::array<uint32_t, 3> kFactor31{1, 2, 3};
constexpr std::array<uint32_t, 3> kAlign31{1, 2, 6};
constexpr std::array<uint16_t, 3> kRowOrigin31{20, 20, 22}, kColumnOrigin31{32, 32, 36};
constexpr std::array<uint32_t, 3> kMinLine31{647, 1305, 1947}, kLineExtra31{369, 695, 1013};
constexpr std::array<uint16_t, 3> kWidth31{2048, 1024, 680}, kHeight31{1536, 768, 510};

struct Blank { uint16_t h, v; };
using Blanks31 = std::array<std::array<Blank, 3>, kSpeeds>;  // by speed, then index

constexpr Blanks31 kRostrel31{{{{{153, 100}, {281, 100}, {257, 60}}}, {{{353, 150}, {181, 100}, {357, 50}}},
                               {{{153, 100}, {81, 50}, {257, 40}}},   {{{553, 200}, {281, 150}, {457, 60}}},
                               {{{353, 150}, {181, 100}, {357, 50}}}, {{{153, 100}, {81, 50}, {257, 40}}}}};
constexpr Blanks31 kPelvane31{{{{{899, 100}, {349, 150}, {349, 150}}},   {{{1299, 150}, {449, 200}, {449, 200}}},
                               {{{899, 100}, {349, 150}, {349, 150}}},   {{{1299, 200}, {549, 250}, {549, 250}}},
                               {{{1099, 150}, {449, 200}, {449, 200}}}, {{{899, 100}, {349, 150}, {349, 150}}}}};

// A still's whole frame at the slowest clock, whatever the region.
struct Still31 { uint16_t firstRow, firstColumn, lastRow, lastColumn, hblank, vblank; };
constexpr std::array<Still31, 3> kStill31{{{20, 32, 1535, 2047, 899, 100}, {20, 32, 1535, 2047, 349, 150}, {22, 36, 1529, 2039, 349, 150}}};
constexpr uint16_t kStillClock = 0x8002;

size_t index31(const SensorContext& ctx) { return std::min<size_t>(ctx.index, 2); }
uint16_t u16(uint32_t v) { return static_cast<uint16_t>(v); }

// Rows on even edges; columns on the read-out's step, widened outward (past the width at index 2).
SensorRect alignWindow31(const SensorContext& ctx, const SensorRect& r) {
  const uint32_t d = kAlign31[index31(ctx)];
  return SensorRect{r.left / d * d, r.top & ~1u, (r.right + d - 1) / d * d, r.bottom + (r.bottom & 1u)};
}

void windowRegs31(ProgramBuffer& out, size_t i, uint16_t firstRow, uint16_t firstColumn, uint16_t lastRow, uint16_t lastColumn) {
  out.add(std::array{Write(kFirstRow, firstRow), Write(kFirstColumn, firstColumn), Write(kLastRow, lastRow),
                     Write(kLastColumn, lastColumn), Write(kRowMode, kModes31[i]), Write(kColumnMode, kModes31[i])});
}

template <const Blanks31& B>
void regionProgram31(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint16_t speed, const SensorRect& window) {
  const size_t i = index31(ctx), s = speedRow(speed);
  const bool whole = !window.left && !window.top && !window.right && !window.bottom;
  const SensorRect w = whole ? SensorRect{0, 0, kWidth31[i], kHeight31[i]} : window;
  const uint16_t width = u16(w.right - w.left), height = u16(w.bottom - w.top);
  const uint32_t f = kFactor31[i];
  windowRegs31(out, i, u16(f * w.top + kRowOrigin31[i]), u16(f * w.left + kColumnOrigin31[i]), u16(f * height - 1), u16(f * width - 1));
  const Blank b = B[s][i];
  out.add(std::array{Write(kClock, kRostrel.clock[s]), Write(kHBlank, b.h), Write(kVBlank, b.v)});
  state.lineBlank = b.h;
  state.activeWidth = width;
}

template <const Blanks31& B>
void windowProgram31(ProgramBuffer& out, const SensorContext& ctx) {
  SensorState scratch;
  regionProgram31<B>(out, scratch, ctx, 0, SensorRect{});
}

void stillProgram31(ProgramBuffer& out, SensorState& state, const SensorContext& ctx) {
  const size_t i = index31(ctx);
  const Still31& w = kStill31[i];
  windowRegs31(out, i, w.firstRow, w.firstColumn, w.lastRow, w.lastColumn);
  out.add(std::array{Write(kClock, kStillClock), Write(kHBlank, w.hblank), Write(kVBlank, w.vblank)});
  state.lineBlank = w.hblank;
  state.activeWidth = kWidth31[i];
}

// The line is the blanking and width programmed last, never below the read-out's minimum, in
// clocks divided down at the slow speeds. Long exposures on short lines saturate the 16-bit count.
void exposureProgram31(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  const size_t i = index31(ctx);
  const uint32_t divider = speed == 0 ? 4 : speed <= 2 ? 2 : 1;
  const uint64_t line = uint64_t{std::max(kMinLine31[i], state.lineBlank + state.activeWidth + kLineExtra31[i])} * divider;
  const uint64_t lines = std::min<uint64_t>((uint64_t{timeUs} * kClockMHz + line / 2) / line, kMaxLines);
  out.add(Write(kLines, u16(static_cast<uint32_t>(lines))));
}

void noSpeed(ProgramBuffer&, const SensorContext&, uint16_t) {}
void stillTail31(ProgramBuffer& out, const SensorContext&) { out.add(Write(kRestart, 1)); }
void switchTail31(ProgramBuffer& out, const SensorContext&) { out.add(Wait(20)); }

template <const Blanks31& B>
constexpr SensorDriver kDriver31{.startProgram = startProgram<10>,
                                 .speedProgram = noSpeed,
                                 .windowProgram = windowProgram31<B>,
                                 .stopProgram = stopProgram,
                                 .lineClock = nullptr,
                                 .lineLengthWrite = nullptr,
                                 .exposureProgram = exposureProgram31,
                                 .gainProgram = gainProgram,
                                 .openHead = nullptr,
                                 .startTail = nullptr,
                                 .openTail = nullptr,
                                 .switchTail = switchTail31,
                                 .skipHead = nullptr,
                                 .skipTail = nullptr,
                                 .readyWait = nullptr,
                                 .stillSettleMs = 5,
                                 .windowAtReinit = false,
                                 .lineBySpeed = false,
                                 .alignWindow = alignWindow31,
                                 .regionProgram = regionProgram31<B>,
                                 .stillProgram = stillProgram31,
                                 .modeProgram = nullptr,
                                 .speedMarksRoiPending = true,
                                 .regionAtOpen = true,
                                 .identity = nullptr,
                                 .stillTail = stillTail31};

}  // namespace

const SensorDriver& Usb2Sensor2MpRostrel() { return kDriver<kRostrel>; }
const SensorDriver& Usb2Sensor2MpPelvane() { return kDriver<kPelvane>; }
const SensorDriver& Usb2Sensor31MpRostrel() { return kDriver31<kRostrel31>; }
const SensorDriver& Usb2Sensor31MpPelvane() { return kDriver31<kPelvane31>; }
// clang-format on
