// The grey frame drivers: black level by depth, what reaches each output format, a roi that
// shifts nothing, equal statistics arrays and the order of the steps.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "kernels/output.h"
#include "pipeline/pl_mono_driver.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

PLInitParams greyParams(uint32_t w, uint32_t h, bool high, uint32_t outputFormat) {
  PLInitParams p = paramsFor({w, h, 1, high, outputFormat});
  p.isColour = 0;
  return p;
}

// One sample per pixel of the output, first of each pixel; rows top-down.
template <typename S>
std::vector<uint32_t> firstSamples(const std::vector<S>& out, uint32_t w, uint32_t h, uint8_t p) {
  std::vector<uint32_t> v;
  const size_t stride = kernels::rowStride<S>(p, int32_t(w));
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) v.push_back(out[y * stride + x * p]);
  return v;
}

// Samples 10, 16, 17 and a high one under a black offset; 8 bits take the offset's low byte.
TEST(GreyDriver, BlackLevelAndOutputFormats) {
  struct Row {
    const char* name;
    bool high;
    uint32_t format;
    uint8_t p;
    uint16_t offset;
    std::vector<uint32_t> raw, want;
  } rows[] = {
      {"8-bit to RGB", false, kOutputRgb8, 3, 16, {10, 16, 17, 200}, {0, 0, 1, 184}},
      {"8-bit to grey", false, kOutputGrey8, 1, 16, {10, 16, 17, 200}, {0, 0, 1, 184}},
      {"8-bit, offset's low byte", false, kOutputRgb8, 3, 0x110, {10, 16, 17, 200}, {0, 0, 1, 184}},
      {"12-bit to grey 16",
       true,
       kOutputGrey16,
       1,
       0x110,
       {0x10F, 0x110, 0x111, 0xFFF},
       {0, 0, 1, 0xEEF}},
      {"12-bit to RGB 16", true, kOutputRgb16, 3, 16, {10, 16, 17, 4000}, {0, 0, 1, 3984}},
      {"12-bit offset 300", true, kOutputGrey16, 1, 300, {299, 300, 301, 4000}, {0, 0, 1, 3700}},
      {"12-bit to RGB 8", true, kOutputRgb8, 3, 16, {10, 16, 0x111, 4000}, {0, 0, 0x10, 249}},
  };
  constexpr uint32_t w = 4, h = 2;
  for (const Row& row : rows) {
    auto run = [&](auto sample, auto outSample) {
      using S = decltype(sample);
      using O = decltype(outSample);
      auto ctx = makeState<S>(greyParams(w, h, row.high, row.format));
      ASSERT_EQ(ctx->samplesPerPixel, row.p) << row.name;
      ctx->settings.blackOffset[0] = row.offset;
      ctx->settings.blackOffset[1] = ctx->settings.blackOffset[2] = 0;
      std::vector<S> raw;
      for (int y = 0; y < 2; ++y)
        for (uint32_t v : row.raw) raw.push_back(S(v));
      std::vector<O> out(frameSamples<O>(w, h, row.p), 0xAB);
      if constexpr (sizeof(S) == 1)
        PL_ProcessMono8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1);
      else
        PL_ProcessMono16(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1);
      std::vector<uint32_t> want = row.want;
      want.insert(want.end(), row.want.begin(), row.want.end());
      EXPECT_EQ(firstSamples(out, w, h, row.p), want) << row.name;
      if (row.p == 3) {  // every sample of a pixel the same grey
        for (uint32_t x = 0; x < w; ++x) EXPECT_EQ(out[3 * x + 2], out[3 * x]) << row.name;
      }
    };
    if (!row.high)
      run(uint8_t{}, uint8_t{});
    else if (row.format == kOutputRgb8)
      run(uint16_t{}, uint8_t{});
    else
      run(uint16_t{}, uint16_t{});
  }
}

