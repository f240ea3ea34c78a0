// The USB2 8, 9 and 10 MP colour sensors: the window, its line length and frame length follow the
// region inside one held group; stills take fixed whole-frame windows.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_8_10mp_sensor.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kStreaming = 0x0100, kSoftReset = 0x0103, kHold = 0x0104, kControl = 0x301A;
constexpr uint16_t kLineLength = 0x300C, kFrameLength = 0x300A, kIntegration = 0x3012;
constexpr uint16_t kReadMode = 0x3040, kSpeedWord = 0x3016, kHeld = 0x0100;
constexpr uint32_t kMaxLines = 65535;
constexpr uint16_t kSkipWord = 289, kBinWord = 546, kBinReadMode = 0x0400;
constexpr std::array<uint16_t, 3> kReadIncrement{1, 3, 7};  // odd column and row increments
constexpr std::array<uint32_t, 3> kScale{1, 2, 4};
constexpr std::array<uint16_t, 3> kFrameExtra{143, 226, 216};

struct Size { uint16_t width, height; };
struct Offset { uint16_t xs, ys; };
struct StillWindow { uint16_t xStart, xEnd, yStart, yEnd, lineRostrel, lineTwin, frameLength; };

// What the three sensors differ in; the 8 MP scales no row offset at its quarter size.
struct Sensor {
  std::array<Size, 3> sizes;
  std::array<Offset, 3> offsets;
  uint16_t quarterRowStart;  // 0: rows offset like columns
  std::array<StillWindow, 3> stills;
};

constexpr Sensor k8{{{{3264, 2448}, {1600, 1200}, {800, 600}}}, {{{232, 158}, {78, 52}, {24, 0}}}, 54,
    {{{232, 3495, 158, 2605, 12528, 9528, 2891}, {156, 3353, 104, 2501, 8200, 5200, 1600}, {96, 3289, 54, 2447, 4600, 2800, 900}}}};
constexpr Sensor k9{{{{3488, 2616}, {1744, 1308}, {872, 654}}}, {{{120, 74}, {42, 24}, {15, 7}}}, 0,
    {{{120, 3607, 74, 2689, 12976, 9976, 2891}, {84, 3569, 48, 2661, 8488, 5488, 1600}, {60, 3541, 28, 2637, 4744, 2944, 900}}}};
constexpr Sensor k10{{{{3584, 2748}, {1792, 1374}, {896, 684}}}, {{{72, 8}, {40, 8}, {20, 3}}}, 0,
    {{{72, 3655, 8, 2755, 13168, 10168, 2891}, {80, 3661, 16, 2761, 8584, 5584, 1600}, {80, 3657, 12, 2741, 4792, 2992, 900}}}};

using Speeds = std::array<uint16_t, 6>;
struct ClassTable {
  const Sensor& sensor;
  Speeds k0, k1, k2;  // line terms by speed for the full, half and quarter sizes
  bool twin;          // slower clock tree, integer gain ratios, the twin's still lines
  uint16_t pllDivider, outputDivider, inputDivider, multiplier, quarterMultiplier;
  uint32_t clockNum, clockDen;  // exposure clock = multiplier x num / den
  bool wideGainRule;            // the seven-band rule instead of the doubling one
};

constexpr ClassTable kRostrel8{k8, {3000, 1750, 1500, 1250, 1100, 986}, {3000, 2500, 2000, 1500, 1200, 800}, {1250, 1000, 800, 650, 500, 350}, false, 6, 12, 1, 24, 24, 4, 1, false};
constexpr ClassTable kRostrel9{k9, {4000, 2000, 1750, 1500, 1250, 1012}, {5000, 3000, 2500, 1800, 1200, 812}, {1500, 1000, 900, 750, 625, 378}, false, 6, 12, 1, 24, 24, 4, 1, false};
constexpr ClassTable kRostrel10{k10, {3000, 2000, 1750, 1500, 1250, 916}, {5000, 3000, 2500, 2000, 1500, 916}, {3000, 1750, 1500, 1250, 900, 604}, false, 6, 12, 1, 24, 24, 4, 1, true};
constexpr ClassTable kPelvane8{k8, {1500, 1250, 1000, 750, 500, 220}, {2000, 1800, 1500, 1200, 800, 416}, {600, 500, 400, 350, 300, 225}, true, 4, 8, 4, 32, 40, 3, 2, false};
constexpr ClassTable kPelvane9{k9, {1500, 1250, 1000, 750, 500, 220}, {2000, 1800, 1500, 1200, 800, 416}, {600, 500, 400, 300, 250, 200}, true, 4, 8, 4, 32, 32, 3, 2, false};
constexpr ClassTable kPelvane10{k10, {1500, 1250, 1000, 750, 500, 220}, {2000, 1800, 1500, 1200, 800, 416}, {600, 500, 400, 300, 200, 104}, true, 4, 8, 4, 32, 32, 3, 2, false};

