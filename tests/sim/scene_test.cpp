// Mosaic content: the colour chart, the channel response, and the renderer a stream reuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "sim/frame_content.h"
#include "sim/scene_renderer.h"
#include "sim/usb3_31mp_family.h"

namespace {

// The 2×2 cells of each Bayer order, written out independently of the renderer.
const char* const kLayouts[4] = {"GRBG", "RGGB", "BGGR", "GBRG"};

struct Samples {
  int r, g, b;
};

// The red, green and blue samples of the 2×2 cell that holds frame site (x, row).
Samples cellAt(const std::vector<uint8_t>& frame, uint32_t width, int order, uint32_t x,
               uint32_t row) {
  Samples s{-1, -1, -1};
  const uint32_t x0 = x & ~1u, row0 = row & ~1u;
  for (uint32_t site = 0; site < 4; ++site) {
    const int v = frame[(row0 + (site >> 1)) * width + x0 + (site & 1)];
    const char colour = kLayouts[order][site];
    (colour == 'R' ? s.r : colour == 'B' ? s.b : s.g) = v;
  }
  return s;
}

std::vector<uint8_t> render(uint32_t w, uint32_t h, const sim::SceneOptions& options,
                            sim::ColourFn colour, uint32_t exposureUs, uint32_t gainPercent = 100) {
  std::vector<uint8_t> frame(size_t{w} * h);
  sim::RenderScene(frame.data(), w, h, options, exposureUs, gainPercent, 0, colour);
  return frame;
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

// Patch (column, row) of the chart as seen upright; the frame sends the scene's bottom row first,
// so the top row of patches lies in the last frame rows.
struct Patch {
  const char* name;
  bool r, g, b;  // which channels are on; all three marks a neutral patch
};
constexpr Patch kChart[2][4] = {
    {{"red", 1, 0, 0}, {"green", 0, 1, 0}, {"blue", 0, 0, 1}, {"white", 1, 1, 1}},
    {{"cyan", 0, 1, 1}, {"magenta", 1, 0, 1}, {"yellow", 1, 1, 0}, {"grey", 1, 1, 1}}};

TEST(SimChart, PatchesAreUprightWithTheirDominantChannels) {
  constexpr uint32_t w = 64, h = 32;
  for (int order = 0; order < 4; ++order) {
    sim::SceneOptions options;
    options.bayerOrder = order;
    const auto frame = render(w, h, options, sim::ChartColour, options.referenceExposureUs);
    Samples white{}, grey{};
    for (uint32_t j = 0; j < 2; ++j) {
      for (uint32_t i = 0; i < 4; ++i) {
        const Patch& p = kChart[j][i];
        const uint32_t x = (2 * i + 1) * w / 8, sceneY = (2 * j + 1) * h / 4;
        const Samples s = cellAt(frame, w, order, x, h - 1 - sceneY);
        SCOPED_TRACE(std::string(p.name) + " order " + std::to_string(order));
        if (p.r && p.g && p.b) {
          EXPECT_EQ(s.r, s.g);
          EXPECT_EQ(s.b, s.g);
          (j == 0 ? white : grey) = s;
          continue;
        }
        for (auto [on, v] : {std::pair{p.r, s.r}, {p.g, s.g}, {p.b, s.b}}) {
          if (on)
            EXPECT_GE(v, 150);
          else
            EXPECT_LE(v, 40);
        }
      }
    }
    EXPECT_GT(white.g, grey.g + 50);
    EXPECT_GT(grey.g, 90);
    // Red is the scene's top left, so it goes out at the left of the last row.
    const Samples red = cellAt(frame, w, order, 0, h - 1);
    EXPECT_TRUE(red.r > 150 && red.g < 40 && red.b < 40) << order;
  }
  // Room above the brightest patch for a fifth more gain.
  const auto brighter =
      render(w, h, {}, sim::ChartColour, sim::SceneOptions{}.referenceExposureUs, 120);
  EXPECT_LT(*std::max_element(brighter.begin(), brighter.end()), 255);
}

// The 3.1 MP sensor answers red and blue weakly; a pipeline multiplying by its base restores grey.
TEST(SimChart, ChannelResponseScalesRedAndBlueAndTheBaseUndoesIt) {
  constexpr uint32_t w = 64, h = 32;
  const sim::SceneOptions sensor = sim::Usb3Mp31Family::sceneOptions();
  ASSERT_EQ(sensor.bayerOrder, 0);
  sim::SceneOptions flat;
  flat.bayerOrder = sensor.bayerOrder;
  const uint32_t exposure = flat.referenceExposureUs * 9 / 10;
  const auto plain = render(w, h, flat, sim::ChartColour, exposure);
  const auto seen = render(w, h, sensor, sim::ChartColour, exposure);
  for (uint32_t row = 0; row < h; ++row) {
    for (uint32_t x = 0; x < w; ++x) {
      const char colour = kLayouts[0][(row & 1) * 2 + (x & 1)];
      const int base = sensor.wbBase[colour == 'R' ? 0 : colour == 'G' ? 1 : 2];
      const size_t i = row * w + x;
      ASSERT_NEAR(seen[i], plain[i] * 256.0 / base, 1.0) << colour << " at " << x << "," << row;
    }
  }
  for (uint32_t i : {3u, 7u}) {  // white, then grey
    const uint32_t x = (i % 4 * 2 + 1) * w / 8, sceneY = (i / 4 * 2 + 1) * h / 4;
    const Samples s = cellAt(seen, w, 0, x, h - 1 - sceneY);
    EXPECT_LT(s.r, s.g - 20) << i;
    const double r = s.r * sensor.wbBase[0] / 256.0, b = s.b * sensor.wbBase[2] / 256.0;
    EXPECT_NEAR(r, s.g, 2.0) << i;
    EXPECT_NEAR(b, s.g, 2.0) << i;
  }
  // A grey sensor has no colour filters, so the response does not touch it.
  sim::SceneOptions monoSensor = sensor;
  flat.bayerOrder = monoSensor.bayerOrder = sim::kMono;
  EXPECT_EQ(render(w, h, monoSensor, sim::ChartColour, exposure),
            render(w, h, flat, sim::ChartColour, exposure));
}

// The gradient scene with the default response sends the bytes it always has.
TEST(SimScene, DefaultResponseKeepsTheSceneBytes) {
  struct Case {
    uint32_t w, h;
    int order;
    uint32_t exposureUs, gainPercent;
    uint64_t hash;
  };
  const Case cases[] = {{64, 48, 1, 7000, 130, 0xabecd4b1e12ea3c7ull},
                        {64, 48, 0, 10000, 100, 0xd42309caf965621bull},
                        {33, 7, sim::kMono, 12000, 173, 0x43f4905ac0060776ull}};
  for (const Case& c : cases) {
    sim::SceneOptions options;
    options.bayerOrder = c.order;
    EXPECT_EQ(fnv1a(render(c.w, c.h, options, sim::SceneColour, c.exposureUs, c.gainPercent)),
              c.hash)
        << c.w << "x" << c.h << " order " << c.order;
  }
}

// One renderer across a stream's changes must match a fresh one each time: a stale mosaic would
// keep showing the previous scene, order or size.
TEST(SimScene, RendererFollowsEveryChangeOfSceneOrderAndSize) {
  struct Step {
    uint32_t w, h;
    int order;
    sim::ColourFn colour;
    std::array<uint16_t, 3> base;
  };
  const Step steps[] = {{64, 48, 1, sim::SceneColour, {256, 256, 256}},
                        {64, 48, 1, sim::ChartColour, {256, 256, 256}},
                        {64, 48, 0, sim::ChartColour, {372, 256, 379}},
                        {64, 48, 2, sim::ChartColour, {372, 256, 379}},
                        {17, 5, 2, sim::ChartColour, {300, 256, 200}},
                        {17, 5, sim::kMono, sim::ChartColour, {256, 256, 256}},
                        {64, 48, 1, sim::SceneColour, {256, 256, 256}}};
  sim::SceneRenderer renderer;
  int n = 0;
  for (const Step& s : steps) {
    sim::SceneOptions options;
    options.bayerOrder = s.order;
    options.wbBase = s.base;
    options.mainsHz = 50;
    std::vector<uint8_t> frame(size_t{s.w} * s.h);
    renderer.render(frame.data(), s.w, s.h, options, s.colour, 8000, 110, 3 + n);
    std::vector<uint8_t> fresh(frame.size());
    sim::RenderScene(fresh.data(), s.w, s.h, options, 8000, 110, 3 + n, s.colour);
    EXPECT_EQ(frame, fresh) << "step " << n++;
  }
}

// Settings with nothing sensible to scale by still give defined samples.
TEST(SimScene, DegenerateSettingsStayDefined) {
  sim::SceneOptions options, flat;
  options.referenceExposureUs = 0;  // any exposure overexposes; black stays black
  const auto over = render(16, 4, options, sim::SceneColour, 1000);
  for (uint32_t i = 0; i < over.size(); ++i)
    EXPECT_EQ(over[i], sim::SceneSample(i % 16, i / 16, 16, 4, options.bayerOrder) ? 255 : 0) << i;
  EXPECT_EQ(render(16, 4, options, sim::SceneColour, 0), std::vector<uint8_t>(64, 0));
  options = {};
  options.wbBase = {0, 0, 0};  // counts as 256
  EXPECT_EQ(render(16, 4, options, sim::ChartColour, 10000),
            render(16, 4, flat, sim::ChartColour, 10000));
}

}  // namespace

namespace {

// The covered sensor: every frame holds the dark level on average and the planted hot pixels; the
// noise follows the seed and the frame; the wide layout carries the same counts.
TEST(SimDark, LevelHotPixelsAndNoiseAsPlanted) {
  constexpr uint32_t kW = 1024, kH = 770;
  sim::SceneOptions options;
  std::vector<uint8_t> a(kW * kH), b(kW * kH), c(kW * kH);
  sim::RenderDark(a.data(), kW, kH, options, 0);
  sim::RenderDark(b.data(), kW, kH, options, 1);
  options.noiseSeed = 2;
  sim::RenderDark(c.data(), kW, kH, options, 0);
  EXPECT_NE(a, b);  // the noise moves from frame to frame
  EXPECT_NE(a, c);  // and with the seed
  uint64_t sum = 0;
  size_t hot = 0;
  for (uint8_t v : a) {
    if (v == sim::kDarkHotLevel) {
      ++hot;
      continue;
    }
    sum += v;
    EXPECT_LE(std::abs(int(v) - sim::kDarkLevel), sim::kDarkPattern + 1);
  }
  EXPECT_EQ(hot, std::size(sim::kDarkHotPixels));
  EXPECT_NEAR(double(sum) / double(a.size() - hot), sim::kDarkLevel, 0.05);
  for (const sim::FramePoint& p : sim::kDarkHotPixels)
    EXPECT_EQ(a[size_t{p.row} * kW + p.column], sim::kDarkHotLevel);

  options = {};
  options.layout = sim::SampleLayout::Grey16;
  options.greyBits = 12;
  std::vector<uint8_t> wide(2 * kW * kH);
  sim::RenderDark(wide.data(), 2 * kW, kH, options, 0);
  for (size_t i = 0; i < a.size(); i += 4099)
    EXPECT_EQ(wide[2 * i] | wide[2 * i + 1] << 8, a[i] << 4) << i;
}

}  // namespace
