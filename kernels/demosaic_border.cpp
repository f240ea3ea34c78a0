// Border fill of every demosaic method: means of the other colours in the clipped 3 x 3 cell.
#include "kernels/demosaic_border.h"

#include <algorithm>

namespace kernels {
namespace {

// floor(n / c) for n < 2^19 and c in 1..8 as a multiply: ceil(2^32 / c) errs by less than the
// distance from n / c to the next integer.
constexpr uint64_t kReciprocal[9] = {0,
                                     1ull << 32,
                                     2147483648ull,
                                     1431655766ull,
                                     1073741824ull,
                                     858993460ull,
                                     715827883ull,
                                     613566757ull,
                                     536870912ull};

// The neighbours of a site fall into three parity classes, each of one colour: the row pair
// (x +- 1), the column pair (y +- 1) and the four diagonals. Summing per class and adding each
// class to its colour gives the per-colour sums of the cell without a lookup per sample.
template <typename Sample>
void borderMeans(const BorderFrame<Sample>& f, int32_t x, int32_t y, uint32_t px[3]) {
  const uint8_t* site = f.site + 4 * f.b;  // [(x & 1) * 2 + (y & 1)]
  auto colourAt = [&](int32_t cx, int32_t cy) { return site[2 * (cx & 1) + (cy & 1)]; };
  const bool left = x > 0, right = x<f.w - 1, up = y> 0, down = y < f.h - 1;
  const Sample* cur = f.raw + size_t(y) * f.w;
  const Sample* above = up ? cur - f.w : cur;
  const Sample* below = down ? cur + f.w : cur;
  // At most 8 samples below 2^16 each: 32 bits hold every sum.
  const uint32_t rowSum = (left ? cur[x - 1] : 0u) + (right ? cur[x + 1] : 0u);
  const uint32_t colSum = (up ? above[x] : 0u) + (down ? below[x] : 0u);
  const uint32_t diagSum = (up && left ? above[x - 1] : 0u) + (up && right ? above[x + 1] : 0u) +
                           (down && left ? below[x - 1] : 0u) + (down && right ? below[x + 1] : 0u);
  const uint32_t classSum[3] = {rowSum, colSum, diagSum};
  const uint32_t classCount[3] = {uint32_t(left) + right, uint32_t(up) + down,
                                  (uint32_t(up) + down) * (uint32_t(left) + right)};
  const uint8_t classColour[3] = {colourAt(x + 1, y), colourAt(x, y + 1), colourAt(x + 1, y + 1)};
  const uint8_t c = colourAt(x, y);
  uint32_t sum[3] = {0, 0, 0}, count[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k)
    if (classColour[k] != c)
      sum[classColour[k]] += classSum[k], count[classColour[k]] += classCount[k];
  for (int ch = 0; ch < 3; ++ch) {
    // The integer quotient truncates exactly as the double one does for these magnitudes.
    const auto mean = static_cast<uint32_t>((uint64_t{sum[ch]} * kReciprocal[count[ch]]) >> 32);
    px[ch] = ch == c ? uint32_t{cur[x]} : std::min(mean, f.maxval);
  }
}

template <typename Sample>
void borderPixel(const BorderFrame<Sample>& f, int32_t x, int32_t y) {
  uint32_t v[3];
  borderMeans(f, x, y, v);
  Sample* px = f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride + size_t(x) * f.p;
  for (int ch = 0; ch < 3; ++ch) px[ch] = static_cast<Sample>(v[ch]);
}

template <typename Sample>
void demosaicBorder(uint32_t b, const uint8_t* siteTable, const Sample* raw, Sample* out, int32_t w,
                    int32_t h, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  if (!siteTable || !raw || !out || b > 3 || !colourPixel(p) || !validSiteTable(siteTable)) return;
  if (std::min(w, h) / 2 < 2) return;
  const BorderFrame<Sample> f{
      siteTable,    b, raw, out, w, h, rowStride<Sample>(p, w), sampleMax<Sample>(bits), p,
      rowOrder != 0};
  borderRows(f, 0, 2);
  for (int32_t y = 2; y < h - 2; ++y) borderEnds(f, y);
  borderRows(f, h - 2, h);
}

}  // namespace

template <typename Sample>
uint32_t borderGreen(const BorderFrame<Sample>& f, int32_t x, int32_t y) {
  uint32_t v[3];
  borderMeans(f, x, y, v);
  return v[1];
}

template <typename Sample>
void borderRows(const BorderFrame<Sample>& f, int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = 0; x < f.w; ++x) borderPixel(f, x, y);
}

template <typename Sample>
void borderEnds(const BorderFrame<Sample>& f, int32_t y) {
  for (int32_t x : {0, 1, f.w - 2, f.w - 1}) borderPixel(f, x, y);
}

template void borderRows<uint8_t>(const BorderFrame<uint8_t>&, int32_t, int32_t);
template void borderRows<uint16_t>(const BorderFrame<uint16_t>&, int32_t, int32_t);
template void borderEnds<uint8_t>(const BorderFrame<uint8_t>&, int32_t);
template void borderEnds<uint16_t>(const BorderFrame<uint16_t>&, int32_t);
template uint32_t borderGreen<uint8_t>(const BorderFrame<uint8_t>&, int32_t, int32_t);
template uint32_t borderGreen<uint16_t>(const BorderFrame<uint16_t>&, int32_t, int32_t);

bool bayerSites(const uint8_t* siteTable, uint32_t b) {
  // [2 * (x & 1) + (y & 1)]: green on one diagonal, red and blue (either way) on the other.
  if (!validSiteTable(siteTable) || b > 3) return false;
  const uint8_t* s = siteTable + 4 * b;
  const bool greenMain = s[0] == 1 && s[3] == 1 && s[1] + s[2] == 2 && s[1] != 1;
  const bool greenAnti = s[1] == 1 && s[2] == 1 && s[0] + s[3] == 2 && s[0] != 1;
  return greenMain || greenAnti;
}

bool validSiteTable(const uint8_t* siteTable) {
  return siteTable && std::all_of(siteTable, siteTable + 16, [](uint8_t c) { return c <= 2; });
}

void DemosaicBorder8(uint32_t b, const uint8_t* siteTable, const uint8_t* raw, uint8_t* out,
                     int32_t w, int32_t h, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicBorder(b, siteTable, raw, out, w, h, bits, p, rowOrder);
}

void DemosaicBorder16(uint32_t b, const uint8_t* siteTable, const uint16_t* raw, uint16_t* out,
                      int32_t w, int32_t h, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicBorder(b, siteTable, raw, out, w, h, bits, p, rowOrder);
}

}  // namespace kernels
