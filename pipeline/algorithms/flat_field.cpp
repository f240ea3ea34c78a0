// Flat-field calibration: the summed frames of an evenly lit field to per-pixel 16.16 gains that
// bring every pixel to the mean of its channel. Callers hold mtxFfc; each build ends the run.
#include "pipeline/algorithms/flat_field.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "base/geometry.h"
#include "base/trace.h"
#include "pipeline/algorithms/balance_measure.h"

#ifndef __SIZEOF_INT128__
#error "the gain quotient needs 128-bit integers"
#endif

namespace {

constexpr uint32_t kGainMax = 0xFFFFFFFFu;

template <typename Sample>
void endRun(PLContextT<Sample>& c) {
  c.ffcRequest = 0;
}

template <typename Sample>
void buildMosaic(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t bayer, bool bgr) {
  endRun(c);
  const size_t n = size_t(w) * h;
  if (c.ffcSum.size() < n) return;
  std::array<uint64_t, 3> total{}, count{};
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const size_t ch = SiteChannel(c.colourSites.at(bayer, x, y), bgr);
      if (ch > 2) continue;
      total[ch] += c.ffcSum[size_t(y) * w + x];
      ++count[ch];
    }
  if (total[0] == 0 || total[1] == 0 || total[2] == 0) return;
  try {
    std::vector<uint32_t> gain(c.ffcGain);
    gain.resize(std::max(gain.size(), n), kFfcUnity);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        const size_t ch = SiteChannel(c.colourSites.at(bayer, x, y), bgr), i = size_t(y) * w + x;
        if (ch <= 2) gain[i] = FlatGain(total[ch], c.ffcSum[i], count[ch]);
      }
    c.ffcGain.swap(gain);
    c.ffcValid = 1;
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the gain table", "FfcBuildGains");
  }
}

// Three sums per pixel to three planes; plane k from sum `from[k]`.
void buildPlanes(PLContext& c, uint32_t w, uint32_t h, const std::array<size_t, 3>& from) {
  c.ffcRequest = 0;
  const size_t n = size_t(w) * h;
  if (c.ffcSum.size() < 3 * n) return;
  std::array<uint64_t, 3> total{};
  for (size_t i = 0; i < n; ++i)
    for (size_t k = 0; k < 3; ++k) total[k] += c.ffcSum[3 * i + k];
  if (total[0] == 0 || total[1] == 0 || total[2] == 0) return;
  try {
    std::array<std::vector<uint32_t>, 3> planes;
    for (size_t k = 0; k < 3; ++k) {
      planes[k].resize(n);
      for (size_t i = 0; i < n; ++i)
        planes[k][i] = FlatGain(total[from[k]], c.ffcSum[3 * i + from[k]], n);
    }
    c.ffcGainPlanes.swap(planes);
    c.ffcValid = 1;
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the gain planes", "FfcBuildGains3");
  }
}

// Adds one frame's bytes (byte `byteOf[k]` to sum k) and finishes the run with `build`.
void accumulateBmp(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h,
                   const std::array<size_t, 3>& byteOf,
                   void (*build)(PLContext&, uint32_t, uint32_t)) {
  const size_t n = size_t(w) * h;
  const size_t p = c.samplesPerPixel;
  if (!frame || p < 3) return;
  try {
    if (c.ffcSum.size() != 3 * n) c.ffcSum.assign(3 * n, 0), c.ffcCount = 0;
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the sums", "AccumulateFfcBmp");
    c.ffcRequest = 0;
    return;
  }
  const uint64_t stride = DibRowBytes(p * 8, w);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = frame + y * stride;
    uint32_t* sum = c.ffcSum.data() + size_t(y) * w * 3;
    for (uint32_t x = 0; x < w; ++x, row += p, sum += 3)
      for (size_t k = 0; k < 3; ++k) sum[k] += row[byteOf[k]];
  }
  if (++c.ffcCount >= c.ffcFrames) build(c, w, h);
}

}  // namespace

uint32_t FlatGain(uint64_t total, uint32_t sum, uint64_t count) {
  if (count == 0) return kGainMax;
  const unsigned __int128 num = (unsigned __int128)total * kFfcUnity;
  const unsigned __int128 den = (unsigned __int128)std::max<uint32_t>(sum, 1) * count;
  const unsigned __int128 q = num / den;
  return q > kGainMax ? kGainMax : uint32_t(q);
}

template <typename Sample>
void FfcBuildGainsBgr(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t bayer) {
  buildMosaic(c, w, h, bayer, true);
}
template <typename Sample>
void FfcBuildGainsRgb(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t bayer) {
  buildMosaic(c, w, h, bayer, false);
}
template void FfcBuildGainsBgr(PLContext&, uint32_t, uint32_t, uint32_t);
template void FfcBuildGainsBgr(PLContext16&, uint32_t, uint32_t, uint32_t);
template void FfcBuildGainsRgb(PLContext&, uint32_t, uint32_t, uint32_t);
template void FfcBuildGainsRgb(PLContext16&, uint32_t, uint32_t, uint32_t);

template <typename Sample>
void FfcFromFramesMono(PLContextT<Sample>& c, uint32_t w, uint32_t h, uint32_t) {
  endRun(c);
  const size_t n = size_t(w) * h;
  if (c.ffcSum.size() < n) return;
  uint64_t total = 0;
  for (size_t i = 0; i < n; ++i) total += c.ffcSum[i];
  if (total == 0) return;
  try {
    std::vector<uint32_t> gain(std::max(c.ffcGain.size(), n), kFfcUnity);
    for (size_t i = 0; i < n; ++i) gain[i] = FlatGain(total, c.ffcSum[i], n);
    c.ffcGain.swap(gain);
    c.ffcValid = 1;
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: no memory for the gain table", "FfcFromFramesMono");
  }
}
template void FfcFromFramesMono(PLContext&, uint32_t, uint32_t, uint32_t);
template void FfcFromFramesMono(PLContext16&, uint32_t, uint32_t, uint32_t);

void FfcBuildGains3Bgr(PLContext& c, uint32_t w, uint32_t h) {
  buildPlanes(c, w, h, {2, 1, 0});
}
void FfcBuildGains3Rgb(PLContext& c, uint32_t w, uint32_t h) {
  buildPlanes(c, w, h, {0, 1, 2});
}

void AccumulateFfcBmpBgr(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h) {
  accumulateBmp(c, frame, w, h, {0, 1, 2}, &FfcBuildGains3Bgr);
}
void AccumulateFfcBmpRgb(PLContext& c, const uint8_t* frame, uint32_t w, uint32_t h) {
  accumulateBmp(c, frame, w, h, {2, 1, 0}, &FfcBuildGains3Rgb);
}
