// The USB2 classes whose sensor window follows the region (3.1, 5.1, 8, 9 and 10 MP) and the 14 MP
// with its two sensor variants: one description each over the sensor drivers; the twins differ in
// their catalogue rows, drivers and frame rates.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/model_descriptor.h"
#include "models/families/usb3_14mp.h"
#include "models/families/usb3_51mp.h"
#include "models/families/usb3_85_10mp.h"
#include "models/families/usb2_raw_curves.h"
#include "models/families/usb2_small.h"
#include "models/model_factories.h"
#include "models/sensors/usb2_2mp_sensor.h"
#include "models/sensors/usb2_14mp_sensor.h"
#include "models/sensors/usb2_51mp_sensor.h"
#include "models/sensors/usb2_8_10mp_sensor.h"

namespace usb2_windowed {

// Raw 8-bit, anti-flicker, window by size, skip or bin; the Rostrel classes low latency.
inline constexpr uint64_t kTwinFlags =
    LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ | LUMORIX_FLAG_BIT3 | LUMORIX_FLAG_SKIP;
inline constexpr uint64_t kRostrelFlags = kTwinFlags | LUMORIX_FLAG_NOLATENCY;
inline constexpr std::array<ResolutionRatio, 3> kRatios{{{1, 1}, {2, 1}, {4, 1}}};
inline constexpr std::array<uint32_t, 3> kRateRostrel89{5, 10, 52};
inline constexpr std::array<uint32_t, 3> kRateRostrel10{5, 15, 48};
inline constexpr std::array<uint32_t, 3> kRateTwin{2, 8, 27};
inline constexpr std::array<double, 9> kMatrix8To10{
    2.08355, -1.15422, 0.0706676, -0.373879, 1.91444, -0.540561, -0.0656124, -0.981795, 2.04741};

struct Variant {
  ModelFactory factory;
  const SensorDriver& (*sensor)();
  std::span<const uint32_t> maxFrameRate;
  uint32_t rawFrameBytes;
  uint32_t transferSize;
  uint32_t defaultExposureUs;
  uint64_t flags;
  uint32_t initialLine;  // the line length before the first start
};

constexpr ModelSpec describe(const Variant& v) {
  return ModelSpec{
      .factory = v.factory,
      .sensor = v.sensor,
      .ratios = kRatios,
      .maxFrameRate = v.maxFrameRate,
      .rawFrameBytes = v.rawFrameBytes,
      .transferSize = v.transferSize,
      .defaultPreviewIndex = 2,
      .bayer = 0,
      .defectModes = 5,
      .defaultSpeed = 5,
      .exposureUs = {400, 2000000, v.defaultExposureUs},
      .gainPercent = {100, 300, 100},
      .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0},
      .triggerModeTimeUs = 2000000,
      .videoModeTimeUs = v.defaultExposureUs,
      .presetTriggerTimeUs = 5000000,
      .presetAeThreshold = 5,
      .inEndpoint = 1,
      .wbBase = {0, 0, 0},
      .colourMatrix = kMatrix8To10,
      .rawLutAnchors = {},
      .rawLut = usb2_raw_curves::kMp8To10,
      .helperFlags = v.flags,
      .helperDoubles = {0.5, 1.0, 1.0},
      .grabTries = 1,
      .trailerFromRevision3 = false,
      .openVariant = OpenVariant::DriverStateInit,
      .haltsBeforeStop = false,
      .presetLineClock = v.initialLine,
      .presetLineWritten = true,
  };
}

constexpr uint32_t kRaw8 = 7994048, kRaw9 = 9128608, kRaw10 = 9852928;

// The 5.1 MP: its window programmed at once; the twin's 0x6510 boards carry their own response.
inline constexpr std::array<uint32_t, 3> kRateRostrel51{7, 20, 56};
inline constexpr std::array<uint32_t, 3> kRateTwin51{5, 18, 60};

constexpr ModelSpec describe51(ModelFactory factory, const SensorDriver& (*sensor)(),
                               std::span<const uint32_t> rates, uint64_t flags,
                               std::array<uint16_t, 3> wbBase, std::array<double, 9> matrix) {
  ModelSpec s = describe({factory, sensor, rates, 5041952, 0x51000, 70000, flags, 0});
  s.presetLineWritten = false;
  s.defaultPreviewIndex = 1, s.bayer = 1, s.defaultSpeed = 6;
  s.exposureUs = {294, 2000000, 70000};
  s.wbBase = wbBase, s.colourMatrix = matrix;
  s.rawLut = usb2_raw_curves::kMp51;
  return s;
}

// The 14 MP: whole-frame windows, its chip asked at every open.
inline constexpr uint64_t kTwinFlags14 =
    LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ | LUMORIX_FLAG_SKIP;
inline constexpr uint64_t kRostrelFlags14 = kTwinFlags14 | LUMORIX_FLAG_NOLATENCY;
inline constexpr std::array<uint32_t, 3> kRateRostrel14{3, 11, 46};
inline constexpr std::array<uint32_t, 3> kRateTwin14{3, 11, 32};
inline constexpr uint32_t kLine14 = 4500;

constexpr ModelSpec describe14(ModelFactory factory, const SensorDriver& (*sensor)(),
                               std::span<const uint32_t> rates, uint64_t flags) {
  ModelSpec s = describe({factory, sensor, rates, 13472256, 0x80000, 85000, flags, kLine14});
  s.aeGainPercent = {100, 300, 0};
  s.colourMatrix = usb3_14mp::describe(factory, 0).colourMatrix;
  s.rawLut = usb2_raw_curves::kMp14;
  s.asksAltSensor = true;
  s.skipAtFullSize = true;
  return s;
}

