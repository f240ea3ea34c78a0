// Dark-field calibration: frames of the covered sensor summed to a mean dark frame, and the hot
// pixels found in it. Callers hold mtxDfc.
#include "pipeline/algorithms/dark_field.h"

#include <algorithm>
#include <array>
#include <new>

#include "base/geometry.h"
#include "base/trace.h"
#include "pipeline/algorithms/balance_measure.h"

namespace {

constexpr uint32_t kHotBorder = 2;
constexpr std::array<double, 3> kLumaShare{0.299, 0.587, 0.114};  // R, G, B

// The value the finder compares: weighted by the site's channel, in 8-bit units.
template <typename Sample>
double weighted(const Sample* dark, uint32_t w, uint32_t x, uint32_t y, double scale,
                const ColourSiteTable* sites, uint32_t bayer, bool bgr) {
  double v = double(dark[size_t(y) * w + x]) * scale;
  if (sites) {
    const size_t ch = SiteChannel(sites->at(bayer, x, y), bgr);
    v *= ch <= 2 ? kLumaShare[ch] : 0.0;
  }
  return v;
}

// Sums the frame in; a sum buffer of another size starts the run's count over.
template <typename Sample>
bool addFrame(PLContextT<Sample>& c, const Sample* frame, size_t n, size_t stride, size_t p,
              uint32_t w, const std::array<size_t, 3>* byteOf) {
  try {
    const size_t entries = byteOf ? 3 * n : n;
    if (c.dfcSum.size() != entries) c.dfcSum.assign(entries, 0), c.dfcCount = 0;
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the sums", "AccumulateDfc");
    c.dfcRequest = 0;
    return false;
  }
  if (!byteOf) {
    for (size_t i = 0; i < n; ++i) c.dfcSum[i] += frame[i];
    return true;
  }
  const size_t rows = n / w;
  for (size_t y = 0; y < rows; ++y) {
    const Sample* row = frame + y * stride;
    uint32_t* sum = c.dfcSum.data() + y * w * 3;
    for (uint32_t x = 0; x < w; ++x, row += p, sum += 3)
      for (size_t k = 0; k < 3; ++k) sum[k] += row[(*byteOf)[k]];
  }
  return true;
}

template <typename Sample>
void finishRaw(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t bayer) {
  c.dfcRequest = 0;
  const size_t n = size_t(w) * h;
  const uint32_t taken = std::max<uint32_t>(c.dfcCount, 1);
  const uint32_t top = c.tableMax();
  try {
    platform::FrameVector<Sample> dark(std::max(c.darkTable.size(), n), 0);
    for (size_t i = 0; i < n; ++i) dark[i] = Sample(std::min(c.dfcSum[i] / taken, top));
    c.darkTable.swap(dark);
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the dark frame", "AccumulateDfc");
    return;
  }
  c.dfcValid = 1;
  DfcFindHotPixels(c, w, h, bayer);
}

template <typename Sample>
void accumulateRaw(PLContextT<Sample>& c, const Sample* frame, uint32_t w, uint32_t h,
                   uint32_t bayer) {
  if (!frame) return;
  if (!addFrame(c, frame, size_t(w) * h, w, 1, w, nullptr)) return;
  if (++c.dfcCount >= c.dfcFrames) finishRaw(c, w, h, bayer);
}

void average3(PLContext& c, uint32_t w, uint32_t h, const std::array<size_t, 3>& from) {
  const size_t n = size_t(w) * h;
  const uint32_t taken = std::max<uint32_t>(c.dfcCount, 1);
  if (c.dfcSum.size() < 3 * n) return;
  try {
    std::array<std::vector<uint8_t>, 3> planes;
    for (size_t k = 0; k < 3; ++k) {
      planes[k].resize(n);
      for (size_t i = 0; i < n; ++i)
        planes[k][i] = uint8_t(std::min<uint32_t>(c.dfcSum[3 * i + from[k]] / taken, 255));
    }
    c.darkPlanes.swap(planes);
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the dark planes", "DfcAverage3");
    return;
  }
  c.dfcValid = 1;
}

void accumulateBmp(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h,
                   const std::array<size_t, 3>& byteOf) {
  const size_t p = c.samplesPerPixel;
  if (!frame || p < 3 || w == 0) return;
  if (!addFrame(c, frame, size_t(w) * h, DibRowBytes(p * 8, w), p, w, &byteOf)) return;
  if (++c.dfcCount < c.dfcFrames) return;
  c.dfcRequest = 0;
  (c.byteOrder ? DfcAverage3Bgr : DfcAverage3Rgb)(c, w, h);
}

}  // namespace