// One sample a pixel is the first byte of the three: with vignette, tone and levels on, the grey
// outputs carry byte 0 of the RGB outputs for the same frame and settings, and the high-bit
// driver's 8-bit grey is its 16-bit grey shifted to 8 bits.
TEST(GreyDriver, GreyOutputIsTheFirstByteOfRgb) {
  constexpr uint32_t w = 37, h = 21;  // odd: rows are padded
  struct Row {
    const char* name;
    bool high;
    uint32_t grey, rgb;
    uint8_t byteOrder;
    bool shifted;  // the grey output is the other shifted down to 8 bits
  } rows[] = {
      {"8-bit, BGR", false, kOutputGrey8, kOutputRgb8, 1, false},
      {"8-bit, RGB", false, kOutputGrey8, kOutputRgb8, 0, false},
      {"8-bit, RGB32", false, kOutputGrey8, kOutputRgb32, 1, false},
      {"12-bit, grey 8 of RGB 8", true, kOutputGrey8, kOutputRgb8, 1, false},
      {"12-bit, grey 16 of RGB 48", true, kOutputGrey16, kOutputRgb16, 0, false},
      {"12-bit, grey 8 of grey 16", true, kOutputGrey8, kOutputGrey16, 1, true},
  };
  for (const Row& row : rows) {
    auto outputs = [&](auto sample, auto greyOut, auto otherOut) {
      using S = decltype(sample);
      auto run = [&](uint32_t format, auto outSample) {
        using O = decltype(outSample);
        PLInitParams p = greyParams(w, h, row.high, format);
        p.byteOrder = row.byteOrder;
        auto ctx = makeState<S>(p);
        makeBusy(*ctx, true);
        const auto raw = rawFrame<S>(w, h, row.high ? 12 : 8);
        auto work = raw;
        std::vector<O> out(frameSamples<O>(w, h, ctx->samplesPerPixel), 0xAB);
        if constexpr (sizeof(S) == 1)
          PL_ProcessMono8(ctx.get(), work.data(), out.data(), nullptr, nullptr, 1);
        else
          PL_ProcessMono16(ctx.get(), work.data(), out.data(), nullptr, nullptr, 1);
        return firstSamples(out, w, h, ctx->samplesPerPixel);
      };
      auto grey = run(row.grey, greyOut);
      auto other = run(row.rgb, otherOut);
      if (row.shifted)
        for (auto& v : other) v >>= 4;
      EXPECT_EQ(grey, other) << row.name;
    };
    if (!row.high)
      outputs(uint8_t{}, uint8_t{}, uint8_t{});
    else if (row.grey == kOutputGrey16)
      outputs(uint16_t{}, uint16_t{}, uint16_t{});
    else if (row.rgb == kOutputRgb8)
      outputs(uint16_t{}, uint8_t{}, uint8_t{});
    else
      outputs(uint16_t{}, uint8_t{}, uint16_t{});
  }
}

