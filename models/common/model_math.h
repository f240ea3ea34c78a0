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

// One band of a sensor's gain code: v in lo..hi gives v / divisor + base (base alone when the
// divisor is 0).
struct GainSegment {
  uint32_t lo, hi;
  uint32_t divisor;
  uint32_t base;
};

// A gain code from a percentage: v = percent x scale / 100 looked up in the segments; the
// fallback outside them.
struct GainCurve {
  uint32_t scale;
  std::span<const GainSegment> segments;
  uint16_t fallback;
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
  // Exposure lines (t x clockMHz + line / 2) / line, rounded, saturated at the 16-bit counter's
  // top rather than wrapped; 0 for a zero line.
  static uint32_t roundedLines(uint32_t timeUs, uint32_t clockMHz, uint32_t lineClock);
  static uint16_t gainCode(const GainCurve& curve, uint32_t percent);
  // A channel's percentage at a fixed ratio to the base one: the product in double, truncated.
  static uint32_t scaledPercent(uint32_t percent, double ratio);
};
