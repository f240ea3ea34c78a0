// Arithmetic the model drivers share: gain bands, line-count halving, LUTs and pixel sizes.
#pragma once

#include <cstdint>
#include <span>

// Values below `limit` map to `value`; bands ascend by limit.
struct Band {
  uint32_t limit;
  uint16_t value;
};

// A point the look-up table passes through exactly; anchors ascend by input.
struct LutAnchor {
  uint16_t in;
  uint16_t out;
};

// Integration lines and the doubled line length that together give one exposure.
struct LineCount {
  uint32_t lines;
  uint32_t lineClock;
};

struct ResolutionRatio {
  uint32_t numerator;
  uint32_t denominator;
};

class ModelMath {
 public:
  // The first band whose limit lies above x; `above` past the last one.
  static uint16_t bandLookup(std::span<const Band> bands, uint32_t x, uint16_t above);
  // Halves the lines (doubling the line length) until they fit the sensor's counter.
  static LineCount halveToFit(uint32_t lines, uint32_t lineClock, uint32_t maxLines);
  // Linear between neighbouring anchors; entries past the last anchor hold its output.
  static void lutFromAnchors(std::span<const LutAnchor> anchors, std::span<uint16_t> lut);
  static float pixelSizeByRatio(float basePixelSize, ResolutionRatio ratio);
};
