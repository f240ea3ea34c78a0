// What the simulated sensor sends: a checkable pattern, or a known scene seen through a Bayer
// mosaic.
#pragma once

#include <array>
#include <vector>
#include <cstdint>

namespace sim {

// Scene is a colour gradient, Chart a 4×2 chart of colour patches; both go through the mosaic.
// Flat: an even grey field under a lamp that falls off towards the corners (kFlatFalloff of its
// centre level there); a colour cast comes through SceneOptions::wbBase.
// Dark: the covered sensor, whatever the exposure, gain or channel response: kDarkLevel with a
// fixed pattern of up to kDarkPattern either way, seeded noise of up to one count either way, and
// hot pixels stuck at kDarkHotLevel at kDarkHotPixels.
enum class ContentKind { Pattern, Scene, Chart, Flat, Dark };
inline constexpr double kFlatFalloff = 0.3;
inline constexpr uint8_t kFlatLevel = 160;
inline constexpr uint8_t kDarkLevel = 10;
inline constexpr uint8_t kDarkPattern = 2;
inline constexpr uint8_t kDarkHotLevel = 255;
struct FramePoint {
  uint32_t column, row;  // of the frame as sent, row 0 first
};
// Interior sites of every Bayer colour, inside the smallest frame the 3.1 MP camera sends.
inline constexpr FramePoint kDarkHotPixels[] = {{101, 100}, {300, 201}, {512, 384}, {777, 601}};

// Bayer orders by the first two rows: 0 GR/BG, 1 RG/GB, 2 BG/GR, 3 GB/RG; kMono for grey.
inline constexpr int kMono = -1;

// How a scene's samples go out: bytes of the mosaic (or grey with kMono); grey samples of
// greyBits bits right-aligned in little-endian 16-bit words; or packed 4:2:2 luma/chroma in
// groups V U Y1 Y0 (pixel format 6) or U Y0 V Y1 (pixel format 11). The wide layouts take two
// bytes a pixel, so a frame `width` bytes wide holds width / 2 pixels a row.
enum class SampleLayout { Bytes, Grey16, Packed422, Packed422Alt };

struct SceneOptions {
  int bayerOrder = 1;
  SampleLayout layout = SampleLayout::Bytes;
  uint8_t greyBits = 12;  // 10 to 16, for Grey16
  uint32_t mainsHz = 0;   // 50 or 60 adds the lamp flicker at twice that rate; 0 none
  uint32_t referenceExposureUs = 10000;  // exposure at 100 % gain that shows the scene as is
  // The sensor's response to red, green and blue: its samples are the scene's × 256 / base, so a
  // pipeline that multiplies by base / 256 sees greys as grey. 0 counts as 256; mono ignores it.
  std::array<uint16_t, 3> wbBase{256, 256, 256};
  // Sites that always read full scale, at (column, row) of the raw frame as it lies in memory;
  // byte layouts only.
  std::vector<std::array<uint32_t, 2>> stuckPixels;
  uint32_t noiseSeed = 1;  // the dark content's noise: the same seed, the same frames
};

struct Rgb {
  uint8_t r, g, b;
};

// The colour at scene position (x, y), top row first, of a scene `width` × `height` big.
using ColourFn = Rgb (*)(uint32_t x, uint32_t y, uint32_t width, uint32_t height);

// Pattern: each row starts with the frame counter and the row number (u16 each, little-endian),
// then patternByte(frame, row, column) for the rest of the row.
uint8_t PatternByte(uint32_t frame, uint32_t row, uint32_t column);
void RenderPattern(uint8_t* out, uint32_t width, uint32_t height, uint32_t frame);

// Scene: red rises to the right, green downwards, blue falls to the right.
Rgb SceneColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
// Chart: 4 × 2 patches; top row red, green, blue, white; bottom row cyan, magenta, yellow, grey.
// Channels are 200 on and 20 off, white 210 and grey 128, so gains above 1 have room to spare.
Rgb ChartColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
// Flat: kFlatLevel at the centre, less kFlatFalloff x (distance / half-diagonal)^2 away from it.
Rgb FlatColour(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
// The colour function of a mosaic content: the chart's, the flat field's or the gradient scene's.
ColourFn ColourOf(ContentKind kind);

// Dark: the sample at (column, row) of frame number `frame`; in Grey16 the same counts are
// widened to greyBits, the packed layouts take the bytes as they are (a covered sensor is raw).
uint8_t DarkSample(uint32_t column, uint32_t row, uint32_t frame, uint32_t seed);
void RenderDark(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
                uint32_t frame);

// The channel the sensor samples at (column, row) of the frame: 0 red, 1 green, 2 blue, or kMono.
int SiteChannel(int bayerOrder, uint32_t row, uint32_t column);
// The sample sent at (column, row) of the frame before brightness scaling. Frame row 0 is the
// scene's bottom row; the mosaic follows frame rows, so the Bayer order reads off the first two.
uint8_t SceneSample(uint32_t column, uint32_t row, uint32_t width, uint32_t height, int bayerOrder,
                    ColourFn colour = SceneColour);
// The factor on every sample: exposure × gain against the reference, with the lamp's flicker
// integrated over the exposure that ends at `timeMs`.
double SceneBrightness(const SceneOptions& options, uint32_t exposureUs, uint32_t gainPercent,
                       uint64_t timeMs);
// The BT.601 studio-range luma and chroma of a colour, by the integer forward transform.
struct Yuv {
  uint8_t y, u, v;
};
Yuv YuvOf(Rgb c);

// Rows go out bottom row first, each sample × SceneBrightness × the channel's response. One-off;
// a stream renders through a SceneRenderer, which keeps the mosaic between frames.
void RenderScene(uint8_t* out, uint32_t width, uint32_t height, const SceneOptions& options,
                 uint32_t exposureUs, uint32_t gainPercent, uint64_t timeMs,
                 ColourFn colour = SceneColour);

}  // namespace sim
