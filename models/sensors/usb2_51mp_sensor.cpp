// The USB2 5.1 MP colour sensor: window, read-out mode and blank by size and skip setting; the
// exposure is a row count over the active width plus twice the blank.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_51mp_sensor.h"

#include <algorithm>
#include <array>

namespace {

constexpr uint16_t kRowStart = 0x01, kColumnStart = 0x02, kRows = 0x03, kColumns = 0x04, kBlank = 0x05;
constexpr uint16_t kRostrelBlank2 = 0x06, kShutterUpper = 0x08, kShutter = 0x09, kRestart = 0x0B, kReset = 0x0D;
constexpr uint16_t kPllControl = 0x10, kPllMultiplier = 0x11, kPllDivider = 0x12, kRowMode = 0x22, kColumnMode = 0x23;
constexpr uint16_t kPllBypass = 0x51, kPllOn = 0x53;
constexpr uint32_t kMaxRows = 65535;

struct Size { uint16_t width, height; };
constexpr std::array<Size, 3> kSizes{{{2592, 1944}, {1280, 960}, {640, 480}}};
constexpr std::array<uint32_t, 3> kScale{1, 2, 4};
constexpr std::array<uint16_t, 3> kRowOrigin{54, 66, 66}, kColumnOrigin{16, 32, 32};
constexpr std::array<uint32_t, 3> kAlignStep{2, 4, 8};
// By size: skipping, binning.
constexpr std::array<std::array<uint16_t, 2>, 3> kMode{{{0, 0}, {0x01, 0x11}, {0x03, 0x33}}};
constexpr std::array<std::array<uint16_t, 2>, 3> kBlanks{{{468, 468}, {640, 1860}, {500, 1680}}};

struct Pll { uint16_t m, p; };
using PllRow = std::array<Pll, 7>;
constexpr PllRow kRostrelPll{{{24, 12}, {20, 8}, {24, 9}, {24, 8}, {20, 6}, {28, 8}, {16, 4}}};
constexpr std::array<PllRow, 3> kTwinPll{{
    {{{24, 24}, {28, 24}, {16, 12}, {18, 12}, {21, 12}, {24, 12}, {20, 8}}},
    {{{28, 24}, {30, 24}, {20, 12}, {22, 12}, {24, 12}, {28, 12}, {28, 8}}},
    {{{28, 24}, {30, 24}, {22, 12}, {24, 12}, {26, 12}, {30, 12}, {30, 8}}},
}};

uint32_t sizeIndex(const SensorContext& ctx) { return std::min<uint32_t>(ctx.index, 2); }
uint16_t mode(const SensorContext& ctx) { return kMode[sizeIndex(ctx)][ctx.skip ? 0 : 1]; }
uint16_t blank(const SensorContext& ctx) { return kBlanks[sizeIndex(ctx)][ctx.skip ? 0 : 1]; }
uint16_t u16(uint32_t v) { return static_cast<uint16_t>(v); }

template <bool Twin>
Pll pll(const SensorContext& ctx, uint16_t speed) {
  const size_t s = std::min<size_t>(speed, 6);
  return Twin ? kTwinPll[sizeIndex(ctx)][s] : kRostrelPll[s];
}

void startProgram(ProgramBuffer& out, const SensorContext&) {
  out.add(std::array{Write(kReset, 1), Wait(30), Write(kReset, 0), Wait(30), Write(kPllControl, kPllBypass),
                     Write(kPllMultiplier, 0x1001), Write(kPllDivider, 3), Wait(30), Write(kPllControl, kPllOn), Wait(10),
                     Write(0x49, 0)});
}

template <bool Twin>
void speedProgram(ProgramBuffer& out, const SensorContext& ctx, uint16_t speed) {
  const Pll p = pll<Twin>(ctx, speed);
  out.add(std::array{Write(kPllControl, kPllBypass), Write(kPllMultiplier, u16((p.m << 8) + 1)), Write(kPllDivider, u16(p.p - 1)),
                     Wait(30), Write(kPllControl, kPllOn)});
}

SensorRect alignWindow(const SensorContext& ctx, const SensorRect& r) {
  const uint32_t step = kAlignStep[sizeIndex(ctx)];
  return SensorRect{r.left / step * step, r.top & ~1u, (r.right + step - 1) / step * step, r.bottom + (r.bottom & 1u)};
}

// All zero is the whole size, programmed with its own blank; a region keeps the blank in force
// (the twin writes its size's without keeping it). The Rostrel mirrors a region when the device's
// id is unknown.
template <bool Twin>
void regionProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint16_t, const SensorRect& window) {
  const uint32_t i = sizeIndex(ctx), f = kScale[i];
  const bool whole = !window.left && !window.top && !window.right && !window.bottom;
  SensorRect w = whole ? SensorRect{0, 0, kSizes[i].width, kSizes[i].height} : window;
  if (!Twin && !whole && ctx.productId == 0) w = SensorRect{kSizes[i].width - w.right, w.top, kSizes[i].width - w.left, w.bottom};
  const uint32_t width = u16(w.right - w.left), height = u16(w.bottom - w.top);
  if (whole) state.lineBlank = blank(ctx);
  const uint16_t blankNow = Twin ? blank(ctx) : u16(state.lineBlank);
  out.add(std::array{Write(kRowStart, u16(f * w.top + kRowOrigin[i])), Write(kColumnStart, u16(f * w.left + kColumnOrigin[i])),
                     Write(kRows, u16(f * height - 1)), Write(kColumns, u16(f * width - 1)), Write(kRowMode, mode(ctx)),
                     Write(kColumnMode, mode(ctx)), Write(kBlank, blankNow)});
  if (!Twin) out.add(Write(kRostrelBlank2, 48));
  state.activeWidth = width;
}