uint32_t sizeIndex(const SensorContext& ctx) { return std::min<uint32_t>(ctx.index, 2); }
bool binned(const SensorContext& ctx) { return ctx.index > 0 && !ctx.skip; }
uint16_t readMode(const SensorContext& ctx) {
  return static_cast<uint16_t>(65 * kReadIncrement[sizeIndex(ctx)] + (binned(ctx) ? kBinReadMode : 0));
}
uint16_t speedWord(const SensorContext& ctx) { return binned(ctx) ? kBinWord : kSkipWord; }
uint16_t u16(uint32_t v) { return static_cast<uint16_t>(v); }

template <const ClassTable& C>
uint16_t multiplierAt(uint32_t index) { return index == 2 ? C.quarterMultiplier : C.multiplier; }

template <const ClassTable& C>
void startProgram(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(std::array{Write(kSoftReset, kHeld), Wait(100), Write(kStreaming, 0), Write(kHold, kHeld),
                     Write(0x0300, C.pllDivider), Write(0x0302, 1), Write(0x0308, C.outputDivider), Write(0x030A, 1),
                     Write(0x0304, C.inputDivider), Write(0x0306, multiplierAt<C>(ctx.index)), Write(kHold, 0), Wait(20),
                     Write(0x31AE, 0x0301), Write(0x3064, 0x0805), Write(0x3170, 0x0071), Write(kControl, 0x10DE)});
}

void noSpeed(ProgramBuffer&, const SensorContext&, uint16_t) {}

SensorRect alignWindow(const SensorContext&, const SensorRect& r) {
  return SensorRect{r.left & ~1u, r.top & ~1u, r.right + (r.right & 1u), r.bottom + (r.bottom & 1u)};
}

template <const ClassTable& C>
uint32_t lineLength(const SensorContext& ctx, uint16_t speed, uint32_t width) {
  const size_t s = std::min<size_t>(speed, 5);
  const uint32_t half = width / 2;
  switch (sizeIndex(ctx)) {
    case 0: return std::max({2 * (uint32_t{C.k0[s]} + width), 1648u, half + 1134});
    case 1: return std::max(2 * width + C.k1[s], half + (binned(ctx) ? 1632u : 1648u));
    default: return std::max(2 * (uint32_t{C.k2[s]} + width), half + (binned(ctx) ? 1632u : 1648u));
  }
}

// Window, read mode, output size, frame and line length in one held group, so the sensor never
// latches half of them.
template <const ClassTable& C>
void regionProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint16_t speed, const SensorRect& window) {
  const uint32_t i = sizeIndex(ctx);
  const Size size = C.sensor.sizes[i];
  const bool whole = !window.left && !window.top && !window.right && !window.bottom;
  const SensorRect w = whole ? SensorRect{0, 0, size.width, size.height} : window;
  const uint16_t width = u16(w.right - w.left), height = u16(w.bottom - w.top);
  const uint32_t f = kScale[i], inner = 2 * f - 1;
  const Offset o = C.sensor.offsets[i];
  const uint32_t xStart = f * (w.left + o.xs);
  const uint32_t yStart = (i == 2 && C.sensor.quarterRowStart) ? f * w.top + C.sensor.quarterRowStart : f * (w.top + o.ys);
  const uint32_t line = lineLength<C>(ctx, speed, width);
  out.add(std::array{Write(kHold, kHeld), Write(0x0344, u16(xStart)), Write(0x0348, u16(xStart + f * width - inner)),
                     Write(0x0346, u16(yStart)), Write(0x034A, u16(yStart + f * height - inner)), Write(kReadMode, readMode(ctx)),
                     Write(kSpeedWord, speedWord(ctx)), Write(0x0400, 0), Write(0x0404, 16), Write(0x034C, width),
                     Write(0x034E, height), Write(kFrameLength, u16(height + kFrameExtra[i])), Write(kLineLength, u16(line)),
                     Write(kHold, 0)});
  state.lineClock = state.lineClockWritten = line;
  state.activeWidth = width;
}

// The whole resolution's window at the slowest line; the flows program the region's instead.
template <const ClassTable& C>
void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  SensorState scratch;
  regionProgram<C>(out, scratch, ctx, 0, SensorRect{});
}

