// What the simulated sensor sends: a checkable pattern, or a known scene seen through a Bayer mosaic.
#pragma once

#include <cstdint>

namespace sim {

enum class ContentKind { Pattern, Scene };

// Bayer orders by the first two rows: 0 GR/BG, 1 RG/GB, 2 BG/GR, 3 GB/RG; kMono for grey.
inline constexpr int kMono = -1;

struct SceneOptions {
  int bayerOrder = 1;
  uint32_t mainsHz = 0;  // 50 or 60 adds the lamp flicker at twice that rate; 0 none
  uint32_t referenceExposureUs = 10000;  // exposure at 100 % gain that shows the scene as is
};

struct Rgb {
  uint8_t r, g, b;
};

// Pattern: each row starts with the frame counter and the row number (u16 each, little-endian),
// then patternByte(frame, row, column) for the rest of the row.
uint8_t PatternByte(uint32_t frame, uint32_t row, uint32_t column);
void RenderPattern(uint8_t* out, uint32_t width, uint32_t height, uint32_t frame);

// Scene: the colour at scene position (x, y), top row first.
Rgb SceneColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
// The sample sent at (column, row) of the frame before brightness scaling. Frame row 0 is the
// scene's bottom row; the mosaic follows frame rows, so the Bayer order reads off the first two.
uint8_t SceneSample(uint32_t column, uint32_t row, uint32_t width, uint32_t height, int bayerOrder);
// Rows go out bottom row first; brightness follows exposure × gain, with the lamp's flicker
// integrated over the exposure that ends at `timeMs`.
void RenderScene(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
                 uint32_t exposureUs, uint32_t gainPercent, uint64_t timeMs);

}  // namespace sim
