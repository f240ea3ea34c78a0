// Frame content. The pattern is built from a byte ramp so that 3 MB frames cost a few memcpy calls.
#include "sim/frame_content.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/scene_renderer.h"

namespace sim {
namespace {

struct Ramp {
  uint8_t bytes[512];
  Ramp() {
    for (int i = 0; i < 512; ++i) bytes[i] = static_cast<uint8_t>(i);
  }
};
const Ramp ramp;

// Colour of each site of a 2×2 cell, by Bayer order: 0 red, 1 green, 2 blue.
constexpr uint8_t kSites[4][2][2] = {
    {{1, 0}, {2, 1}}, {{0, 1}, {1, 2}}, {{2, 1}, {1, 0}}, {{1, 2}, {0, 1}}};

}  // namespace

uint8_t PatternByte(uint32_t frame, uint32_t row, uint32_t column) {
  return static_cast<uint8_t>(frame * 31u + row * 7u + column);
}

void RenderPattern(uint8_t* out, uint32_t width, uint32_t height, uint32_t frame) {
  for (uint32_t row = 0; row < height; ++row) {
    uint8_t* line = out + static_cast<size_t>(row) * width;
    for (uint32_t col = 0; col < width; col += 256) {
      const uint32_t n = std::min(256u, width - col);
      std::memcpy(line + col, ramp.bytes + PatternByte(frame, row, col), n);
    }
    const uint8_t head[4] = {static_cast<uint8_t>(frame), static_cast<uint8_t>(frame >> 8),
                             static_cast<uint8_t>(row), static_cast<uint8_t>(row >> 8)};
    std::memcpy(line, head, std::min(4u, width));
  }
}

Rgb SceneColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  const uint32_t r = width > 1 ? x * 255 / (width - 1) : 0;
  const uint32_t g = height > 1 ? y * 255 / (height - 1) : 0;
  return {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(255 - r)};
}

Rgb ChartColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  constexpr Rgb kPatches[2][4] = {
      {{200, 20, 20}, {20, 200, 20}, {20, 20, 200}, {210, 210, 210}},
      {{20, 200, 200}, {200, 20, 200}, {200, 200, 20}, {128, 128, 128}}};
  const uint64_t column = width ? uint64_t{x} * 4 / width : 0;
  const uint64_t row = height ? uint64_t{y} * 2 / height : 0;
  return kPatches[std::min<uint64_t>(row, 1)][std::min<uint64_t>(column, 3)];
}

Rgb FlatColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  const double cx = (double(width) - 1) / 2, cy = (double(height) - 1) / 2;
  const double reach = cx * cx + cy * cy;
  const double d = reach > 0 ? ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / reach : 0;
  const auto v = static_cast<uint8_t>(std::lround(kFlatLevel * (1 - kFlatFalloff * d)));
  return {v, v, v};
}

ColourFn ColourOf(ContentKind kind) {
  if (kind == ContentKind::Chart) return ChartColour;
  return kind == ContentKind::Flat ? FlatColour : SceneColour;
}

uint8_t DarkSample(uint32_t column, uint32_t row, uint32_t frame, uint32_t seed) {
  for (const FramePoint& hot : kDarkHotPixels)
    if (hot.column == column && hot.row == row) return kDarkHotLevel;
  // A mixing hash, so the noise has no pattern of its own and one seed gives one stream.
  uint32_t h = seed * 0x9E3779B1u ^ frame * 0x85EBCA77u ^ row * 0xC2B2AE3Du ^ column * 0x27D4EB2Fu;
  h ^= h >> 15, h *= 0x2C1B3C6Du, h ^= h >> 12;
  const int pattern = int((column * 7 + row * 3) % (2 * kDarkPattern + 1)) - kDarkPattern;
  const int noise = int(h % 3) - 1;
  return static_cast<uint8_t>(kDarkLevel + pattern + noise);
}

void RenderDark(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
                uint32_t frame) {
  const bool wide = options.layout == SampleLayout::Grey16;
  const uint32_t bits = options.greyBits < 10 ? 10 : options.greyBits > 16 ? 16 : options.greyBits;
  const uint32_t pixels = wide ? width / 2 : width;
  for (uint32_t row = 0; row < height; ++row) {
    uint8_t* line = out + size_t{row} * width;
    for (uint32_t x = 0; x < pixels; ++x) {
      const uint32_t v = DarkSample(x, row, frame, options.noiseSeed);
      if (!wide) {
        line[x] = uint8_t(v);
        continue;
      }
      const uint32_t widened = v << (bits - 8);
      line[2 * x] = uint8_t(widened & 0xFF), line[2 * x + 1] = uint8_t(widened >> 8);
    }
  }
}

int SiteChannel(int bayerOrder, uint32_t row, uint32_t column) {
  if (bayerOrder < 0 || bayerOrder > 3) return kMono;
  return kSites[bayerOrder][row & 1][column & 1];
}

uint8_t SceneSample(uint32_t x, uint32_t row, uint32_t width, uint32_t height, int bayerOrder,
                    ColourFn colour) {
  const Rgb c = colour(x, height - 1 - row, width, height);
  switch (SiteChannel(bayerOrder, row, x)) {
    case 0:
      return c.r;
    case 1:
      return c.g;
    case 2:
      return c.b;
    default:
      return static_cast<uint8_t>((c.r * 77 + c.g * 150 + c.b * 29) >> 8);
  }
}

Yuv YuvOf(Rgb c) {
  const int r = c.r, g = c.g, b = c.b;
  return {uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
          uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
          uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
}

double SceneBrightness(const SceneOptions& options, uint32_t exposureUs, uint32_t gainPercent,
                       uint64_t timeMs) {
  double scale = double(exposureUs) * gainPercent / (double(options.referenceExposureUs) * 100.0);
  if (options.mainsHz) {
    // The sensor integrates the lamp over the exposure that ends at `timeMs`, so an exposure of
    // whole ripple periods sees no flicker, as with a real lamp.
    const double pi = 3.14159265358979323846;
    const double omega = 2 * pi * 2.0 * options.mainsHz;
    const double end = double(timeMs) / 1000.0, span = double(exposureUs) / 1e6;
    const double ripple =
        span > 0 ? (std::cos(omega * (end - span)) - std::cos(omega * end)) / (omega * span)
                 : std::sin(omega * end);
    scale *= 1.0 + 0.25 * ripple;
  }
  return scale;
}

void RenderScene(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
                 uint32_t exposureUs, uint32_t gainPercent, uint64_t timeMs, ColourFn colour) {
  SceneRenderer().render(out, width, height, options, colour, exposureUs, gainPercent, timeMs);
}

}  // namespace sim