// A frame processed at another size than the output is fitted in 16 bits into both 16-bit
// outputs and the second (16-bit) buffer beside an 8-bit one: the same-size frame, resampled.
TEST(GreyDriver, ResizedHighBitFramesFitTheWideOutputs) {
  struct Row {
    const char* name;
    uint32_t format;
    uint32_t procW, procH;
  } rows[] = {
      {"grey 16, processed at half size", kOutputGrey16, 12, 9},
      {"RGB 48, processed at half size", kOutputRgb16, 12, 9},
      {"grey 16, processed wider and taller", kOutputGrey16, 50, 37},
      {"grey 8 with its 16-bit copy", kOutputGrey8, 12, 9},
  };
  constexpr uint32_t w = 24, h = 18;
  for (const Row& row : rows) {
    const bool wide = row.format == kOutputGrey16 || row.format == kOutputRgb16;
    const auto raw = rawFrame<uint16_t>(row.procW, row.procH, 12);
    // The frame as processed: a state whose output has the processed size.
    auto same = makeState<uint16_t>(greyParams(row.procW, row.procH, true, row.format));
    const uint8_t p = same->samplesPerPixel;
    std::vector<uint16_t> work = raw, small(frameSamples<uint16_t>(row.procW, row.procH, p));
    std::vector<uint8_t> small8(frameSamples<uint8_t>(row.procW, row.procH, p));
    PL_ProcessMono16(same.get(), work.data(),
                     wide ? static_cast<void*>(small.data()) : small8.data(),
                     wide ? nullptr : small.data(), nullptr, 1);
    std::vector<uint16_t> want(frameSamples<uint16_t>(w, h, p), 0xABCD);
    ASSERT_TRUE(kernels::FitToOutput16(int32_t(w), int32_t(h), int32_t(row.procW),
                                       int32_t(row.procH), want.data(), want.size() * 2,
                                       small.data(), small.size() * 2, p));

    StateShape shape{w, h, 1, true, row.format, row.procW, row.procH};
    PLInitParams params = paramsFor(shape);
    params.isColour = 0;
    auto ctx = makeState<uint16_t>(params);
    std::vector<uint16_t> out(frameSamples<uint16_t>(w, h, p), 0xABCD), out16 = out;
    std::vector<uint8_t> out8(frameSamples<uint8_t>(w, h, p), 0xAB);
    work = raw;
    PL_ProcessMono16(ctx.get(), work.data(), wide ? static_cast<void*>(out.data()) : out8.data(),
                     wide ? nullptr : out16.data(), nullptr, 1);
    EXPECT_EQ(wide ? out : out16, want) << row.name;
    if (!wide) {  // the 8-bit output still comes from the fitted 8-bit frame
      EXPECT_EQ(firstSamples(out8, w, h, p)[w * h - 1], uint32_t(want[(h - 1) * w + w - 1]) >> 4)
          << row.name;
    }
  }
}

// A roi of odd left and top crops the grey frame: no phase, no shifted sites.
TEST(GreyDriver, OddRoiCropsWithoutShifting) {
  for (const bool high : {false, true}) {
    auto run = [&](auto sample) {
      using S = decltype(sample);
      auto ctx = makeState<S>(greyParams(16, 12, high, kOutputRgb8));
      ctx->settings.blackOffset[0] = 0;
      const SensorRect roi{3, 5, 10, 10};
      std::vector<S> raw(7 * 5);
      std::iota(raw.begin(), raw.end(), S(40));
      std::vector<uint8_t> out(frameSamples<uint8_t>(7, 5), 0);
      if constexpr (sizeof(S) == 1)
        PL_ProcessMono8(ctx.get(), raw.data(), out.data(), nullptr, &roi, 1);
      else
        PL_ProcessMono16(ctx.get(), raw.data(), out.data(), nullptr, &roi, 1);
      const auto got = firstSamples(out, 7, 5, 3);
      for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], high ? uint32_t(raw[i]) >> 4 : uint32_t(raw[i])) << high << " " << i;
    };
    high ? run(uint16_t{}) : run(uint8_t{});
  }
}

std::array<std::vector<float>, 4> gDelivered;

