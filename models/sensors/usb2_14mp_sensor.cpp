// The USB2 14 MP colour sensor: the chip chooses the start-up, clock tree, window and exposure
// clock; the speed chooses the line length (and on the Rostrel's standard chip the multiplier).
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_14mp_sensor.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kStreaming = 0x0100, kSoftReset = 0x0103, kHold = 0x0104, kHeld = 0x0100;
constexpr uint16_t kControl = 0x301A, kLineLength = 0x300C, kIntegration = 0x3012;
constexpr uint16_t kMultiplier = 0x0306, kReadMode = 0x3040;
constexpr uint32_t kMaxLines = 65535;
constexpr uint16_t kDefaultLine = 4500;

uint16_t streamingControl(const SensorContext& ctx) { return ctx.alternative ? 0x001E : 0x10DE; }
uint32_t sizeIndex(const SensorContext& ctx) { return std::min<uint32_t>(ctx.index, 2); }
bool binned(const SensorContext& ctx) { return ctx.index > 0 && !ctx.skip; }

// 0x0300, 0x0302, 0x0308, 0x030A, 0x0304, 0x0306 by class and chip.
constexpr std::array<uint16_t, 6> kPllRegs{0x0300, 0x0302, 0x0308, 0x030A, 0x0304, kMultiplier};
constexpr std::array<uint16_t, 6> kPllRostrel{8, 1, 8, 2, 4, 128};
constexpr std::array<uint16_t, 6> kPllPelvane{8, 2, 8, 4, 4, 128};
constexpr std::array<uint16_t, 6> kPllAlternative{4, 2, 12, 2, 8, 48};

template <bool Twin>
void startProgram(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(std::array{Write(kSoftReset, kHeld), Wait(100)});
  if (ctx.alternative)
    out.add(std::array{Write(kStreaming, 0), Write(0x31C6, 0x8006), Write(0x0112, 0x0C0C), Write(0x31C0, 0),
                       Write(0x3140, 0x2214), Write(0x304A, 0x0010), Wait(30)});
  else
    out.add(std::array{Write(0x30E8, 0x8000), Write(0x0112, 0x0C0C), Write(kControl, 0x0010), Write(0x3064, 0x0805),
                       Write(0x301E, 0x00A8), Write(0x31AE, 0x0301), Write(0x3176, 0x4000)});
  out.add(std::array{Write(kStreaming, 0), Write(kHold, kHeld), Wait(10)});
  const auto& pll = ctx.alternative ? kPllAlternative : Twin ? kPllPelvane : kPllRostrel;
  for (size_t i = 0; i < kPllRegs.size(); ++i) out.add(Write(kPllRegs[i], pll[i]));
  if (Twin) out.add(Wait(5));
  out.add(std::array{Write(kHold, 0), Wait(20)});
}

struct Window { uint16_t xSpan, yEnd, width, height, frameLength; };
constexpr std::array<Window, 3> kWindows{{{4095, 3319, 4096, 3288, 3434}, {4093, 3317, 2048, 1644, 1800}, {4089, 3313, 1024, 822, 980}}};
constexpr std::array<uint16_t, 3> kReadIncrement{1, 3, 7};
// The alternative chip starts 2 columns earlier, reads 4 more and is told its size first.
constexpr uint16_t kXStart = 288, kAltXStart = 286, kAltExtraColumns = 4;

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const uint32_t i = sizeIndex(ctx);
  const Window& w = kWindows[i];
  const uint16_t extra = ctx.alternative ? kAltExtraColumns : 0;
  const uint16_t xStart = ctx.alternative ? kAltXStart : kXStart;
  if (ctx.alternative) out.add(Request(kRequestResMode, static_cast<uint16_t>(i)));
  out.add(std::array{Write(kStreaming, 0), Write(kHold, kHeld), Write(0x0344, xStart),
                     Write(0x0348, static_cast<uint16_t>(xStart + w.xSpan + extra)), Write(0x0346, 32), Write(0x034A, w.yEnd)});
  const uint16_t mode = static_cast<uint16_t>(65 * kReadIncrement[i] + (binned(ctx) ? (ctx.alternative ? 0x0400 : 0x0800) : 0));
  if (ctx.alternative)
    out.add(Write(kReadMode, static_cast<uint16_t>(mode + 0x0200)));
  else
    out.add(std::array{Write(kReadMode, mode), Write(0x3016, binned(ctx) ? 530 : 273)});
  out.add(std::array{Write(0x0400, 0), Write(0x0404, 16), Write(0x034C, static_cast<uint16_t>(w.width + extra)),
                     Write(0x034E, w.height), Write(0x300A, w.frameLength), Write(kHold, 0)});
}

void startTail(ProgramBuffer& out, const SensorContext& ctx) { out.add(std::array{Write(kControl, streamingControl(ctx)), Wait(30)}); }

