// The two USB3 3.1 MP classes: one shared description, each twin differing only in its catalogue
// row.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/model_descriptor.h"
#include "models/model_factories.h"
#include "models/sensors/usb3_31mp_sensor.h"

namespace usb3_31mp {

// Raw 8-bit, anti-flicker, low latency, the USB3 link: the class's word before the USB2 fix-up.
inline constexpr uint64_t kClassFlags =
    LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ | LUMORIX_FLAG_NOLATENCY | LUMORIX_FLAG_USB3;
inline constexpr std::array<ResolutionRatio, 2> kRatios{{{1, 1}, {2, 1}}};
inline constexpr std::array<uint32_t, 2> kMaxFrameRate{28, 60};
inline constexpr std::array<LutAnchor, 15> kRawLut{{{0, 0},
                                                    {1, 0},
                                                    {2, 1},
                                                    {4, 2},
                                                    {6, 4},
                                                    {8, 6},
                                                    {16, 15},
                                                    {32, 33},
                                                    {48, 51},
                                                    {64, 67},
                                                    {96, 99},
                                                    {128, 132},
                                                    {160, 162},
                                                    {192, 192},
                                                    {255, 255}}};

constexpr ModelSpec describe(ModelFactory factory) {
  return ModelSpec{
      .factory = factory,
      .sensor = Usb3Sensor31Mp,
      .ratios = kRatios,
      .maxFrameRate = kMaxFrameRate,
      .rawFrameBytes = 3144192,
      .transferSize = 262144,
      .defaultPreviewIndex = 0,
      .bayer = 0,
      .defectModes = 2,
      .defaultSpeed = 2,
      .exposureUs = {100, 2000000, 94000},
      .gainPercent = {100, 300, 100},
      .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0},
      .triggerModeTimeUs = 2000000,
      .videoModeTimeUs = 94000,
      .presetTriggerTimeUs = 5000000,
      .presetAeThreshold = 5,
      .inEndpoint = 1,
      .wbBase = {372, 256, 379},
      .colourMatrix = {1.343064, -0.187384, -0.15568, -0.412542, 1.377785, 0.034757, -0.140301,
                       -0.412295, 1.552596},
      .rawLutAnchors = kRawLut,
      .helperFlags = kClassFlags,
      .helperDoubles = {0.5, 1.0, 1.0},
      .presetLineClock = 2300,
      .presetLineWritten = true,
  };
}

}  // namespace usb3_31mp

inline constexpr ModelSpec kSpecRostrel303100KPA = usb3_31mp::describe(CreateRostrel303100KPA);
inline constexpr ModelSpec kSpecPelvane303100KPA = usb3_31mp::describe(CreatePelvane303100KPA);