// The 3.1 MP: on the 2 MP sensor's map, one of three read at index 2; no skip mode.
inline constexpr uint64_t kTwinFlags31 =
    LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ | LUMORIX_FLAG_BIT3;
inline constexpr std::array<ResolutionRatio, 3> kRatios31{{{1, 1}, {2, 1}, {3, 1}}};
inline constexpr std::array<uint32_t, 3> kRateRostrel31{13, 33, 45};
inline constexpr std::array<uint32_t, 3> kRateTwin31{11, 30, 43};
inline constexpr std::array<double, 9> kMatrix31{
    1.464067, -0.603282, 0.139215, -0.285173, 1.233113, 0.05206, -0.059892, -0.868386, 1.928278};

constexpr ModelSpec describe31(ModelFactory factory, const SensorDriver& (*sensor)(),
                               std::span<const uint32_t> rates, uint64_t flags) {
  ModelSpec s = usb2_small::base(factory, sensor, {244, 2000000, 94000}, 500);
  s.ratios = kRatios31, s.maxFrameRate = rates, s.rawFrameBytes = 3148288, s.transferSize = 0x40000;
  s.defaultPreviewIndex = 1, s.defectModes = 3, s.defaultSpeed = 5, s.wbBase = {115, 100, 122};
  s.wbGains = {115, 100, 122};
  s.colourMatrix = kMatrix31, s.rawLutAnchors = usb2_small::kLut2Mp, s.helperFlags = flags;
  s.openVariant = OpenVariant::DriverStateInit;
  s.startsSkipping = true;
  return s;
}

}  // namespace usb2_windowed

inline constexpr ModelSpec kSpecRostrel03100KPA = usb2_windowed::describe31(
    CreateRostrel03100KPA, Usb2Sensor31MpRostrel, usb2_windowed::kRateRostrel31,
    usb2_windowed::kTwinFlags31 | LUMORIX_FLAG_NOLATENCY);
inline constexpr ModelSpec kSpecPelvane03100KPA =
    usb2_windowed::describe31(CreatePelvane03100KPA, Usb2Sensor31MpPelvane,
                              usb2_windowed::kRateTwin31, usb2_windowed::kTwinFlags31);

inline constexpr ModelSpec kSpecRostrel08000KPA = usb2_windowed::describe(
    {CreateRostrel08000KPA, Usb2SensorRostrel8Mp, usb2_windowed::kRateRostrel89,
     usb2_windowed::kRaw8, 0x66000, 6400, usb2_windowed::kRostrelFlags, 8500});
inline constexpr ModelSpec kSpecRostrel09000KPA = usb2_windowed::describe(
    {CreateRostrel09000KPA, Usb2SensorRostrel9Mp, usb2_windowed::kRateRostrel89,
     usb2_windowed::kRaw9, 0x6D000, 6400, usb2_windowed::kRostrelFlags, 9000});
inline constexpr ModelSpec kSpecRostrel10000KPA = usb2_windowed::describe(
    {CreateRostrel10000KPA, Usb2SensorRostrel10Mp, usb2_windowed::kRateRostrel10,
     usb2_windowed::kRaw10, 0x70000, 300000, usb2_windowed::kRostrelFlags, 9000});
inline constexpr ModelSpec kSpecPelvane08000KPB =
    usb2_windowed::describe({CreatePelvane08000KPB, Usb2SensorPelvane8Mp, usb2_windowed::kRateTwin,
                             usb2_windowed::kRaw8, 0x66000, 6400, usb2_windowed::kTwinFlags, 6968});
inline constexpr ModelSpec kSpecPelvane09000KPB =
    usb2_windowed::describe({CreatePelvane09000KPB, Usb2SensorPelvane9Mp, usb2_windowed::kRateTwin,
                             usb2_windowed::kRaw9, 0x6D000, 6400, usb2_windowed::kTwinFlags, 7416});
inline constexpr ModelSpec kSpecPelvane10000KPA = usb2_windowed::describe(
    {CreatePelvane10000KPA, Usb2SensorPelvane10Mp, usb2_windowed::kRateTwin, usb2_windowed::kRaw10,
     0x70000, 300000, usb2_windowed::kTwinFlags, 7608});
inline constexpr ModelSpec kSpecRostrel14000KPA =
    usb2_windowed::describe14(CreateRostrel14000KPA, Usb2Sensor14MpRostrel,
                              usb2_windowed::kRateRostrel14, usb2_windowed::kRostrelFlags14);
inline constexpr ModelSpec kSpecPelvane14000KPA =
    usb2_windowed::describe14(CreatePelvane14000KPA, Usb2Sensor14MpPelvane,
                              usb2_windowed::kRateTwin14, usb2_windowed::kTwinFlags14);
inline constexpr ModelSpec kSpecRostrel05100KPA = usb2_windowed::describe51(
    CreateRostrel05100KPA, Usb2Sensor51MpRostrel, usb2_windowed::kRateRostrel51,
    usb2_windowed::kRostrelFlags, {327, 256, 356},
    {1.568188, -0.353323, -0.214865, -0.287717, 1.377412, -0.089695, -0.013719, -0.478024,
     1.491743});
inline constexpr ModelSpec kSpecPelvane05100KPA = [] {
  ModelSpec s = usb2_windowed::describe51(CreatePelvane05100KPA, Usb2Sensor51MpPelvane,
                                          usb2_windowed::kRateTwin51, usb2_windowed::kTwinFlags,
                                          {334, 256, 353},
                                          {1.605827, -0.486844, -0.118983, -0.286934, 1.391442,
                                           -0.104508, -0.002111, -0.526306, 1.528417});
  s.ownMatrixId = 0x6510;
  s.ownMatrix = {2.05365,  -1.15287,  0.0992214, -0.420908, 1.83723,
                 -0.41632, -0.180996, -1.2638,   2.4448};
  return s;
}();
