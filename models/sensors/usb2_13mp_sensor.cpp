// The USB2 1.3 MP paged colour sensor: page register 0xF0, the speed as a bridge clock code, and
// an exposure in lines of a 24 MHz line period that is the same at every resolution.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_13mp_sensor.h"

#include <algorithm>
#include <array>

#include "models/common/model_math.h"

namespace {

constexpr uint16_t kPage = 0xF0, kReset = 0x0D, kReadMode = 0x20, kBlanking = 0x05, kLines = 0x09;
constexpr uint32_t kClockMHz = 24;
// Line period by bridge clock code 1, 2, 3.
constexpr std::array<uint32_t, 3> kLineByCode{6704, 3352, 1676};

constexpr std::array kStart{
    Write(kPage, 0x0000), Write(kReset, 0x0009), Wait(50), Write(kReset, 0x0029), Wait(50),
    Write(kReset, 0x0008), Wait(100),
    Write(0x30, 0x0400), Write(0x5F, 0x0000), Write(kPage, 0x0001), Write(0x06, 0x0010),
    Write(0x3A, 0x0600), Write(0x9B, 0x1602), Write(0x4C, 0x0001), Write(0x4D, 0x0001),
    Write(kPage, 0x0000), Write(0xC8, 0x9F0B), Write(kPage, 0x0000),
    Write(0x01, 0x0008), Write(0x03, 0x0400), Write(0x04, 0x0500)};

// Read-out reduction and blanking by index: the line stays 1668 pixel clocks long at each.
struct Mode {
  uint16_t readMode;
  uint16_t blanking;
};
constexpr std::array<Mode, 3> kModes{{{0x0000, 388}, {0x000C, 1028}, {0x0030, 1348}}};

void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart); }

void windowProgram(ProgramBuffer& out, const SensorContext& ctx) {
  const Mode& m = kModes[std::min<size_t>(ctx.index, kModes.size() - 1)];
  out.add(std::array{Write(kReadMode, m.readMode), Write(kBlanking, m.blanking)});
}

// The twins start their speed levels at different clock codes.
template <uint16_t FirstCode>
uint16_t clockCode(uint16_t speed) {
  return static_cast<uint16_t>(std::min<uint32_t>(uint32_t{speed} + FirstCode, kLineByCode.size()));
}

template <uint16_t FirstCode>
void speedProgram(ProgramBuffer& out, const SensorContext&, uint16_t speed) {
  out.add(BridgeClock(clockCode<FirstCode>(speed)));
}

template <uint16_t FirstCode>
void exposureProgram(ProgramBuffer& out, SensorState&, const SensorContext&, uint32_t timeUs, uint16_t speed) {
  const uint32_t line = kLineByCode[clockCode<FirstCode>(speed) - 1u];
  out.add(std::array{Write(kPage, 0), Write(kLines, static_cast<uint16_t>(ModelMath::roundedLines(timeUs, kClockMHz, line)))});
}

constexpr std::array<GainSegment, 3> kGainSegments{{{1, 127, 1, 0}, {128, 255, 2, 128}, {256, 511, 4, 384}}};
constexpr GainCurve kGainCurve{44, kGainSegments, 44};
constexpr std::array<uint16_t, 4> kGains{0x2B, 0x2C, 0x2D, 0x2E};
constexpr std::array<double, 4> kGainRatio{1.0, 1.41, 1.38, 1.0};

void gainProgram(ProgramBuffer& out, uint16_t percent) {
  out.add(Write(kPage, 0));
  for (size_t i = 0; i < kGains.size(); ++i)
    out.add(Write(kGains[i], ModelMath::gainCode(kGainCurve, ModelMath::scaledPercent(percent, kGainRatio[i]))));
}

// The stream starts once the sensor runs: after a settle, system init 3.
void openTail(ProgramBuffer& out, const SensorContext&) {
  out.add(std::array{Wait(400), Request(kRequestSystemInit, 3)});
}

constexpr std::array kStop{Write(kPage, 0), Write(kReset, 1)};
std::span<const RegStep> stopProgram() { return kStop; }

template <uint16_t FirstCode>
constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram<FirstCode>,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram<FirstCode>,
                               .gainProgram = gainProgram,
                               .openTail = openTail,
                               .windowAtReinit = true,
                               .lineBySpeed = false};

}  // namespace

const SensorDriver& Usb2Sensor13MpRostrel() { return kDriver<1>; }
const SensorDriver& Usb2Sensor13MpPelvane() { return kDriver<2>; }
// clang-format on
