// The RGB-input frame driver and its per-pixel kernels: each colour byte meets its own colour's
// black offset and table and its own position's gain and dark value in either byte order, and a
// balance frame is measured before the tables touch it.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "kernels/colour_planes.h"
#include "kernels/output.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/pl_rgb_driver.h"
#include "pipeline/pl_tables.h"
#include "pipeline/stages/layout.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

constexpr uint32_t kW = 13, kH = 6;  // odd width: rows are padded

using Pixel = std::array<uint32_t, 3>;  // red, green, blue
using Transform = std::function<Pixel(Pixel)>;

// A frame of noisy colour bytes at the layout's pixel size, padding and fourth bytes 0xEE.
std::vector<uint8_t> colourImage(uint8_t p, const Transform& t = nullptr) {
  const size_t stride = kernels::rowStride<uint8_t>(p, kW);
  std::vector<uint8_t> img(frameSamples<uint8_t>(kW, kH, p), 0xEE);
  const auto noise = rawFrame<uint8_t>(kW * 3, kH, 8, 7);
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x) {
      Pixel v{noise[(y * kW + x) * 3], noise[(y * kW + x) * 3 + 1], noise[(y * kW + x) * 3 + 2]};
      if (t) v = t(v);
      for (int k = 0; k < 3; ++k) img[y * stride + x * p + k] = uint8_t(v[k]);
    }
  return img;
}

// Memory bytes of a pixel from its colours, by byte order.
Transform inMemoryOrder(bool bgr, const Transform& t) {
  return [=](Pixel m) {
    const Pixel c = bgr ? Pixel{m[2], m[1], m[0]} : m;
    const Pixel o = t(c);
    return bgr ? Pixel{o[2], o[1], o[0]} : o;
  };
}

uint32_t sat(uint64_t v) {
  return uint32_t(std::min<uint64_t>(v, 255));
}

PLContextPtr rgbState(uint8_t byteOrder, uint32_t format) {
  PLInitParams p = paramsFor({kW, kH, byteOrder, false, format});
  p.pixelFormat = kPixelYuv422;
  PLContextPtr c(PL_Init(&p));
  c->settings.blackOffset[0] = c->settings.blackOffset[1] = c->settings.blackOffset[2] = 0;
  return c;
}

// A packed frame whose colour tables ride on the conversion comes out as the conversion followed
// by the driver's own table pass, in both byte orders and formats; with a calibration step due,
// the tables wait for it.
TEST(RgbInputDriver, PackedFrameTablesInTheConversionEqualASeparatePass) {
  const auto packed = rawFrame<uint8_t>(kW * 2, kH, 8, 5);
  for (uint8_t byteOrder : {0, 1})
    for (bool alt : {false, true})
      for (bool dark : {false, true}) {
        auto fused = rgbState(byteOrder, kOutputRgb8), apart = rgbState(byteOrder, kOutputRgb8);
        for (auto* c : {fused.get(), apart.get()}) {
          c->settings.blackOffset[0] = 10, c->settings.blackOffset[1] = 40;
          c->settings.blackOffset[2] = 90;
          if (dark) {
            c->dfcEnable = c->dfcValid = 1;
            for (auto& plane : c->darkPlanes) plane.assign(size_t(kW) * kH, 5);
          }
        }
        std::vector<uint8_t> got(frameSamples<uint8_t>(kW, kH), 0xEE), want = got;
        PL_ProcessPacked8(fused.get(), packed.data(), alt, kW, kH, got.data(), nullptr, 1);
        (alt ? kernels::Yuv422ToRgb8Alt : kernels::Yuv422ToRgb8)(
            stages::LayoutOf(*apart), packed.data(), want.data(), kW, kH);
        PL_ProcessRgb8(apart.get(), want.data(), nullptr, 1, packed.data());
        EXPECT_EQ(got, want) << "byte order " << int(byteOrder) << " alt " << alt << " dark "
                             << dark;
      }
}

