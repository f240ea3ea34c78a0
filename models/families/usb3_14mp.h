// The two USB3 14 MP classes: one shared description; each twin names the id base of its
// alternative-chip boards.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/model_descriptor.h"
#include "models/model_factories.h"
#include "models/sensors/usb3_14mp_sensor.h"

namespace usb3_14mp {

// Raw 8-bit, anti-flicker, low latency, skip or bin, the USB3 link.
inline constexpr uint64_t kClassFlags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ |
                                        LUMORIX_FLAG_NOLATENCY | LUMORIX_FLAG_SKIP |
                                        LUMORIX_FLAG_USB3;
inline constexpr std::array<ResolutionRatio, 3> kRatios{{{1, 1}, {2, 1}, {4, 1}}};
inline constexpr std::array<uint32_t, 3> kMaxFrameRate{7, 22, 60};
inline constexpr std::array<LutAnchor, 14> kRawLut{{{0, 0},
                                                    {9, 0},
                                                    {10, 1},
                                                    {11, 1},
                                                    {12, 1},
                                                    {13, 2},
                                                    {14, 2},
                                                    {15, 3},
                                                    {32, 18},
                                                    {64, 54},
                                                    {128, 120},
                                                    {192, 187},
                                                    {224, 224},
                                                    {255, 255}}};

constexpr ModelSpec describe(ModelFactory factory, uint16_t alternativeIdBase) {
  return ModelSpec{
      .factory = factory,
      .sensor = Usb3Sensor14Mp,
      .ratios = kRatios,
      .maxFrameRate = kMaxFrameRate,
      .rawFrameBytes = 0xCD7200,
      .transferSize = 0x80000,
      .defaultPreviewIndex = 0,
      .bayer = 0,
      .defectModes = 5,
      .defaultSpeed = 3,
      .exposureUs = {100, 2000000, 85000},
      .gainPercent = {100, 300, 100},
      .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0},
      .triggerModeTimeUs = 2000000,
      .videoModeTimeUs = 85000,
      .presetTriggerTimeUs = 5000000,
      .presetAeThreshold = 5,
      .inEndpoint = 1,
      .wbBase = {0, 0, 0},
      .colourMatrix = {2.068172, -0.947522, -0.121386, -0.326285, 1.577588, -0.213528, 0.022662,
                       -0.813646, 1.760265},
      .rawLutAnchors = kRawLut,
      .helperFlags = kClassFlags,
      .helperDoubles = {0.5, 1.0, 1.0},
      .alternativeIdBase = alternativeIdBase,
      .trailerFromRevision3 = false,
      .presetLineClock = 4500,
      .presetLineWritten = true,
  };
}

}  // namespace usb3_14mp

inline constexpr ModelSpec kSpecRostrel314000KPA =
    usb3_14mp::describe(CreateRostrel314000KPA, 0xCB14);
inline constexpr ModelSpec kSpecPelvane314000KPA =
    usb3_14mp::describe(CreatePelvane314000KPA, 0x3B14);