template <bool Twin>
void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  SensorState scratch;
  regionProgram<Twin>(out, scratch, ctx, 0, SensorRect{});
}

void modeProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx) {
  state.lineBlank = blank(ctx);
  out.add(std::array{Write(kRowMode, mode(ctx)), Write(kColumnMode, mode(ctx)), Write(kBlank, blank(ctx))});
}

// Rows of the active width plus both blanks at F = 12 M / P pixel clocks per microsecond; the
// count saturates at the 16 bits the shutter register holds.
template <bool Twin>
void exposureProgram(ProgramBuffer& out, SensorState& state, const SensorContext& ctx, uint32_t timeUs, uint16_t speed) {
  const Pll p = pll<Twin>(ctx, speed);
  const uint64_t clock = 12ull * p.m / p.p;
  const uint64_t line = uint64_t{state.activeWidth} + 2ull * state.lineBlank;
  const uint64_t rows = line ? std::min<uint64_t>((clock * timeUs + line / 2) / line, kMaxRows) : 0;
  out.add(std::array{Write(kShutterUpper, 0), Write(kShutter, u16(static_cast<uint32_t>(rows)))});
}

uint16_t gainCode(uint32_t x) {
  const uint32_t c = x * 12 / 100;
  if (c >= 8 && c <= 63) return u16(0x100 + c);
  if (c >= 64 && c <= 119) return u16(0x100 + c / 2 + 64);
  return 0x100 + 12;
}

void gainProgram(ProgramBuffer& out, uint16_t percent) {
  out.add(std::array{Write(0x2B, gainCode(percent)), Write(0x2C, gainCode(static_cast<uint32_t>(percent * 1.41))),
                     Write(0x2D, gainCode(static_cast<uint32_t>(percent * 1.42))), Write(0x2E, gainCode(percent))});
}

constexpr std::array kStop{Write(kReset, 1), Wait(10), Write(kReset, 0)};
std::span<const RegStep> stopProgram() { return kStop; }
void switchTail(ProgramBuffer& out, const SensorContext&) { out.add(Write(kRestart, 1)); }

template <bool Twin>
constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram<Twin>,
                               .windowProgram = windowProgram<Twin>,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram<Twin>,
                               .gainProgram = gainProgram,
                               .switchTail = switchTail,
                               .alignWindow = alignWindow,
                               .regionProgram = regionProgram<Twin>,
                               .modeProgram = modeProgram,
                               .regionAtOpen = false};

}  // namespace

const SensorDriver& Usb2Sensor51MpRostrel() { return kDriver<false>; }
const SensorDriver& Usb2Sensor51MpPelvane() { return kDriver<true>; }
// clang-format on