// The driver with a calibration step on gives what the driver without it gives for the image the
// step should have made: black offsets reach every byte by its colour, calibration planes by
// position (plane k on byte 2 - k) as they were built, and the camera's raw table nothing.
TEST(RgbInputDriver, PerColourStepsMeetTheirColour) {
  const size_t n = size_t(kW) * kH;
  struct Row {
    const char* name;
    std::function<void(PLContext&)> prepare;
    Transform want;  // on red, green, blue; or on memory bytes 0, 1, 2 when positional
    bool positional;
  } rows[] = {
      {"flat-field gains 2.0, 1.0, 0.5 on bytes 2, 1, 0",
       [n](PLContext& c) {
         c.ffcEnable = c.ffcValid = 1;
         c.ffcGainPlanes = {std::vector<uint32_t>(n, 131072), std::vector<uint32_t>(n, 65536),
                            std::vector<uint32_t>(n, 32768)};
       },
       [](Pixel m) {
         return Pixel{m[0] / 2, m[1], sat(m[2] * 2)};
       },
       true},
      {"dark planes 10, 20, 250 on bytes 2, 1, 0",
       [n](PLContext& c) {
         c.dfcEnable = c.dfcValid = 1;
         c.darkPlanes = {std::vector<uint8_t>(n, 10), std::vector<uint8_t>(n, 20),
                         std::vector<uint8_t>(n, 250)};
       },
       [](Pixel m) {
         return Pixel{m[0] > 250 ? m[0] - 250 : 0, m[1] > 20 ? m[1] - 20 : 0,
                      m[2] > 10 ? m[2] - 10 : 0};
       },
       true},
      {"black offsets 16, 0, 0x105 (low byte)",
       [](PLContext& c) { c.settings.blackOffset[0] = 16, c.settings.blackOffset[2] = 0x105; },
       [](Pixel v) {
         return Pixel{v[0] > 16 ? v[0] - 16 : 0, v[1], v[2] > 5 ? v[2] - 5 : 0};
       },
       false},
      {"black offsets 16, 0, 5 then balance tables v / 2, v, 255 - v",
       [](PLContext& c) {
         c.settings.blackOffset[0] = 16, c.settings.blackOffset[2] = 5;
         auto wb = std::make_shared<WbTableSet<uint8_t>>();
         for (auto& t : wb->lut) t.resize(256);
         for (size_t v = 0; v < 256; ++v)
           wb->lut[0][v] = uint8_t(v / 2), wb->lut[1][v] = uint8_t(v),
           wb->lut[2][v] = uint8_t(255 - v);
         wb->active = 1;
         PublishTables(c, &PLTableSets<uint8_t>::wb,
                       std::shared_ptr<const WbTableSet<uint8_t>>(wb));
       },
       [](Pixel v) {
         return Pixel{(v[0] > 16 ? v[0] - 16 : 0) / 2, v[1], 255 - (v[2] > 5 ? v[2] - 5 : 0)};
       },
       false},
      {"a camera raw table changes nothing",
       [](PLContext& c) {
         c.settings.stepBits |= 4;
         c.rawLut.resize(200);
         for (size_t v = 0; v < c.rawLut.size(); ++v) c.rawLut[v] = uint8_t(v / 2);
       },
       [](Pixel v) { return v; }, true},
  };
  for (const Row& row : rows)
    for (const uint8_t byteOrder : {0, 1})
      for (const uint32_t format : {kOutputRgb8, kOutputRgb32}) {
        auto on = rgbState(byteOrder, format);
        auto off = rgbState(byteOrder, format);
        row.prepare(*on);
        const uint8_t p = on->samplesPerPixel;
        auto got = colourImage(p);
        auto want = colourImage(p, row.positional ? row.want : inMemoryOrder(byteOrder, row.want));
        PL_ProcessRgb8(on.get(), got.data(), nullptr, 1, nullptr);
        PL_ProcessRgb8(off.get(), want.data(), nullptr, 1, nullptr);
        EXPECT_EQ(got, want) << row.name << ", byte order " << int(byteOrder) << ", p " << int(p);
      }
}