template <typename Sample>
bool FindHotPixels(const Sample* dark, uint32_t w, uint32_t h, uint8_t bits,
                   const ColourSiteTable* sites, uint32_t bayer, bool bgr,
                   std::vector<HotPixel>& list) {
  if (w <= 2 * kHotBorder || h <= 2 * kHotBorder) return false;
  const double scale = bits > 8 ? 1.0 / double(1u << (bits - 8)) : 1.0;
  double sum = 0;
  for (uint32_t y = kHotBorder; y < h - kHotBorder; ++y)
    for (uint32_t x = kHotBorder; x < w - kHotBorder; ++x)
      sum += weighted(dark, w, x, y, scale, sites, bayer, bgr);
  const double mean = sum / (double(w - 2 * kHotBorder) * double(h - 2 * kHotBorder));
  if (mean > kHotMeanMax) return false;
  std::vector<HotPixel> found;
  for (uint32_t y = kHotBorder; y < h - kHotBorder; ++y)
    for (uint32_t x = kHotBorder; x < w - kHotBorder; ++x)
      if (weighted(dark, w, x, y, scale, sites, bayer, bgr) > mean + kHotMargin)
        found.push_back({uint16_t(x), uint16_t(y)});
  list.swap(found);
  return true;
}
template bool FindHotPixels(const uint8_t*, uint32_t, uint32_t, uint8_t, const ColourSiteTable*,
                            uint32_t, bool, std::vector<HotPixel>&);
template bool FindHotPixels(const uint16_t*, uint32_t, uint32_t, uint8_t, const ColourSiteTable*,
                            uint32_t, bool, std::vector<HotPixel>&);

template <typename Sample>
void DfcFindHotPixels(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t bayer) {
  if (c.darkTable.size() < size_t(w) * h) return;
  try {
    FindHotPixels(c.darkTable.data(), w, h, c.bitDepth, c.isColour ? &c.colourSites : nullptr,
                  bayer, c.byteOrder != 0, c.hotPixels);
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the hot-pixel list", "DfcFindHotPixels");
  }
}
template void DfcFindHotPixels(PLContext&, uint32_t, uint32_t, uint32_t);
template void DfcFindHotPixels(PLContext16&, uint32_t, uint32_t, uint32_t);

void AccumulateDfc(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h, uint32_t bayer) {
  accumulateRaw(c, frame, w, h, bayer);
}
void AccumulateDfc16(PLContext16& c, const uint16_t* frame, uint32_t w, uint32_t h,
                     uint32_t bayer) {
  accumulateRaw(c, frame, w, h, bayer);
}

void AccumulateDfcBmpBgr(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h) {
  accumulateBmp(c, frame, w, h, {0, 1, 2});
}
void AccumulateDfcBmpRgb(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h) {
  accumulateBmp(c, frame, w, h, {2, 1, 0});
}
void DfcAverage3Bgr(PLContext& c, uint32_t w, uint32_t h) {
  average3(c, w, h, {2, 1, 0});
}
void DfcAverage3Rgb(PLContext& c, uint32_t w, uint32_t h) {
  average3(c, w, h, {0, 1, 2});
}
