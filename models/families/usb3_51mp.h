// The two USB3 5.1 MP classes: one shared description, each twin differing only in its catalogue
// row and, on the Pelvane, the id of its alternative board.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/model_descriptor.h"
#include "models/model_factories.h"
#include "models/sensors/usb3_51mp_sensor.h"

namespace usb3_51mp {

// Raw 8-bit, anti-flicker, low latency, skip or bin, the USB3 link.
inline constexpr uint64_t kClassFlags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ |
                                        LUMORIX_FLAG_NOLATENCY | LUMORIX_FLAG_SKIP |
                                        LUMORIX_FLAG_USB3;
inline constexpr std::array<ResolutionRatio, 3> kRatios{{{1, 1}, {2, 1}, {4, 1}}};
inline constexpr std::array<uint32_t, 3> kMaxFrameRate{15, 30, 102};
inline constexpr std::array<LutAnchor, 16> kRawLut{{{0, 0},
                                                    {1, 0},
                                                    {2, 1},
                                                    {3, 1},
                                                    {4, 2},
                                                    {5, 2},
                                                    {6, 4},
                                                    {7, 5},
                                                    {8, 6},
                                                    {9, 7},
                                                    {32, 32},
                                                    {64, 66},
                                                    {128, 131},
                                                    {192, 190},
                                                    {216, 216},
                                                    {255, 255}}};

constexpr ModelSpec describe(ModelFactory factory, uint16_t alternativeIdBase) {
  return ModelSpec{
      .factory = factory,
      .sensor = Usb3Sensor51Mp,
      .ratios = kRatios,
      .maxFrameRate = kMaxFrameRate,
      .rawFrameBytes = 4923392,
      .transferSize = 0x50000,
      .defaultPreviewIndex = 1,
      .bayer = 1,
      .defectModes = 5,
      .defaultSpeed = 6,
      .exposureUs = {50, 2000000, 70000},
      .gainPercent = {100, 300, 100},
      .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0},
      .triggerModeTimeUs = 2000000,
      .videoModeTimeUs = 70000,
      .presetTriggerTimeUs = 5000000,
      .presetAeThreshold = 5,
      .inEndpoint = 1,
      .wbBase = {327, 256, 356},
      .colourMatrix = {1.568188, -0.353323, -0.214865, -0.287717, 1.377412, -0.089695, -0.013719,
                       -0.478024, 1.491743},
      .rawLutAnchors = kRawLut,
      .helperFlags = kClassFlags,
      .helperDoubles = {0.5, 1.0, 1.0},
      .alternativeIdBase = alternativeIdBase,
      .grabTries = 1,
  };
}

}  // namespace usb3_51mp

inline constexpr ModelSpec kSpecRostrel305100KPA = usb3_51mp::describe(CreateRostrel305100KPA, 0);
// 0x3511 and 0x4511 boards take no 0x0A write at start-up.
inline constexpr ModelSpec kSpecPelvane305100KPA =
    usb3_51mp::describe(CreatePelvane305100KPA, 0x3511);