// One plane value on one byte value, through the driver: saturation, a product past 32 bits,
// subtraction stopping at 0, and planes that do not hold the running frame left unapplied.
TEST(RgbInputDriver, CalibrationValuesOnAByte) {
  const size_t n = size_t(kW) * kH;
  struct Row {
    const char* name;
    bool gain;
    uint32_t value;
    size_t planeSize;
    uint8_t before, after;
  } rows[] = {
      {"gain 2.0 on 200", true, 131072, n, 200, 255},
      {"gain 0.5 on 201", true, 32768, n, 201, 100},
      {"gain 0xFFFFFFFF on 255", true, 0xFFFFFFFFu, n, 255, 255},
      {"gain 2^31 on 2: the product needs 33 bits", true, 0x80000000u, n, 2, 255},
      {"gain planes of another frame", true, 131072, n + kW, 100, 100},
      {"dark 30 on 20", false, 30, n, 20, 0},
      {"dark 30 on 50", false, 30, n, 50, 20},
      {"dark planes of another frame", false, 30, n - 1, 50, 50},
  };
  for (const Row& row : rows) {
    auto c = rgbState(0, kOutputRgb8);
    if (row.gain) {
      c->ffcEnable = c->ffcValid = 1;
      for (auto& plane : c->ffcGainPlanes) plane.assign(row.planeSize, row.value);
    } else {
      c->dfcEnable = c->dfcValid = 1;
      for (auto& plane : c->darkPlanes) plane.assign(row.planeSize, uint8_t(row.value));
    }
    auto img = colourImage(3, [&](Pixel) { return Pixel{row.before, row.before, row.before}; });
    PL_ProcessRgb8(c.get(), img.data(), nullptr, 1, nullptr);
    const auto want = colourImage(3, [&](Pixel) { return Pixel{row.after, row.after, row.after}; });
    EXPECT_EQ(img, want) << row.name;
  }
}

// A calibration import on a host thread replaces the planes, under their locks, while frames
// run: each frame sees whole planes, old or new (the thread sanitizer sees no unlocked read),
// and never planes of another size.
TEST(RgbInputDriver, CalibrationImportWhileFramesRun) {
  const size_t n = size_t(kW) * kH;
  auto c = rgbState(0, kOutputRgb8);
  c->ffcEnable = c->ffcValid = c->dfcEnable = c->dfcValid = 1;
  c->ffcGainPlanes.fill(std::vector<uint32_t>(n, 65536));
  c->darkPlanes.fill(std::vector<uint8_t>(n, 0));
  std::atomic<bool> done{false};
  std::thread importer([&] {
    for (uint32_t i = 0; !done; ++i) {
      {
        std::lock_guard<platform::RecursiveLock> hold(*c->mtxFfc);
        const size_t size = i % 3 == 2 ? n / 2 : n;  // now and then a file for another frame
        c->ffcGainPlanes.fill(std::vector<uint32_t>(size, i % 2 ? 65536 : 131072));
      }
      std::lock_guard<platform::RecursiveLock> hold(*c->mtxDfc);
      c->darkPlanes.fill(std::vector<uint8_t>(n, uint8_t(i % 2)));
    }
  });
  const auto flat = colourImage(3, [](Pixel) { return Pixel{60, 60, 60}; });
  for (int frame = 0; frame < 200; ++frame) {
    auto img = flat;
    PL_ProcessRgb8(c.get(), img.data(), nullptr, 1, nullptr);
    const uint8_t v = img[0];
    EXPECT_TRUE(v == 59 || v == 60 || v == 119 || v == 120) << int(v);
  }
  done = true;
  importer.join();
}

// Padding and fourth bytes stay; a null table or plane leaves the image alone.
TEST(RgbInputDriver, KernelsKeepPaddingAndFourthBytes) {
  const std::vector<uint8_t> zero(size_t(kW) * kH, 0);
  const std::vector<uint32_t> twice(size_t(kW) * kH, 131072);
  std::array<uint8_t, 256> lut;
  for (size_t v = 0; v < 256; ++v) lut[v] = uint8_t(255 - v);
  using Step = std::function<void(const kernels::Layout&, uint8_t*)>;
  struct Row {
    const char* name;
    Step step;
    bool changes;
  } rows[] = {
      {"tables",
       [&](const kernels::Layout& l, uint8_t* img) {
         kernels::ApplyColourTables(l, kW, kH, img, {lut.data(), lut.data(), lut.data()});
       },
       true},
      {"gains",
       [&](const kernels::Layout& l, uint8_t* img) {
         kernels::ApplyGainPlanes(l, kW, kH, img, {{twice.data(), twice.data(), twice.data()}});
       },
       true},
      {"null dark plane",
       [&](const kernels::Layout& l, uint8_t* img) {
         kernels::SubtractDarkPlanes(l, kW, kH, img, {{zero.data(), nullptr, zero.data()}});
       },
       false},
  };
  for (const Row& row : rows)
    for (const uint8_t p : {3, 4}) {
      const kernels::Layout l{p, 8, 1, 1};
      const auto before = colourImage(p);
      auto img = before;
      row.step(l, img.data());
      const size_t stride = kernels::rowStride<uint8_t>(p, kW);
      bool changed = false, kept = true;
      for (size_t i = 0; i < img.size(); ++i) {
        const size_t col = i % stride;
        const bool colourByte = i / stride < kH && col < size_t(kW) * p && col % p < 3;
        if (colourByte)
          changed |= img[i] != before[i];
        else
          kept &= img[i] == before[i];
      }
      EXPECT_TRUE(kept) << row.name << " p " << int(p);
      EXPECT_EQ(changed, row.changes) << row.name << " p " << int(p);
    }
}

