// The four USB3 8.5 MP and 10 MP classes: one description over the two sensors; the twins differ in
// their catalogue rows, the Pelvane 8.5 MP in its raw buffer and the Pelvane 10 MP in keeping a
// halved exposure's longer line.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/model_descriptor.h"
#include "models/model_factories.h"
#include "models/sensors/usb3_85_10mp_sensor.h"

namespace usb3_85_10mp {

// Raw 8-bit, anti-flicker, low latency, skip or bin, the USB3 link.
inline constexpr uint64_t kClassFlags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ |
                                        LUMORIX_FLAG_NOLATENCY | LUMORIX_FLAG_SKIP |
                                        LUMORIX_FLAG_USB3;
inline constexpr std::array<ResolutionRatio, 3> kRatios{{{1, 1}, {2, 1}, {4, 1}}};
inline constexpr std::array<uint32_t, 2> kMaxFrameRate85{9, 26};
inline constexpr std::array<uint32_t, 3> kMaxFrameRate10{8, 26, 70};
inline constexpr std::array<LutAnchor, 16> kRawLut{{{0, 0},
                                                    {1, 0},
                                                    {2, 0},
                                                    {3, 0},
                                                    {4, 1},
                                                    {5, 1},
                                                    {6, 1},
                                                    {7, 2},
                                                    {8, 3},
                                                    {9, 4},
                                                    {32, 29},
                                                    {64, 63},
                                                    {128, 127},
                                                    {192, 190},
                                                    {216, 216},
                                                    {255, 255}}};

struct Variant {
  ModelFactory factory;
  const SensorDriver& (*sensor)();
  std::span<const uint32_t> maxFrameRate;
  uint32_t rawFrameBytes;
  uint32_t transferSize;
  uint32_t defectModes;
  std::array<uint8_t, 3> usb2ExtraRows;
  bool keepsHalvedLine;
};

constexpr ModelSpec describe(const Variant& v) {
  return ModelSpec{
      .factory = v.factory,
      .sensor = v.sensor,
      .ratios = kRatios,
      .maxFrameRate = v.maxFrameRate,
      .rawFrameBytes = v.rawFrameBytes,
      .transferSize = v.transferSize,
      .defaultPreviewIndex = 0,
      .bayer = 0,
      .defectModes = v.defectModes,
      .defaultSpeed = 3,
      .exposureUs = {100, 2000000, 150000},
      .gainPercent = {100, 300, 100},
      .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0},
      .triggerModeTimeUs = 2000000,
      .videoModeTimeUs = 150000,
      .presetTriggerTimeUs = 5000000,
      .presetAeThreshold = 5,
      .inEndpoint = 1,
      .wbBase = {0, 0, 0},
      .colourMatrix = {2.08355, -1.15422, 0.0706676, -0.373879, 1.91444, -0.540561, -0.0656124,
                       -0.981795, 2.04741},
      .rawLutAnchors = kRawLut,
      .helperFlags = kClassFlags,
      .helperDoubles = {0.5, 1.0, 1.0},
      .usb2ExtraRows = v.usb2ExtraRows,
      .keepsHalvedLine = v.keepsHalvedLine,
      .presetLineClock = 14880,
      .presetLineWritten = true,
  };
}

// The 8.5 MP on USB2 sends 2 rows more at full size and 4 more at half size.
constexpr Variant k85(ModelFactory factory, uint32_t rawFrameBytes) {
  return {factory, Usb3Sensor85Mp, kMaxFrameRate85, rawFrameBytes, 0x68000, 3, {2, 4, 0}, false};
}
constexpr Variant k10(ModelFactory factory, bool keepsHalvedLine) {
  return {factory, Usb3Sensor10Mp, kMaxFrameRate10, 0x963C00, 0x70000, 5, {}, keepsHalvedLine};
}

}  // namespace usb3_85_10mp

inline constexpr ModelSpec kSpecRostrel308500KPA =
    usb3_85_10mp::describe(usb3_85_10mp::k85(CreateRostrel308500KPA, 0x818D00));
inline constexpr ModelSpec kSpecPelvane308500KPA =
    usb3_85_10mp::describe(usb3_85_10mp::k85(CreatePelvane308500KPA, 0x818000));
inline constexpr ModelSpec kSpecRostrel310000KPA =
    usb3_85_10mp::describe(usb3_85_10mp::k10(CreateRostrel310000KPA, false));
inline constexpr ModelSpec kSpecPelvane310000KPA =
    usb3_85_10mp::describe(usb3_85_10mp::k10(CreatePelvane310000KPA, true));
