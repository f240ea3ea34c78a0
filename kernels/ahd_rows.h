// The row passes of the AHD kernel over its rolling scratch: what each pass reads and writes, so
// a vector body can take a prefix of a row and the scalar loop the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/demosaic_ahd.h"

namespace kernels {

// Planes: candidate H channels 0..2, candidate V channels 0..2 (output order), Y Cb Cr of H, of
// V, H's homogeneity count minus V's, the chosen pixels and the refined ones (output order). Row y
// of a plane sits in slot y mod kSlots; a zero row follows the slots (the counts outside the
// interior).
enum AhdPlane : int {
  kCandH = 0,
  kCandV = 3,
  kYccH = 6,
  kYccV = 9,
  kLead = 12,
  kChosen = 13,
  kRefined = 16
};

struct AhdRows {
  int32_t* base;
  size_t pitch;  // int32 per plane row
  int32_t* row(int plane, int32_t y) const {
    return base + (size_t(plane) * AhdScratch::kSlots + (uint32_t(y) % AhdScratch::kSlots)) * pitch;
  }
  int32_t* zero() const { return base + AhdScratch::kPlanes * AhdScratch::kSlots * pitch; }
  // After the zero row, the refinement's statistics of one chunk of each of two rows.
  int32_t* stats(int area) const { return zero() + pitch + area * AhdScratch::kChunkStats; }
};

// What the refinement of row y knows before its left-to-right sweep: of the differences it
// takes medians of, all but the left neighbour's (refined just before). With the left one v
// inserted, the middle pair of eight sorted values sums to s3 + clamp(v, s2, s4) (s: the seven
// others sorted), of four to e1 + clamp(v, e0, e2). Red is clamp(G + (s3 + c) / 2, 0, max) with
// c = clamp(v, s2, s4): monotone in c, so it equals clamp(G + (s3 + v) / 2, low, high), its
// values at s2 and s4. The sweep's chain from one pixel to the next stays short.
struct AhdRefineRow {
  const int32_t* up[3];    // refined row above, channels 0..2
  const int32_t* cur[3];   // chosen row
  const int32_t* down[3];  // chosen row below
  // Twelve statistics per column in blocks of eight columns, statistic-major within a block and
  // red beside blue, so the sweep takes both colours of one statistic with one load: low, high,
  // s3 of the colour minus G, then the three other G minus colour sorted. The blocks from column
  // 8 firstBlock on, one chunk's worth: written and read back while they are still in the
  // nearest cache.
  int32_t* stats;
  int32_t firstBlock;
  int32_t xEnd, redChannel, max;
};

// Columns per chunk of the refinement (whole blocks of 8); a statistic's red and blue pairs
// take kAhdStatPairs cells of a block.
inline constexpr int32_t kAhdStats = 12, kAhdStatBlock = 8 * kAhdStats, kAhdChunk = 32,
                         kAhdStatPairs = 16;
static_assert(kAhdChunk / 8 * kAhdStatBlock == AhdScratch::kChunkStats,
              "one chunk's blocks fill a row's statistics");
// The block holding column x.
inline int32_t* ahdStatBlock(const AhdRefineRow& r, int32_t x) {
  return r.stats + ((x >> 3) - r.firstBlock) * kAhdStatBlock;
}
// Column x's red cell of statistic 0 (blue follows it; statistic k is kAhdStatPairs k further).
inline int32_t* ahdStatCell(const AhdRefineRow& r, int32_t x) {
  return ahdStatBlock(r, x) + 2 * (x & 7);
}

// The AVX2 body of the statistics from x, a multiple of 8, in whole blocks up to the one holding
// xEnd - 1 (within one chunk) (it reads one column either side of a block: rows are padded, and the
// planes it reads are not the scratch's first): returns the first column it left for the scalar
// loop.
int32_t ahdRefineStatsAvx2(const AhdRefineRow& r, int32_t x);

// One row's sweep, left to right: the left neighbour's refined red, green and blue carried from
// one column to the next.
struct AhdSweep {
  const int32_t* green;  // the chosen row's green
  int32_t *outR, *outG, *outB;
  int32_t max, prevR, prevG, prevB;
};

// The AVX2 sweep of two rows' columns, a's xa .. xa + n - 1 beside b's xb .. xb + n - 1 (n a
// multiple of 8; the starts too), each at its statistics cells; it writes the refined planes,
// not the pixels.
void ahdRefinePairAvx2(AhdSweep& a, const AhdRefineRow& ra, int32_t xa, AhdSweep& b,
                       const AhdRefineRow& rb, int32_t xb, int32_t n);

// One refined row's pixels from its planes (output order), columns x .. xEnd - 1.
template <typename Sample>
struct AhdPackRow {
  const int32_t* c[3];
  Sample* px;  // column 0's pixel
  int32_t p, xEnd;
};
// The AVX2 body of the packing (the fourth sample kept): returns the first column it left.
template <typename Sample>
int32_t ahdPackRowAvx2(const AhdPackRow<Sample>& r, int32_t x);

// One candidate's YCbCr on one row, columns x .. xEnd - 1; s is the depth's scale max / 255.
struct AhdYccRow {
  const int32_t* rgb[3];  // red, green, blue of one candidate
  int32_t* ycc[3];        // Y, Cb, Cr
  double base[3];         // 16 s, 128 s, 128 s
  double max;
  int32_t xEnd;
};

// The conversion's coefficients, each scaled by 1/255 once: [Y, Cb, Cr][R, G, B].
inline constexpr double kYccScale = 0.00392156862745098;
inline constexpr double kYcc[3][3] = {
    {65.481 * kYccScale, 128.553 * kYccScale, 24.966 * kYccScale},
    {-37.797 * kYccScale, -74.203 * kYccScale, 112.0 * kYccScale},
    {112.0 * kYccScale, -93.786 * kYccScale, -18.214 * kYccScale}};

// The AVX2 body of the conversion: returns the first column it left for the scalar loop.
int32_t ahdYccRowAvx2(const AhdYccRow& r, int32_t x);

// One row of both candidates' greens, columns x .. xEnd - 1 (x even): the sample itself at green
// sites, else the row's (H) and the column's (V) estimate.
template <typename Sample>
struct AhdGreenRow {
  const Sample* raw;  // the row
  ptrdiff_t w;        // samples per raw row
  int32_t* gH;
  int32_t* gV;
  int32_t max, xEnd;
  bool greenEven;  // green sits at even columns on this row
};

// One candidate's red and blue on one row from its greens of the rows around it.
template <typename Sample>
struct AhdColourRow {
  const Sample* raw[3];  // rows y - 1, y, y + 1
  const int32_t* g[3];   // the candidate's greens, likewise
  int32_t* own;          // the colour sampled on this row
  int32_t* other;        // the colour sampled on the rows above and below
  int32_t max, xEnd;
  bool greenEven;
};

// Both homogeneity counts on one row ([candidate H, V][row y - 1, y, y + 1]), kept as H's lead:
// the choice compares only their sums.
struct AhdHomRow {
  const int32_t* Y[2][3];
  const int32_t* Cb[2][3];
  const int32_t* Cr[2][3];
  int32_t* lead;
  int32_t xEnd, max;
};

// The choice on one row: the candidate whose counts over the 3 x 3 window sum higher, V on a tie
// (H where its leads over the window sum above 0).
struct AhdChooseRow {
  const int32_t* lead[3];
  const int32_t* cand[2][3];
  int32_t* out[3];
  int32_t xEnd;
};

// The AVX2 bodies of the passes above: each returns the first column it left for the scalar loop.
template <typename Sample>
int32_t ahdGreenRowAvx2(const AhdGreenRow<Sample>& r, int32_t x);
template <typename Sample>
int32_t ahdColourRowAvx2(const AhdColourRow<Sample>& r, int32_t x);
// The leads run in whole blocks of 8 up to the one holding xEnd - 1, into the row's padding.
int32_t ahdHomRowAvx2(const AhdHomRow& r, int32_t x);
int32_t ahdChooseRowAvx2(const AhdChooseRow& r, int32_t x);

}  // namespace kernels