template <const ClassTable& C>
void stillProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx) {
  const uint32_t i = sizeIndex(ctx);
  const StillWindow& s = C.sensor.stills[i];
  const Size size = C.sensor.sizes[i];
  const uint16_t line = C.twin ? s.lineTwin : s.lineRostrel;
  out.add(std::array{Write(kHold, kHeld), Write(0x0344, s.xStart), Write(0x0348, s.xEnd), Write(0x0346, s.yStart),
                     Write(0x034A, s.yEnd), Write(kReadMode, readMode(ctx)), Write(kSpeedWord, speedWord(ctx)), Write(0x0400, 0),
                     Write(0x0404, 16), Write(0x034C, size.width), Write(0x034E, size.height), Write(kLineLength, line),
                     Write(kFrameLength, s.frameLength), Write(kHold, 0)});
  state.lineClock = state.lineClockWritten = line;
  state.activeWidth = size.width;
}

// The exposure clock is the one the start-up programmed, whatever size runs now; binning reads
// two lines per line length. Long exposures on short lines saturate the 16-bit count.
template <const ClassTable& C>
void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint32_t timeUs, uint16_t) {
  const uint64_t line = uint64_t{state.lineClock} * (binned(ctx) ? 2 : 1);
  if (line == 0) return;  // no window programmed yet
  const uint64_t clock = uint64_t{multiplierAt<C>(state.clockIndex)} * C.clockNum / C.clockDen;
  const uint64_t lines = std::min<uint64_t>((uint64_t{timeUs} * clock + line / 2) / line, kMaxLines);
  out.add(Write(kIntegration, u16(static_cast<uint32_t>(lines))));
}

// The doubling rule: analog steps doubling per band, the digital gain above.
uint16_t doublingCode(uint32_t g) {
  const uint32_t y = g * 105 / 100;
  if (y < 127) return u16(0x1000 + y);
  if (y < 254) return u16(0x1080 + y / 2);
  if (y < 508) return u16(0x1180 + y / 4);
  if (y < 1016) return u16(0x1980 + y / 8);
  if (y < 2032) return u16(0x2980 + y / 8);
  return 105;
}
// The seven-band rule: the band number in the top nibble, the step within it below.
uint16_t bandCode(uint32_t g) {
  const uint32_t y = g * 105 / 100;
  for (uint32_t band = 1; band <= 7; ++band)
    if (y < 127 * band) return u16(0x1000 * band + y / band);
  return 105;
}

// Green, blue and red at fixed ratios to green, inside one held group.
template <const ClassTable& C>
void gainProgram(ProgramBuffer& out, uint16_t percent) {
  const auto code = C.wideGainRule ? bandCode : doublingCode;
  const auto ratio = [&](uint32_t hundredths) {
    return C.twin ? percent * hundredths / 100 : static_cast<uint32_t>(percent * (hundredths / 100.0));
  };
  out.add(std::array{Write(kHold, kHeld), Write(0x3056, code(percent)), Write(0x3058, code(ratio(115))),
                     Write(0x305A, code(ratio(158))), Write(0x305C, code(percent)), Write(kHold, 0)});
}

constexpr std::array kStop{Write(kSoftReset, kHeld), Wait(100)};
std::span<const RegStep> stopProgram() { return kStop; }
void switchTail(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Wait(30), Write(kControl, 0x10DE)}); }

// Five quick polls, then the slower one; a sensor silent for 3 s fails the open.
constexpr ReadyWait kReady{0x2C, 50, 3000, 5, 30};

template <const ClassTable& C>
constexpr SensorDriver kDriver{.startProgram = startProgram<C>,
                               .speedProgram = noSpeed,
                               .windowProgram = windowProgram<C>,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram<C>,
                               .gainProgram = gainProgram<C>,
                               .switchTail = switchTail,
                               .readyWait = &kReady,
                               .stillSettleMs = 5,
                               .alignWindow = alignWindow,
                               .regionProgram = regionProgram<C>,
                               .stillProgram = stillProgram<C>,
                               .speedMarksRoiPending = true,
                               .regionAtOpen = true,
                               .stillHandsOver = true};

}  // namespace

const SensorDriver& Usb2SensorRostrel8Mp() { return kDriver<kRostrel8>; }
const SensorDriver& Usb2SensorRostrel9Mp() { return kDriver<kRostrel9>; }
const SensorDriver& Usb2SensorRostrel10Mp() { return kDriver<kRostrel10>; }
const SensorDriver& Usb2SensorPelvane8Mp() { return kDriver<kPelvane8>; }
const SensorDriver& Usb2SensorPelvane9Mp() { return kDriver<kPelvane9>; }
const SensorDriver& Usb2SensorPelvane10Mp() { return kDriver<kPelvane10>; }
// clang-format on
