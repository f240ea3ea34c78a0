// SceneRenderer: a cached mosaic and one lookup table per channel for brightness and response.
#include "sim/scene_renderer.h"

#include <cstddef>

namespace sim {

void SceneRenderer::buildMosaic(uint32_t width, uint32_t height, int bayerOrder, ColourFn colour) {
  mosaic_.resize(size_t{width} * height);
  for (uint32_t row = 0; row < height; ++row) {
    uint8_t* line = mosaic_.data() + size_t{row} * width;
    for (uint32_t x = 0; x < width; ++x)
      line[x] = SceneSample(x, row, width, height, bayerOrder, colour);
  }
  width_ = width;
  height_ = height;
  bayerOrder_ = bayerOrder;
  colour_ = colour;
}

// A sample v goes out as v × brightness × 256 / base, cut to 0..255. A product that is not a
// number (an infinite brightness on a zero sample) is dark rather than undefined.
void SceneRenderer::buildTables(const SceneOptions& options, double brightness) {
  for (int channel = 0; channel < 4; ++channel) {
    const uint16_t base = channel < 3 ? options.wbBase[channel] : 256;
    const double factor = brightness * (base ? 256.0 / base : 1.0);
    for (int v = 0; v < 256; ++v) {
      const double out = v * factor;
      tables_[channel][v] = !(out > 0) ? 0 : out >= 255 ? 255 : static_cast<uint8_t>(out);
    }
  }
}

void SceneRenderer::render(uint8_t* out, uint32_t width, uint32_t height,
                           const SceneOptions& options, ColourFn colour, uint32_t exposureUs,
                           uint32_t gainPercent, uint64_t timeMs) {
  if (width != width_ || height != height_ || options.bayerOrder != bayerOrder_ ||
      colour != colour_)
    buildMosaic(width, height, options.bayerOrder, colour);
  buildTables(options, SceneBrightness(options, exposureUs, gainPercent, timeMs));
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* in = mosaic_.data() + size_t{row} * width;
    uint8_t* line = out + size_t{row} * width;
    const int even = SiteChannel(options.bayerOrder, row, 0);
    const int odd = SiteChannel(options.bayerOrder, row, 1);
    const uint8_t* evenTable = tables_[even == kMono ? 3 : even];
    const uint8_t* oddTable = tables_[odd == kMono ? 3 : odd];
    uint32_t x = 0;
    for (; x + 1 < width; x += 2) {
      line[x] = evenTable[in[x]];
      line[x + 1] = oddTable[in[x + 1]];
    }
    if (x < width) line[x] = evenTable[in[x]];
  }
}

}  // namespace sim
