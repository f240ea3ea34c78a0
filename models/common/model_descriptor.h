// The constexpr descriptor of one model class: what its catalogue row does not already say.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/model_catalogue.h"
#include "models/common/model_math.h"
#include "models/common/sensor_driver.h"

struct ModelCatalogueRow;

struct ValueRange {
  uint32_t min;
  uint32_t max;
  uint32_t def;
};

// How the helper opens the device before the sensor is programmed.
enum class OpenVariant : uint8_t {
  ResetPort,        // open; a port reset on the kernel driver; a settle pause
  DriverStateInit,  // open; the kernel driver's interface selected once; system init 1, 0, 1
  Plain,            // open only
  InitSequence,     // open with the transport's own system-init sequence
};

// Rows of one grab block for frames at least fromHeight tall; rules ascend from the tallest.
struct BlockRows {
  uint32_t fromHeight;
  uint32_t rows;
};

// The grab's transfer block and frame length: width x rows by the height, or fixed sizes.
struct BlockRule {
  std::array<BlockRows, 3> rows{{{0, 128}}};
  uint32_t fixedBytes = 0;       // non-zero: every block this long
  uint32_t fixedFrameBytes = 0;  // non-zero: every frame this long

  uint64_t blockBytes(uint32_t width, uint32_t height) const;
};

struct ModelSpec {
  ModelFactory factory;  // names the class's catalogue row: display name, ids, flags, sizes
  const SensorDriver& (*sensor)();
  std::span<const ResolutionRatio> ratios;  // per resolution of the row
  std::span<const uint32_t> maxFrameRate;   // per resolution; the last one stands for the rest
  uint32_t rawFrameBytes;
  uint32_t transferSize;
  uint32_t defaultPreviewIndex;
  uint32_t bayer;
  uint32_t defectModes;
  uint16_t defaultSpeed;
  ValueRange exposureUs;
  ValueRange gainPercent;
  // Auto exposure's own limits, before they are fitted into the ranges above.
  ValueRange aeTimeUs;  // min, max; def unused
  ValueRange aeGainPercent;
  uint32_t triggerModeTimeUs;
  uint32_t videoModeTimeUs;
  uint32_t presetTriggerTimeUs;  // the default preset's trigger-mode exposure
  int32_t presetAeThreshold;
  uint8_t inEndpoint;
  std::array<uint16_t, 3> wbBase;  // 256 = 1.0
  std::array<double, 9> colourMatrix;
  std::span<const LutAnchor> rawLutAnchors;
  // The whole raw table where the sensor's curve is given sample by sample; it wins over anchors.
  std::span<const uint8_t> rawLut = {};
  uint64_t helperFlags;  // as the class states it, before the USB2 registration's fix-up
  std::array<double, 3> helperDoubles;
  // Ids whose (id - base) & 0xEFFF is 0 carry the class's alternative (0: none).
  uint16_t alternativeIdBase = 0;
  // Grabs per frame unless single: the second drops the first frame after a switch.
  uint8_t grabTries = 2;
  // From device revision 3 one byte follows every frame.
  bool trailerFromRevision3 = true;
  // Rows the USB2 link sends beyond each resolution's height, read and not delivered.
  std::array<uint8_t, 3> usb2ExtraRows{};
  // A halved exposure's doubled line length stays in force until the next line-length program.
  bool keepsHalvedLine = false;
  // The device says at every open which sensor variant it carries; the alternative one grabs a
  // second frame unless single.
  bool asksAltSensor = false;
  // A product id whose board carries another colour response: its matrix, with unity base gains.
  uint16_t ownMatrixId = 0;
  std::array<double, 9> ownMatrix{};
  OpenVariant openVariant = OpenVariant::ResetPort;
  BlockRule block{};
  // The sensor's vendor read and write requests; 0 keeps the transport's.
  uint8_t sensorReadReq = 0;
  uint8_t sensorWriteReq = 0;
  // The stop halts the stream (system init 0) before the sensor's stop program.
  bool haltsBeforeStop = true;
  // The open answers what closes its start (the stream's system init) instead of S_OK.
  bool openAnswersTail = false;
  // The 2 MP read-out window: put_ModelWindow/get_ModelWindow answer instead of E_NOTIMPL.
  bool hasModelWindow = false;
  // The exposure's divisor before any speed was programmed (the sensor's initial line length),
  // and whether the sensor is taken to hold that line already.
  uint32_t presetLineClock = 0;
  bool presetLineWritten = false;
  // The helper's white-balance gains at construction; 0, 0, 0 leaves the pipeline's.
  std::array<uint16_t, 3> wbGains{};
  // The skip setting starts on even where the class offers no skip option.
  bool startsSkipping = false;
  // A skip change reprograms the sensor at the full size too (else only the reduced sizes do).
  bool skipAtFullSize = false;

  // The catalogue row whose factory this is; null when the class has no row.
  const ModelCatalogueRow* row() const;
  uint32_t clampExposure(uint32_t us) const;
  uint32_t maxFrameRateOf(uint32_t index) const;
  // The auto-exposure limits fitted into the exposure and gain ranges.
  uint32_t aeMaxTime() const;
  uint32_t aeMinTime() const;
  uint16_t aeMaxGain() const;
  uint16_t aeMinGain() const;
  bool isAlternative(uint16_t productId) const;
  // The bytes one frame of width x height takes on the link, at this device revision.
  uint64_t frameBytes(uint32_t width, uint32_t height, bool usb3Link, uint16_t revision) const;
};
