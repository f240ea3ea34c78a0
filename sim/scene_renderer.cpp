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

void SceneRenderer::renderWide(uint8_t* out, uint32_t width, uint32_t height,
                               const SceneOptions& options, ColourFn colour) const {
  const uint32_t pixels = width / 2;
  const uint32_t bits = options.greyBits < 10 ? 10 : options.greyBits > 16 ? 16 : options.greyBits;
  const uint32_t max = (1u << bits) - 1;
  for (uint32_t row = 0; row < height; ++row) {
    uint8_t* line = out + size_t{row} * width;
    auto seen = [&](uint32_t x) {
      const Rgb c = colour(x, height - 1 - row, pixels, height);
      return Rgb{tables_[0][c.r], tables_[1][c.g], tables_[2][c.b]};
    };
    if (options.layout == SampleLayout::Grey16) {
      for (uint32_t x = 0; x < pixels; ++x) {
        const uint32_t grey = tables_[3][SceneSample(x, row, pixels, height, kMono, colour)];
        const uint32_t v = (grey * max + 127) / 255;
        line[2 * x] = uint8_t(v & 0xFF), line[2 * x + 1] = uint8_t(v >> 8);
      }
      continue;
    }
    // One chroma pair for two pixels: that of the first.
    const bool alt = options.layout == SampleLayout::Packed422Alt;
    for (uint32_t x = 0; x + 1 < pixels; x += 2) {
      const Yuv a = YuvOf(seen(x)), b = YuvOf(seen(x + 1));
      uint8_t* g = line + size_t{x} * 2;
      if (alt)
        g[0] = a.u, g[1] = a.y, g[2] = a.v, g[3] = b.y;
      else
        g[0] = a.v, g[1] = a.u, g[2] = b.y, g[3] = a.y;
    }
  }
}

void SceneRenderer::render(uint8_t* out, uint32_t width, uint32_t height,
                           const SceneOptions& options, ColourFn colour, uint32_t exposureUs,
                           uint32_t gainPercent, uint64_t timeMs) {
  if (options.layout != SampleLayout::Bytes) {
    buildTables(options, SceneBrightness(options, exposureUs, gainPercent, timeMs));
    return renderWide(out, width, height, options, colour);
  }
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
  for (const auto& [x, y] : options.stuckPixels)
    if (x < width && y < height) out[size_t{y} * width + x] = 0xFF;
}

}  // namespace sim
