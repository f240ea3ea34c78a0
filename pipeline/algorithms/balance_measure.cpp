// One-push balance measures: the window on the running frame and the R, G, B sums inside it.
#include "pipeline/algorithms/balance_measure.h"

#include <algorithm>
#include <cstring>

#include "base/trace.h"

namespace {

constexpr size_t kWindowSumCount = 9;  // AE, AWB, ABB windows: R, G, B each

int32_t downToEven(int32_t v, uint32_t factor) {
  return (v / int32_t(factor)) & ~1;
}

}  // namespace

bool BalanceWindow(const char* who, const ImageRect& window, const BalanceFrame& frame,
                   ImageRect& out, uint32_t& width, uint32_t& height) {
  ImageRect w = window;
  width = frame.width, height = frame.height;
  if (const SensorRect* r = frame.region) {
    const int64_t l = r->left, t = r->top, rr = r->right, b = r->bottom;
    if (w.left < l || w.top < t || w.right > rr || w.bottom > b) {
      ZX_TRACE("%s, bad rc, ae = [%d, %d, %d, %d], roi = [%d, %d, %d, %d]", who, w.left, w.top,
               w.right, w.bottom, int32_t(r->left), int32_t(r->top), int32_t(r->right),
               int32_t(r->bottom));
      return false;
    }
    w = {int32_t(w.left - l), int32_t(w.top - t), int32_t(w.right - l), int32_t(w.bottom - t)};
    width = r->right - r->left, height = r->bottom - r->top;
  }
  if (frame.binning > 1) {
    const uint32_t f = frame.binning;
    width = (width / f) & ~1u, height = (height / f) & ~1u;
    w = {downToEven(w.left, f), downToEven(w.top, f), downToEven(w.right, f),
         downToEven(w.bottom, f)};
  }
  out = {std::max(w.left, 0), std::max(w.top, 0), std::min(int32_t(width), w.right),
         std::min(int32_t(height), w.bottom)};
  return out.left < out.right && out.top < out.bottom;
}

ChannelSums WindowSums(const char* who, const void* samples, uint64_t bytes, size_t first,
                       uint64_t pixels) {
  ChannelSums s;
  if (first + 3 > kWindowSumCount) return s;
  int64_t v[3];
  std::memcpy(v, static_cast<const uint8_t*>(samples) + bytes + first * sizeof(int64_t), sizeof v);
  const uint32_t count = uint32_t(std::min<uint64_t>(pixels, UINT32_MAX));
  for (size_t k = 0; k < 3; ++k) s.sum[k] = double(v[k]), s.count[k] = count;
  ZX_TRACE("%s, %f, %f, %f", who, s.sum[0], s.sum[1], s.sum[2]);
  return s;
}

template <typename Sample>
ChannelSums MeasureRaw(const Sample* frame, uint32_t width, uint32_t height, const ImageRect& win,
                       uint32_t bayer, const ColourSiteTable& sites, bool bgr) {
  ChannelSums s;
  for (int32_t y = win.top; y < win.bottom; ++y) {
    const uint32_t row = height - 1 - uint32_t(y);
    const Sample* line = frame + size_t(row) * width;
    for (int32_t x = win.left; x < win.right; ++x) {
      const size_t ch = SiteChannel(sites.at(bayer, uint32_t(x), row), bgr);
      if (ch > 2) continue;
      s.sum[ch] += double(line[x]);
      ++s.count[ch];
    }
  }
  return s;
}
template ChannelSums MeasureRaw(const uint8_t*, uint32_t, uint32_t, const ImageRect&, uint32_t,
                                const ColourSiteTable&, bool);
template ChannelSums MeasureRaw(const uint16_t*, uint32_t, uint32_t, const ImageRect&, uint32_t,
                                const ColourSiteTable&, bool);

ChannelSums MeasureBmp(const uint8_t* frame, uint32_t width, uint32_t height,
                       uint32_t bytesPerPixel, const ImageRect& win, bool bgr) {
  ChannelSums s;
  const uint64_t stride = DibRowBytes(uint64_t(bytesPerPixel) * 8, width);
  for (int32_t y = win.top; y < win.bottom; ++y) {
    const uint8_t* line = frame + (height - 1 - uint32_t(y)) * stride;
    for (int32_t x = win.left; x < win.right; ++x) {
      const uint8_t* px = line + size_t(x) * bytesPerPixel;
      for (size_t k = 0; k < 3; ++k) s.sum[k] += px[bgr ? 2 - k : k];
    }
  }
  const uint64_t pixels = uint64_t(win.right - win.left) * uint64_t(win.bottom - win.top);
  s.count.fill(uint32_t(std::min<uint64_t>(pixels, UINT32_MAX)));
  return s;
}

template <typename Sample>
ChannelSums MeasureMono(const Sample* frame, uint32_t width, uint32_t height,
                        const ImageRect& win) {
  ChannelSums s;
  for (int32_t y = win.top; y < win.bottom; ++y) {
    const Sample* line = frame + size_t(height - 1 - uint32_t(y)) * width;
    for (int32_t x = win.left; x < win.right; ++x) s.sum[0] += double(line[x]);
  }
  s.count[0] = uint32_t(uint64_t(win.right - win.left) * uint64_t(win.bottom - win.top));
  return s;
}
template ChannelSums MeasureMono(const uint8_t*, uint32_t, uint32_t, const ImageRect&);
template ChannelSums MeasureMono(const uint16_t*, uint32_t, uint32_t, const ImageRect&);