// The four arrays handed to the host are the same grey distribution of the running frame's
// pixels, summing to one, also when a region at an odd origin and binning shrink the frame.
TEST(GreyDriver, StatisticsArraysAreEqual) {
  const SensorRect region{3, 5, 3 + 20, 5 + 14};  // binned by 2: 10 x 6
  struct Row {
    const char* name;
    bool high;
    uint32_t format;
    const SensorRect* roi;
    uint8_t binning;
    uint32_t rw, rh;
  } rows[] = {
      {"8-bit to RGB", false, kOutputRgb8, nullptr, 1, 32, 24},
      {"8-bit to grey", false, kOutputGrey8, nullptr, 1, 32, 24},
      {"8-bit to grey, odd region, binning 2", false, kOutputGrey8, &region, 2, 10, 6},
      {"12-bit to grey 16, odd region, binning 2", true, kOutputGrey16, &region, 2, 10, 6},
      {"12-bit to RGB, odd region, binning 2", true, kOutputRgb8, &region, 2, 10, 6},
  };
  for (const Row& row : rows) {
    auto run = [&](auto sample) {
      using S = decltype(sample);
      auto ctx = makeState<S>(greyParams(32, 24, row.high, row.format));
      ctx->statsRequest = 1;
      ctx->callbacks.statsCallback = [](const float* a, const float* b, const float* c,
                                        const float* d, void*) {
        for (auto [i, src] : {std::pair{0, a}, {1, b}, {2, c}, {3, d}})
          gDelivered[i].assign(src, src + 256);
      };
      auto raw = rawFrame<S>(row.rw, row.rh, row.high ? 12 : 8);
      std::vector<uint16_t> out(frameSamples<uint16_t>(32, 24, 3));
      if constexpr (sizeof(S) == 1)
        PL_ProcessMono8(ctx.get(), raw.data(), reinterpret_cast<uint8_t*>(out.data()), nullptr,
                        row.roi, row.binning);
      else
        PL_ProcessMono16(ctx.get(), raw.data(), out.data(), nullptr, row.roi, row.binning);
      EXPECT_EQ(ctx->statsRequest, 0u) << row.name << ": a one-shot request";
    };
    row.high ? run(uint16_t{}) : run(uint8_t{});
    ASSERT_EQ(gDelivered[0].size(), 256u) << row.name;
    for (int i = 1; i < 4; ++i) EXPECT_EQ(gDelivered[i], gDelivered[0]) << row.name << " " << i;
    EXPECT_NEAR(std::accumulate(gDelivered[0].begin(), gDelivered[0].end(), 0.0), 1.0, 1e-4)
        << row.name;
    gDelivered = {};
  }
}

std::vector<RawStep> gSteps;

TEST(GreyDriver, StepsRunInOrderAndOnlyWhenOn) {
  using S = RawStep;
  struct Row {
    const char* name;
    StateShape shape;
    bool withOut;
    std::function<void(PLContext&)> prepare;
    std::vector<RawStep> steps;
  } rows[] = {
      {"all on",
       {64, 48},
       true,
       [](PLContext& c) { switchEveryStepOn(c, 1); },
       {S::FfcAccumulate, S::FfcApply, S::DfcAccumulate, S::DfcApply, S::BlackBalance,
        S::BlackLevel, S::RawLut, S::GreySpread, S::Vignette, S::MonoLut, S::Statistics,
        S::StatsDelivery, S::Histogram, S::Levels, S::Sharpen, S::AeMark, S::Mirror, S::Rotate}},
      {"all off, processed at half size",
       {64, 48, 1, false, 0, 32, 24},
       true,
       [](PLContext& c) {
         c.settings.blackOffset[0] = 0;
         c.settings.processFlags |= PLProcessFlags::kRotate90;
       },
       {S::GreySpread, S::Sharpen, S::Fit, S::Mirror, S::Rotate}},
      {"no out, other offsets only: nothing",
       {64, 48},
       false,
       [](PLContext& c) {
         c.settings.blackOffset[0] = 0;
         c.settings.blackOffset[1] = 10;
         c.awbRequest = 1;
       },
       {}},
  };
  for (auto& row : rows) {
    PLInitParams p = paramsFor(row.shape);
    p.isColour = 0;
    PLContextPtr ctx(PL_Init(&p));
    row.prepare(*ctx);
    auto raw = rawFrame<uint8_t>(ctx->procWidth, ctx->procHeight, 8);
    std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48));
    gSteps.clear();
    SetRawStepObserver([](RawStep s, void*) { gSteps.push_back(s); }, nullptr);
    PL_ProcessMono8(ctx.get(), raw.data(), row.withOut ? out.data() : nullptr, nullptr, nullptr, 1);
    SetRawStepObserver(nullptr, nullptr);
    EXPECT_EQ(gSteps, row.steps) << row.name;
    EXPECT_EQ(ctx->ffcRequest, 0) << row.name;
    if (row.steps.size() > 10) {
      EXPECT_EQ(ctx->awbRequest, 1) << "no white balance on grey";
    }
  }
}

}  // namespace
}  // namespace zxtest
