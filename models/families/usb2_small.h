// The eight USB2 small-sensor classes (1.3 MP, its second revision, 2 MP, VGA, 1.3 MP grey): one
// description per class, the twins differing only in their rows.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/model_descriptor.h"
#include "models/model_factories.h"
#include "models/sensors/usb2_13mp_grey_sensor.h"
#include "models/sensors/usb2_13mp_sensor.h"
#include "models/sensors/usb2_13mp_v2_sensor.h"
#include "models/sensors/usb2_2mp_sensor.h"
#include "models/sensors/usb2_vga_sensor.h"

namespace usb2_small {

// Hand-aligned tables read better as columns.
// clang-format off
inline constexpr uint64_t kColourFlags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ;
inline constexpr uint64_t kGreyFlags = kColourFlags | LUMORIX_FLAG_MONO;

inline constexpr std::array<ResolutionRatio, 3> kRatios124{{{1, 1}, {2, 1}, {4, 1}}};
inline constexpr std::array<ResolutionRatio, 2> kRatios11{{{1, 1}, {1, 1}}};
inline constexpr std::array<ResolutionRatio, 2> kRatios12{{{1, 1}, {2, 1}}};

inline constexpr std::array<uint32_t, 3> kRate13{15, 26, 50};
inline constexpr std::array<uint32_t, 1> kRateV2{20};
inline constexpr std::array<uint32_t, 2> kRate2Mp{12, 30};
inline constexpr std::array<uint32_t, 2> kRateVga{30, 80};
inline constexpr std::array<uint32_t, 1> kRateGrey{15};

// The default raw curves: the dark end lifted by the sensor's own black, identity at the top.
inline constexpr std::array<LutAnchor, 26> kLut13{{
    {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 2}, {7, 3}, {8, 3}, {9, 5}, {10, 6}, {11, 7}, {12, 9},
    {13, 10}, {14, 10}, {15, 11}, {120, 118}, {121, 119}, {122, 121}, {123, 122}, {124, 123}, {125, 124},
    {126, 125}, {127, 126}, {250, 250}, {255, 255}}};
inline constexpr std::array<LutAnchor, 26> kLut2Mp{{
    {0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 4}, {7, 5}, {8, 6}, {9, 8}, {10, 9}, {11, 10}, {12, 11},
    {13, 12}, {14, 13}, {15, 14}, {120, 123}, {121, 124}, {122, 125}, {123, 126}, {124, 127}, {125, 129},
    {126, 130}, {127, 131}, {250, 250}, {255, 255}}};
inline constexpr std::array<LutAnchor, 22> kLutVga{{
    {0, 0}, {12, 0}, {13, 1}, {17, 1}, {18, 2}, {19, 2}, {20, 4}, {21, 5}, {22, 7}, {23, 8}, {120, 112},
    {121, 113}, {122, 114}, {123, 115}, {124, 116}, {125, 118}, {126, 119}, {127, 120}, {250, 250},
    {253, 253}, {254, 254}, {255, 255}}};

inline constexpr std::array<double, 9> kMatrix13{1.97787, -0.895394, -0.0824724, -0.411348, 1.77948, -0.368129, -0.0926084, -1.29428, 2.38689};
inline constexpr std::array<double, 9> kMatrixV2{1.552267, -0.517315, -0.034953, -0.304876, 1.656014, -0.351138, 0.08591, -0.994807, 1.908897};
inline constexpr std::array<double, 9> kMatrix2Mp{1.80786, -0.802389, -0.0054749, -0.491062, 1.71535, -0.224286, -0.1532, -1.11831, 2.27151};
inline constexpr std::array<double, 9> kMatrixVga{1.56337, -0.584334, 0.0209608, -0.318806, 1.48052, -0.161712, -0.0280176, -0.937636, 1.96565};

// The sensor's own exposure range, the gain range, and what every class shares.
constexpr ModelSpec base(ModelFactory factory, const SensorDriver& (*sensor)(), ValueRange exposureUs, uint32_t gainMax) {
  return ModelSpec{
      .factory = factory, .sensor = sensor, .ratios = {}, .maxFrameRate = {}, .rawFrameBytes = 0,
      .transferSize = 0, .defaultPreviewIndex = 0, .bayer = 0, .defectModes = 0, .defaultSpeed = 0,
      .exposureUs = exposureUs, .gainPercent = {100, gainMax, 100}, .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0}, .triggerModeTimeUs = exposureUs.max, .videoModeTimeUs = exposureUs.def,
      .presetTriggerTimeUs = 5000000, .presetAeThreshold = 5, .inEndpoint = 1, .wbBase = {0, 0, 0},
      .colourMatrix = {}, .rawLutAnchors = {}, .helperFlags = kColourFlags, .helperDoubles = {0.5, 1.0, 1.0},
      .grabTries = 1, .trailerFromRevision3 = false, .haltsBeforeStop = false, .wbGains = {256, 256, 256}};
}