// Line lengths by speed at the full, half and quarter sizes.
using Lines = std::array<std::array<uint16_t, 3>, 6>;
constexpr Lines kAltLines{{{6600, 4200, 3000}, {5700, 3600, 2700}, {5400, 3300, 2400}, {5100, 3000, 2100}, {4800, 2700, 1800}, {4500, 2400, 1500}}};
constexpr Lines kRostrelLines{{{13000, 6000, 3500}, {13000, 6000, 3500}, {11000, 5500, 3000}, {13000, 6000, 3500}, {11000, 5500, 3000}, {10500, 5300, 2800}}};
constexpr Lines kPelvaneLines{{{9300, 5200, 3200}, {9100, 5000, 3000}, {8900, 4800, 2800}, {8700, 4600, 2600}, {8500, 4400, 2400}, {8300, 4200, 2200}}};
constexpr uint16_t kTwinAltSlowestFull = 6000;
constexpr std::array<uint16_t, 6> kRostrelMultiplier{80, 112, 112, 128, 128, 128};
constexpr std::array<uint32_t, 6> kRostrelClock{60, 84, 84, 96, 96, 96};
constexpr uint32_t kAltClock = 36, kTwinClock = 48;

template <bool Twin>
uint32_t lineClock(const SensorContext& ctx, uint16_t speed) {
  const uint32_t i = sizeIndex(ctx);
  if (ctx.alternative) {
    if (speed >= kAltLines.size()) return kDefaultLine;
    const uint32_t line = Twin && speed == 0 && i == 0 ? kTwinAltSlowestFull : kAltLines[speed][i];
    return binned(ctx) ? 2 * line : line;
  }
  const size_t s = std::min<size_t>(speed, 5);
  return (Twin ? kPelvaneLines : kRostrelLines)[s][i];
}

// Only records: the speed program writes the line with what must surround it.
void lineLengthWrite(ProgramBuffer&, SensorState& state, uint32_t line) { state.lineClockWritten = line; }

template <bool Twin>
void speedProgram(ProgramBuffer& out, const SensorContext& ctx, uint16_t speed) {
  const uint16_t line = static_cast<uint16_t>(lineClock<Twin>(ctx, speed));
  if (ctx.alternative) return out.add(std::array{Write(kLineLength, line), Wait(20)});
  out.add(Write(kStreaming, 0));
  if (Twin) return out.add(std::array{Write(kLineLength, line), Wait(20), Write(kStreaming, 0x0100), Wait(30)});
  const uint16_t multiplier = speed < kRostrelMultiplier.size() ? kRostrelMultiplier[speed] : 128;
  out.add(std::array{Write(kMultiplier, multiplier), Write(kLineLength, line), Wait(30), Write(kStreaming, 0x0100)});
}

// In double, truncated; long exposures on short lines saturate the 16-bit count.
template <bool Twin>
void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  if (state.lineClock == 0) return;  // no line length programmed yet
  const uint32_t clock = ctx.alternative ? kAltClock : Twin ? kTwinClock : kRostrelClock[std::min<size_t>(speed, 5)];
  const double lines = std::min(double(timeUs) * clock / state.lineClock, double(kMaxLines));
  out.add(Write(kIntegration, static_cast<uint16_t>(lines)));
}

uint16_t gainCode(uint32_t percent) {
  const uint32_t y = percent * 105 / 100;
  for (uint32_t band = 1; band <= 4; ++band)
    if (y < 127 * band) return static_cast<uint16_t>(0x1000 * band + y / band);
  return 127;
}

void gainProgram(ProgramBuffer& out, uint16_t percent) {
  out.add(std::array{Write(kHold, kHeld), Write(0x3056, gainCode(percent)),
                     Write(0x3058, gainCode(static_cast<uint32_t>(percent * 1.515))),
                     Write(0x305A, gainCode(static_cast<uint32_t>(percent * 1.56))), Write(0x305C, gainCode(percent)),
                     Write(kHold, 0)});
}

constexpr std::array kStop{Write(kSoftReset, kHeld), Wait(100)};
std::span<const RegStep> stopProgram() { return kStop; }

void openTail(ProgramBuffer& out, const SensorContext&) {
  out.add(std::array{Wait(10), Write(kStreaming, 0), Wait(10), Write(kStreaming, 0x0100), Wait(10)});
}
template <bool Twin>
void switchTail(ProgramBuffer& out, const SensorContext& ctx) {
  out.add(Wait(100));
  out.add(Twin ? Write(kControl, streamingControl(ctx)) : Write(kStreaming, 0x0100));
  out.add(Wait(100));
}
void skipHead(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Write(kStreaming, 0), Wait(10)}); }
void skipTail(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Write(kStreaming, 0x0100), Wait(10)}); }

constexpr ReadyWait kReady{0x2E, 50, 3000};

template <bool Twin>
constexpr SensorDriver kDriver{.startProgram = startProgram<Twin>,
                               .speedProgram = speedProgram<Twin>,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .lineClock = lineClock<Twin>,
                               .lineLengthWrite = lineLengthWrite,
                               .exposureProgram = exposureProgram<Twin>,
                               .gainProgram = gainProgram,
                               .startTail = startTail,
                               .openTail = openTail,
                               .switchTail = switchTail<Twin>,
                               .skipHead = skipHead,
                               .skipTail = skipTail,
                               .readyWait = &kReady,
                               .windowAtReinit = true,
                               .lineBySpeed = true};

}  // namespace

const SensorDriver& Usb2Sensor14MpRostrel() { return kDriver<false>; }
const SensorDriver& Usb2Sensor14MpPelvane() { return kDriver<true>; }
// clang-format on
