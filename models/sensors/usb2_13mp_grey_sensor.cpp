// The USB2 1.3 MP monochrome sensor: a fixed 1280 x 1024 frame, the speed as horizontal blanking
// after a bridge clock request, and one global gain.
// Hand-aligned tables read better as columns.
// clang-format off
#include "models/sensors/usb2_13mp_grey_sensor.h"

#include <array>

#include "models/common/model_math.h"

namespace {

constexpr uint16_t kHBlank = 0x05, kLines = 0x09, kReset = 0x0D, kGain = 0x35;
constexpr uint32_t kClockMHz = 24;
constexpr uint16_t kSlowBlank = 1472, kFastBlank = 48;
constexpr uint32_t kSlowLine = 2977, kFastLine = 1553;

constexpr std::array kStart{
    Write(kReset, 1), Wait(300), Write(kReset, 0),
    Write(0x29, 0x0001), Write(0x3F, 0x0000), Write(0x40, 0x0006), Write(0x4A, 0x0060), Write(0x4E, 0x000C), Write(0x5F, 0x0000)};
void startProgram(ProgramBuffer& out, const SensorContext&) { out.add(kStart); }

constexpr std::array kWindow{
    Write(0x01, 12), Write(0x02, 20), Write(0x03, 1023), Write(0x04, 1279), Write(kHBlank, kFastBlank), Write(0x06, 40),
    Write(0x20, 0x9104)};
void windowProgram(ProgramBuffer& out, const SensorContext&) { out.add(kWindow); }

void speedProgram(ProgramBuffer& out, const SensorContext&, uint16_t speed) {
  out.add(std::array{BridgeClock(0), Write(kHBlank, speed == 0 ? kSlowBlank : kFastBlank)});
}

void exposureProgram(ProgramBuffer& out, SensorState&, const SensorContext&, uint32_t timeUs, uint16_t speed) {
  const uint32_t line = speed == 1 ? kFastLine : kSlowLine;
  out.add(Write(kLines, static_cast<uint16_t>(ModelMath::roundedLines(timeUs, kClockMHz, line))));
}

// v = 0 takes the coarse band's formula (64); from 62 the code holds at 96.
constexpr std::array<GainSegment, 4> kGainSegments{{{1, 31, 1, 0}, {0, 0, 2, 64}, {32, 61, 2, 64}, {62, 0xFFFFFFFFu, 0, 96}}};
constexpr GainCurve kGainCurve{20, kGainSegments, 96};

void gainProgram(ProgramBuffer& out, uint16_t percent) { out.add(Write(kGain, ModelMath::gainCode(kGainCurve, percent))); }

void openTail(ProgramBuffer& out, const SensorContext&) { out.add(std::array{Wait(50), Request(kRequestSystemInit, 3)}); }

constexpr std::array kStop{Write(0x00, 3)};
std::span<const RegStep> stopProgram() { return kStop; }

constexpr SensorDriver kDriver{.startProgram = startProgram,
                               .speedProgram = speedProgram,
                               .windowProgram = windowProgram,
                               .stopProgram = stopProgram,
                               .exposureProgram = exposureProgram,
                               .gainProgram = gainProgram,
                               .openTail = openTail,
                               .windowAtReinit = true,
                               .lineBySpeed = false};

}  // namespace

const SensorDriver& Usb2Sensor13MpGrey() { return kDriver; }
// clang-format on