// 1280 x 1024 paged: requests 0x12/0x13, 256/128/64-row blocks by height.
constexpr ModelSpec paged13(ModelFactory factory, const SensorDriver& (*sensor)(), uint16_t speed, bool answersTail) {
  ModelSpec s = base(factory, sensor, {140, 2000000, 44000}, 300);
  s.ratios = kRatios124, s.maxFrameRate = kRate13, s.rawFrameBytes = 1312512, s.transferSize = 0x50000;
  s.defectModes = 3, s.defaultSpeed = speed, s.colourMatrix = kMatrix13, s.rawLutAnchors = kLut13;
  s.openVariant = OpenVariant::DriverStateInit, s.block.rows = {{{1024, 256}, {512, 128}, {0, 64}}};
  s.sensorReadReq = 0x12, s.sensorWriteReq = 0x13, s.openAnswersTail = answersTail;
  return s;
}

// 1280 x 960 / 720 second revision: fixed 64 KiB blocks, no system init at open.
constexpr ModelSpec revision2(ModelFactory factory, uint32_t presetLine) {
  ModelSpec s = base(factory, Usb2Sensor13MpV2, {100, 2000000, 10000}, 500);
  s.ratios = kRatios11, s.maxFrameRate = kRateV2, s.rawFrameBytes = 1230592, s.transferSize = 0x10000;
  s.bayer = 1, s.defectModes = 2, s.defaultSpeed = 2, s.wbBase = {394, 256, 317}, s.colourMatrix = kMatrixV2;
  s.wbGains = {394, 256, 317};
  s.openVariant = OpenVariant::Plain, s.block.fixedBytes = 0x10000, s.presetLineClock = presetLine;
  return s;
}

// 1600 x 1200 / 800 x 600 with the model window.
constexpr ModelSpec twoMp(ModelFactory factory, const SensorDriver& (*sensor)()) {
  ModelSpec s = base(factory, sensor, {128, 2000000, 1280}, 300);
  s.ratios = kRatios12, s.maxFrameRate = kRate2Mp, s.rawFrameBytes = 1922112, s.transferSize = 0x32000;
  s.defaultPreviewIndex = 1, s.defectModes = 2, s.defaultSpeed = 5, s.wbBase = {115, 100, 122};
  s.wbGains = {115, 100, 122}, s.startsSkipping = true;
  s.colourMatrix = kMatrix2Mp, s.rawLutAnchors = kLut2Mp, s.openVariant = OpenVariant::InitSequence;
  s.hasModelWindow = true;
  return s;
}

constexpr ModelSpec vga(ModelFactory factory) {
  ModelSpec s = base(factory, Usb2SensorVga, {111, 192465, 40000}, 300);
  s.ratios = kRatios12, s.maxFrameRate = kRateVga, s.rawFrameBytes = 308352, s.transferSize = 0xF000;
  s.defectModes = 2, s.defaultSpeed = 2, s.colourMatrix = kMatrixVga, s.rawLutAnchors = kLutVga;
  s.openVariant = OpenVariant::DriverStateInit, s.block.rows = {{{241, 96}, {0, 64}}};
  return s;
}

// One fixed 1280 x 1024 grey frame read in 0x50000 blocks; no colour data.
constexpr ModelSpec grey(ModelFactory factory) {
  ModelSpec s = base(factory, Usb2Sensor13MpGrey, {96, 500000, 6400}, 300);
  s.ratios = kRatios124, s.maxFrameRate = kRateGrey, s.rawFrameBytes = 1312512, s.transferSize = 0x50000;
  s.bayer = 4, s.defectModes = 1, s.defaultSpeed = 1, s.helperFlags = kGreyFlags;
  s.openVariant = OpenVariant::InitSequence, s.block.fixedBytes = 0x50000, s.block.fixedFrameBytes = 0x140000;
  s.sensorReadReq = 0x12, s.sensorWriteReq = 0x13;
  return s;
}
// clang-format on

}  // namespace usb2_small

inline constexpr ModelSpec kSpecRostrel01300KPA =
    usb2_small::paged13(CreateRostrel01300KPA, Usb2Sensor13MpRostrel, 2, false);
// The Pelvane board answers the stream start's result from its open.
inline constexpr ModelSpec kSpecPelvane01300KPA =
    usb2_small::paged13(CreatePelvane01300KPA, Usb2Sensor13MpPelvane, 1, true);
inline constexpr ModelSpec kSpecRostrel01300KPAV2 =
    usb2_small::revision2(CreateRostrel01300KPAV2, 1800);
inline constexpr ModelSpec kSpecPelvane01300KPAV2 =
    usb2_small::revision2(CreatePelvane01300KPAV2, 0);
inline constexpr ModelSpec kSpecRostrel02000KPA =
    usb2_small::twoMp(CreateRostrel02000KPA, Usb2Sensor2MpRostrel);
inline constexpr ModelSpec kSpecPelvane02000KPB =
    usb2_small::twoMp(CreatePelvane02000KPB, Usb2Sensor2MpPelvane);
inline constexpr ModelSpec kSpecPelvane00350KPA = usb2_small::vga(CreatePelvane00350KPA);
inline constexpr ModelSpec kSpecPelvane01300KMA = usb2_small::grey(CreatePelvane01300KMA);