std::vector<RawStep> gSteps;

// The balance frame is measured as delivered; only the next frame goes through the tables.
TEST(RgbInputDriver, WhiteBalanceFrameIsNotBalanced) {
  auto c = rgbState(1, kOutputRgb8);
  auto wb = std::make_shared<WbTableSet<uint8_t>>();
  for (auto& t : wb->lut) t.assign(256, 9);
  wb->active = 1;
  PublishTables(*c, &PLTableSets<uint8_t>::wb, std::shared_ptr<const WbTableSet<uint8_t>>(wb));
  c->awbRequest = 1;
  auto img = colourImage(3);
  const std::vector<std::vector<RawStep>> want = {{RawStep::WhiteBalance}, {RawStep::RawWb}};
  for (const auto& steps : want) {
    gSteps.clear();
    SetRawStepObserver(
        [](RawStep s, void*) {
          if (s == RawStep::WhiteBalance || s == RawStep::RawWb) gSteps.push_back(s);
        },
        nullptr);
    PL_ProcessRgb8(c.get(), img.data(), nullptr, 1, img.data());
    SetRawStepObserver(nullptr, nullptr);
    EXPECT_EQ(gSteps, steps);
  }
  EXPECT_EQ(c->awbRequest, 0);
}

std::vector<uint32_t> gCounts;

// The histogram shows the image before levels and the tone curve: a level range, or a state
// without tone mapping, hands over the counts the plain tone-mapped image gives.
TEST(RgbInputDriver, HistogramIsTakenBeforeLevelsAndTone) {
  struct Row {
    const char* name;
    uint8_t toneMapping;
    std::function<void(PLContext&)> prepare;
  } const rows[] = {
      {"levels 40 to 160", 1,
       [](PLContext& c) {
         const uint8_t low[4] = {40, 40, 40, 40}, high[4] = {160, 160, 160, 160};
         PL_ApplyLevelRange(&c, low, high);
       }},
      {"no tone mapping", 0, [](PLContext&) {}},
  };
  auto histogramOf = [](uint8_t byteOrder, uint8_t toneMapping,
                        const std::function<void(PLContext&)>& prepare) {
    PLInitParams p = paramsFor({kW, kH, byteOrder, false, kOutputRgb8});
    p.pixelFormat = kPixelYuv422, p.hasToneMapping = toneMapping;
    PLContextPtr c(PL_Init(&p));
    c->settings.gamma = 60;  // a tone curve that moves the bytes
    PL_UpdateToneCurve(c.get());
    if (prepare) prepare(*c);
    c->callbacks.histogramCallback = [](const uint32_t* counts, uint32_t bits, void*) {
      gCounts.assign(counts, counts + (3u << (bits & 0xFF)));
    };
    auto img = colourImage(3);
    gCounts.clear();
    PL_ProcessRgb8(c.get(), img.data(), nullptr, 1, img.data());
    return gCounts;
  };
  for (uint8_t byteOrder : {0, 1}) {
    const auto plain = histogramOf(byteOrder, 1, nullptr);
    ASSERT_EQ(plain.size(), 3u * 256);
    for (const Row& row : rows)
      EXPECT_EQ(histogramOf(byteOrder, row.toneMapping, row.prepare), plain)
          << row.name << ", byte order " << int(byteOrder);
  }
}

}  // namespace
}  // namespace zxtest
