// AHD demosaic: the passes fused over a few rolling rows, the refinement one row behind them.
#include "kernels/demosaic_ahd.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "kernels/ahd_rows.h"
#include "kernels/demosaic.h"
#include "kernels/demosaic_border.h"
#include "kernels/dispatch.h"
#include "kernels/kernel_base.h"

namespace kernels {

size_t AhdScratch::pitchFor(int32_t w) {
  // One cache line past whole vectors: rows a power of two apart would share cache sets.
  return (size_t(std::max(w, 0)) + kAlign - 1) / kAlign * kAlign + kAlign;
}

uint64_t AhdScratch::bytesFor(int32_t w) {
  return ((uint64_t(kPlanes) * kSlots + 1) * pitchFor(w) + 2 * kChunkStats) * sizeof(int32_t);
}

bool AhdScratch::fits(int32_t w) const {
  return bytesFor(w) <= bytes();
}

bool AhdScratch::reserve(int32_t w) {
  const uint64_t need = bytesFor(w);
  if (need <= bytes()) return true;
  if (need > kMaxBytes) return false;
  try {
    rows_.resize(size_t(need / sizeof(int32_t)));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void AhdScratch::fill(int32_t v) {
  std::fill(rows_.begin(), rows_.end(), v);
}

namespace {

int32_t clampTo(int32_t v, int32_t max) {
  return std::clamp(v, 0, max);
}

// Columns x .. xEnd - 1 of one candidate's YCbCr: clamped to 0..max, else truncated.
void yccRowScalar(const AhdYccRow& r, int32_t x) {
  for (; x < r.xEnd; ++x) {
    const int32_t R = r.rgb[0][x], G = r.rgb[1][x], B = r.rgb[2][x];
    for (int i = 0; i < 3; ++i) {
      const double v = r.base[i] + ((kYcc[i][0] * R + kYcc[i][1] * G) + kYcc[i][2] * B);
      r.ycc[i][x] = v > r.max ? int32_t(r.max) : (v < 0 ? 0 : int32_t(v));
    }
  }
}

using YccFn = int32_t (*)(const AhdYccRow&, int32_t);

template <typename Sample>
void greenRowScalar(const AhdGreenRow<Sample>& g, int32_t x) {
  const Sample* r = g.raw;
  const ptrdiff_t w = g.w;
  for (; x < g.xEnd; ++x) {
    const int32_t z = r[x];
    if (((x & 1) == 0) == g.greenEven) {
      g.gH[x] = g.gV[x] = z;
      continue;
    }
    g.gH[x] = clampTo(
        (r[x - 1] >> 1) + (r[x + 1] >> 1) + (z >> 1) - (r[x - 2] >> 2) - (r[x + 2] >> 2), g.max);
    g.gV[x] = clampTo(
        (r[x - w] >> 1) + (r[x + w] >> 1) + (z >> 1) - (r[x - 2 * w] >> 2) - (r[x + 2 * w] >> 2),
        g.max);
  }
}

template <typename Sample>
void colourRowScalar(const AhdColourRow<Sample>& c, int32_t x) {
  const Sample *rU = c.raw[0], *r = c.raw[1], *rD = c.raw[2];
  const int32_t *gU = c.g[0], *g = c.g[1], *gD = c.g[2];
  for (; x < c.xEnd; ++x) {
    if (((x & 1) == 0) != c.greenEven) {
      c.own[x] = r[x];
      c.other[x] = clampTo(g[x] + (rD[x - 1] - gD[x - 1]) / 4 + (rU[x - 1] - gU[x - 1]) / 4 +
                               (rU[x + 1] - gU[x + 1]) / 4 + (rD[x + 1] - gD[x + 1]) / 4,
                           c.max);
    } else {
      c.own[x] = clampTo(g[x] + (r[x - 1] - g[x - 1]) / 2 + (r[x + 1] - g[x + 1]) / 2, c.max);
      c.other[x] = clampTo(g[x] + (rD[x] - gD[x]) / 2 + (rU[x] - gU[x]) / 2, c.max);
    }
  }
}

void homRowScalar(const AhdHomRow& r, int32_t x) {
  auto dC = [&](int k, int dy, int32_t nx, int32_t at) {
    const int64_t b = r.Cb[k][1 + dy][nx] - r.Cb[k][1][at],
                  c = r.Cr[k][1 + dy][nx] - r.Cr[k][1][at];
    return b * b + c * c;
  };
  auto dY = [&](int k, int dy, int32_t nx, int32_t at) {
    return std::abs(r.Y[k][1 + dy][nx] - r.Y[k][1][at]);
  };
  for (; x < r.xEnd; ++x) {
    const int32_t eL = std::min(std::max(dY(1, -1, x, x), dY(1, 1, x, x)),
                                std::max(dY(0, 0, x - 1, x), dY(0, 0, x + 1, x)));
    const int64_t c2 = std::min(std::max(dC(1, -1, x, x), dC(1, 1, x, x)),
                                std::max(dC(0, 0, x - 1, x), dC(0, 0, x + 1, x)));
    const int64_t eC = int64_t(std::sqrt(double(c2)));
    int32_t n[2];
    for (int k = 0; k < 2; ++k) {
      n[k] = 1;
      n[k] += dY(k, 1, x, x) <= eL && dC(k, 1, x, x) <= eC * eC;
      n[k] += dY(k, 0, x + 1, x) <= eL && dC(k, 0, x + 1, x) <= eC * eC;
      n[k] += dY(k, 0, x - 1, x) <= eL && dC(k, 0, x - 1, x) <= eC * eC;
      n[k] += dY(k, -1, x, x) <= eL && dC(k, -1, x, x) <= eC * eC;
    }
    r.lead[x] = n[0] - n[1];
  }
}

void chooseRowScalar(const AhdChooseRow& r, int32_t x) {
  for (; x < r.xEnd; ++x) {
    int32_t sum = 0;
    for (int d = 0; d < 3; ++d) sum += r.lead[d][x - 1] + r.lead[d][x] + r.lead[d][x + 1];
    const int k = sum > 0 ? 0 : 1;
    for (int c = 0; c < 3; ++c) r.out[c][x] = r.cand[k][c][x];
  }
}

// A pass's vector body where AVX2 runs, else none (the scalar loop does the whole row).
template <auto body>
decltype(body) avx2Body(Isa isa) {
  return isa == Isa::Avx2 ? body : nullptr;
}

template <typename Sample>
using GreenFn = int32_t (*)(const AhdGreenRow<Sample>&, int32_t);
template <typename Sample>
DispatchPointer<GreenFn<Sample>> gGreen{&avx2Body<&ahdGreenRowAvx2<Sample>>};
template <typename Sample>
using ColourFn = int32_t (*)(const AhdColourRow<Sample>&, int32_t);
template <typename Sample>
DispatchPointer<ColourFn<Sample>> gColour{&avx2Body<&ahdColourRowAvx2<Sample>>};
using HomFn = int32_t (*)(const AhdHomRow&, int32_t);
DispatchPointer<HomFn> gHom{&avx2Body<&ahdHomRowAvx2>};
using ChooseFn = int32_t (*)(const AhdChooseRow&, int32_t);
DispatchPointer<ChooseFn> gChoose{&avx2Body<&ahdChooseRowAvx2>};
DispatchPointer<YccFn> gYcc{&avx2Body<&ahdYccRowAvx2>};

template <typename Sample>
struct RefineCursor;

template <typename Sample>
struct Ahd {
  BorderFrame<Sample> f;
  AhdRows rows;
  int32_t max, s, red;

  int site(int32_t x, int32_t y) const { return f.site[(y & 1) + 2 * (x & 1) + 4 * f.b]; }
  int32_t raw(int32_t x, int32_t y) const { return f.raw[size_t(y) * f.w + x]; }
  Sample* pixel(int32_t x, int32_t y) const {
    return f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride + size_t(x) * f.p;
  }
  bool ringRow(int32_t y) const { return y < 2 || y >= f.h - 2; }

  // Both candidates take the border's three samples at x.
  void fromBorder(int32_t x, int32_t y) const {
    const Sample* px = pixel(x, y);
    for (int c = 0; c < 3; ++c) rows.row(kCandH + c, y)[x] = rows.row(kCandV + c, y)[x] = px[c];
  }

  // Green of both candidates on row y (the ring: all three samples from the border).
  void green(int32_t y) const {
    if (ringRow(y)) {
      for (int32_t x = 1; x < f.w - 1; ++x) fromBorder(x, y);
      return;
    }
    fromBorder(1, y), fromBorder(f.w - 2, y);
    const AhdGreenRow<Sample> g{f.raw + size_t(y) * f.w, f.w, rows.row(kCandH + 1, y),
                                rows.row(kCandV + 1, y), max, f.w - 2,
                                site(0, y) == 1};
    const auto vec = gGreen<Sample>.get();
    greenRowScalar(g, vec ? vec(g, 2) : 2);
  }

  // Red and blue of one candidate on interior row y from its greens of rows y - 1 .. y + 1.
  void colours(int k, int32_t y) const {
    const int plane = k ? kCandV : kCandH;
    const int own = site(1, y) == 1 ? site(2, y) : site(1, y);  // colour on this row
    const Sample* r = f.raw + size_t(y - 1) * f.w;
    const AhdColourRow<Sample> c{
        {r, r + f.w, r + 2 * size_t(f.w)},
        {rows.row(plane + 1, y - 1), rows.row(plane + 1, y), rows.row(plane + 1, y + 1)},
        rows.row(plane + own, y),
        rows.row(plane + 2 - own, y),
        max,
        f.w - 2,
        site(0, y) == 1};
    const auto vec = gColour<Sample>.get();
    colourRowScalar(c, vec ? vec(c, 2) : 2);
  }

  void ycc(int32_t y) const {
    const YccFn vec = gYcc.get();
    for (int cand = 0; cand < 2; ++cand) {
      const int plane = cand ? kCandV : kCandH, out = cand ? kYccV : kYccH;
      const AhdYccRow r{
          {rows.row(plane + red, y), rows.row(plane + 1, y), rows.row(plane + 2 - red, y)},
          {rows.row(out, y), rows.row(out + 1, y), rows.row(out + 2, y)},
          {16.0 * s, 128.0 * s, 128.0 * s},
          double(max),
          f.w - 1};
      yccRowScalar(r, vec ? vec(r, 1) : 1);
    }
  }

  // Thresholds, then both counts, on interior row y; the counts' ring columns stay zero.
  void homogeneity(int32_t y) const {
    AhdHomRow r{};
    r.lead = rows.row(kLead, y);
    for (int k = 0; k < 2; ++k)
      for (int d = 0; d < 3; ++d) {
        const int plane = k ? kYccV : kYccH;
        r.Y[k][d] = rows.row(plane, y + d - 1);
        r.Cb[k][d] = rows.row(plane + 1, y + d - 1);
        r.Cr[k][d] = rows.row(plane + 2, y + d - 1);
      }
    r.xEnd = f.w - 2, r.max = max;
    const HomFn vec = gHom.get();
    homRowScalar(r, vec ? vec(r, 2) : 2);
    r.lead[1] = r.lead[f.w - 2] = 0;  // after the vector body's last block
  }

  const int32_t* leadRow(int32_t y) const { return ringRow(y) ? rows.zero() : rows.row(kLead, y); }

  // The chosen pixels of interior row y, its ring columns as the border wrote them; ring rows
  // are the border's whole.
  void choose(int32_t y) const {
    int32_t* out[3] = {rows.row(kChosen, y), rows.row(kChosen + 1, y), rows.row(kChosen + 2, y)};
    const int32_t* cand[2][3];
    for (int c = 0; c < 3; ++c)
      cand[0][c] = rows.row(kCandH + c, y), cand[1][c] = rows.row(kCandV + c, y);
    if (ringRow(y)) {
      for (int c = 0; c < 3; ++c) std::copy(cand[0][c] + 1, cand[0][c] + f.w - 1, out[c] + 1);
      return;
    }
    for (int c = 0; c < 3; ++c) out[c][1] = cand[0][c][1], out[c][f.w - 2] = cand[0][c][f.w - 2];
    AhdChooseRow r{};
    for (int d = 0; d < 3; ++d) r.lead[d] = leadRow(y + d - 1);
    for (int k = 0; k < 2; ++k)
      for (int c = 0; c < 3; ++c) r.cand[k][c] = cand[k][c];
    for (int c = 0; c < 3; ++c) r.out[c] = out[c];
    r.xEnd = f.w - 2;
    const ChooseFn vec = gChoose.get();
    chooseRowScalar(r, vec ? vec(r, 2) : 2);
  }

  AhdRefineRow refineRow(int32_t y, int area) const;
  void refinePair(int32_t y) const;
  void pack(int32_t y) const;
  RefineCursor<Sample> cursor(const AhdRefineRow& r, int32_t y) const;
  void refine(int32_t y) const;
};

inline void order(int32_t& a, int32_t& b) {
  const int32_t lo = std::min(a, b), hi = std::max(a, b);
  a = lo, b = hi;
}

// A sorting network for seven: the same exchanges as the vector body.
constexpr int kSort7[16][2] = {{0, 6}, {2, 3}, {4, 5}, {0, 2}, {1, 4}, {3, 6}, {0, 1}, {2, 5},
                               {3, 4}, {1, 2}, {4, 6}, {2, 3}, {4, 5}, {1, 2}, {3, 4}, {5, 6}};

using StatsFn = int32_t (*)(const AhdRefineRow&, int32_t);
DispatchPointer<StatsFn> gStats{&avx2Body<&ahdRefineStatsAvx2>};
using PairFn = void (*)(AhdSweep&, const AhdRefineRow&, int32_t, AhdSweep&, const AhdRefineRow&,
                        int32_t, int32_t);
DispatchPointer<PairFn> gPair{&avx2Body<&ahdRefinePairAvx2>};
template <typename Sample>
using PackFn = int32_t (*)(const AhdPackRow<Sample>&, int32_t);
template <typename Sample>
DispatchPointer<PackFn<Sample>> gPack{&avx2Body<&ahdPackRowAvx2<Sample>>};

template <typename Sample>
void packRowScalar(const AhdPackRow<Sample>& r, int32_t x) {
  for (; x < r.xEnd; ++x) {
    Sample* px = r.px + size_t(x) * r.p;
    for (int c = 0; c < 3; ++c) px[c] = static_cast<Sample>(r.c[c][x]);
  }
}

// Order statistics of the known neighbours, columns x .. xEnd - 1.
void refineStatsScalar(const AhdRefineRow& r, int32_t x, int32_t xEnd) {
  const int red = r.redChannel, blue = 2 - red;
  for (; x < xEnd; ++x) {
    for (int ch : {red, blue}) {
      const int32_t* g[3] = {r.up[1], r.cur[1], r.down[1]};
      const int32_t* c[3] = {r.up[ch], r.cur[ch], r.down[ch]};
      int32_t d[7] = {c[0][x - 1] - g[0][x - 1], c[0][x] - g[0][x],
                      c[0][x + 1] - g[0][x + 1], c[1][x + 1] - g[1][x + 1],
                      c[2][x - 1] - g[2][x - 1], c[2][x] - g[2][x],
                      c[2][x + 1] - g[2][x + 1]};
      for (const auto& n : kSort7) order(d[n[0]], d[n[1]]);
      int32_t* q = ahdStatCell(r, x) + (ch == red ? 0 : 1);
      const int32_t G = r.cur[1][x];
      q[0] = clampTo(G + (d[3] + d[2]) / 2, r.max);
      q[kAhdStatPairs] = clampTo(G + (d[3] + d[4]) / 2, r.max);
      q[2 * kAhdStatPairs] = d[3];
      int32_t e[3] = {g[0][x] - c[0][x], g[1][x + 1] - c[1][x + 1], g[2][x] - c[2][x]};
      order(e[0], e[1]), order(e[1], e[2]), order(e[0], e[1]);
      for (int k = 0; k < 3; ++k) q[(3 + k) * kAhdStatPairs] = e[k];
    }
  }
}

// The statistics of chunk j's columns within the row, into r.stats (whose first block becomes
// the chunk's). The vector body fills whole blocks; its cells of columns 0, 1 and past xEnd are
// never read.
void refineStatsChunk(AhdRefineRow& r, int32_t j, StatsFn vec) {
  const int32_t x = kAhdChunk * j;
  r.firstBlock = x >> 3;
  AhdRefineRow part = r;
  part.xEnd = std::min(x + kAhdChunk, r.xEnd);
  refineStatsScalar(part, vec ? std::max(vec(part, x), 2) : std::max(x, 2), part.xEnd);
}
// One row's sweep, left to right: the left neighbour's refined values stay in registers, and the
// chain from one pixel to the next is a few adds and clamps.
template <typename Sample>
struct RefineCursor {
  AhdSweep s;
  Sample* row;  // column 0's pixel
  size_t p;
  int red;

  static constexpr int32_t kPair = kAhdStatPairs;
  // Green's middle pair of four, halved towards zero.
  static int32_t mid(int32_t v, const int32_t* e) {
    return (e[kPair] + std::clamp(v, e[0], e[2 * kPair])) / 2;
  }

  // Column x, whose statistics start at q.
  void step(int32_t x, const int32_t* q) {
    const int32_t G = s.green[x], dR = s.prevR - s.prevG, dB = s.prevB - s.prevG;
    const int32_t R = std::min(std::max(G + (q[2 * kPair] + dR) / 2, q[0]), q[kPair]);
    const int32_t B = std::min(std::max(G + (q[2 * kPair + 1] + dB) / 2, q[1]), q[kPair + 1]);
    // A negative sum clamps to 0 either way, so the floor stands in for the truncation.
    const int32_t newG = std::min(
        std::max((R + B + mid(-dR, q + 3 * kPair) + mid(-dB, q + 3 * kPair + 1)) >> 1, 0), s.max);
    s.outR[x] = s.prevR = R, s.outB[x] = s.prevB = B, s.outG[x] = s.prevG = newG;
    Sample* px = row + x * p;
    px[red] = static_cast<Sample>(R), px[1] = static_cast<Sample>(newG),
    px[2 - red] = static_cast<Sample>(B);
  }
};

template <typename Sample>
AhdRefineRow Ahd<Sample>::refineRow(int32_t y, int area) const {
  AhdRefineRow r{};
  for (int c = 0; c < 3; ++c) {
    r.up[c] = rows.row(ringRow(y - 1) ? kChosen + c : kRefined + c, y - 1);
    r.cur[c] = rows.row(kChosen + c, y);
    r.down[c] = rows.row(kChosen + c, y + 1);
    int32_t* done = rows.row(kRefined + c, y);
    done[1] = r.cur[c][1], done[f.w - 2] = r.cur[c][f.w - 2];
  }
  r.stats = rows.stats(area);
  r.xEnd = f.w - 2, r.redChannel = red, r.max = max;
  return r;
}

template <typename Sample>
RefineCursor<Sample> Ahd<Sample>::cursor(const AhdRefineRow& r, int32_t y) const {
  int32_t* done[3] = {rows.row(kRefined, y), rows.row(kRefined + 1, y), rows.row(kRefined + 2, y)};
  const AhdSweep sweep{r.cur[1], done[red],    done[1],    done[2 - red],
                       max,      done[red][1], done[1][1], done[2 - red][1]};
  return {sweep, pixel(0, y), f.p, red};
}

template <typename Sample>
void Ahd<Sample>::refine(int32_t y) const {
  AhdRefineRow r = refineRow(y, 0);
  RefineCursor<Sample> c = cursor(r, y);
  const StatsFn vec = gStats.get();
  for (int32_t j = 0; kAhdChunk * j < r.xEnd; ++j) {
    refineStatsChunk(r, j, vec);
    for (int32_t x = std::max(kAhdChunk * j, 2); x < std::min(kAhdChunk * (j + 1), r.xEnd); ++x)
      c.step(x, ahdStatCell(r, x));
  }
}

// Rows y and y + 1 at once, the lower two chunks behind: its statistics need the upper's refined
// pixels up to one column right. The two rows' chains are independent, so they overlap.
template <typename Sample>
void Ahd<Sample>::refinePair(int32_t y) const {
  constexpr int32_t kChunk = kAhdChunk;
  AhdRefineRow upper = refineRow(y, 0), lower = refineRow(y + 1, 1);
  RefineCursor<Sample> a = cursor(upper, y), b = cursor(lower, y + 1);
  const StatsFn vec = gStats.get();
  const PairFn pair = gPair.get();
  const int32_t xEnd = upper.xEnd, chunks = (xEnd + kChunk - 1) / kChunk;
  // Columns x0 .. x1 - 1 of one row, block by block.
  auto sweep = [](RefineCursor<Sample>& c, const AhdRefineRow& r, int32_t x0, int32_t x1) {
    for (int32_t x = x0; x < x1; ++x) c.step(x, ahdStatCell(r, x));
  };
  for (int32_t j = 0; j < chunks + 2; ++j) {
    const int32_t xa = std::max(kChunk * j, 2), endA = std::min(kChunk * (j + 1), xEnd);
    const int32_t xb = std::max(kChunk * (j - 2), 2), endB = std::min(kChunk * (j - 1), xEnd);
    if (j < chunks) refineStatsChunk(upper, j, vec);
    if (j >= 2) refineStatsChunk(lower, j - 2, vec);
    if (j >= 2 && j < chunks && endA - xa == kChunk && endB - xb == kChunk) {
      if (pair) {
        pair(a.s, upper, xa, b.s, lower, xb, kChunk);
        continue;
      }
      for (int32_t x = xa; x < endA; x += 8) {
        const int32_t* qa = ahdStatBlock(upper, x);
        const int32_t* qb = ahdStatBlock(lower, x - 2 * kChunk);
        for (int i = 0; i < 8; ++i)
          a.step(x + i, qa + 2 * i), b.step(x - 2 * kChunk + i, qb + 2 * i);
      }
      continue;
    }
    if (j < chunks) sweep(a, upper, xa, endA);
    if (j >= 2) sweep(b, lower, xb, endB);
  }
  // The vector sweep left the pixels to this.
  if (pair) pack(y), pack(y + 1);
}

template <typename Sample>
void Ahd<Sample>::pack(int32_t y) const {
  const AhdPackRow<Sample> r{
      {rows.row(kRefined, y), rows.row(kRefined + 1, y), rows.row(kRefined + 2, y)},
      pixel(0, y),
      f.p,
      f.w - 2};
  const auto vec = gPack<Sample>.get();
  packRowScalar(r, vec ? vec(r, 2) : 2);
}

template <typename Sample>
void demosaicAhd(AhdScratch& scratch, bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w,
                 int32_t h, const Sample* raw, Sample* out, uint8_t bits, uint8_t p,
                 uint8_t rowOrder) {
  if (!raw || !out || !colourPixel(p) || w < 4 || h < 4 || !bayerSites(siteTable, b)) return;
  if (!scratch.fits(w)) {
    if constexpr (sizeof(Sample) == 1)
      DemosaicBilinearRows8(bgr, b, siteTable, w, h, 0, h, raw, out, bits, p, rowOrder);
    else
      DemosaicBilinearRows16(bgr, b, siteTable, w, h, 0, h, raw, out, bits, p, rowOrder);
    return;
  }
  const uint32_t max = sampleMax<Sample>(bits);
  const BorderFrame<Sample> f{siteTable, b, raw,          out, w, h, rowStride<Sample>(p, w),
                              max,       p, rowOrder != 0};
  borderRows(f, 0, std::min(h, 2));
  for (int32_t y = 2; y < h - 2; ++y) borderEnds(f, y);
  borderRows(f, std::max(h - 2, 2), h);
  if (w <= 4 || h <= 4) return;
  const AhdRows rows{scratch.data(), AhdScratch::pitchFor(w)};
  std::fill_n(rows.zero(), rows.pitch, 0);
  const Ahd<Sample> a{f, rows, int32_t(max), int32_t(max / 255), bgr ? 2 : 0};
  // Row t's greens, t - 1's colours and YCbCr, t - 2's counts, t - 3's choice, t - 4's medians.
  for (int32_t t = 1; t <= h + 2; ++t) {
    if (t <= h - 2) a.green(t);
    const int32_t yc = t - 1, yh = t - 2, ys = t - 3, yr = t - 4;
    if (yc >= 1 && yc <= h - 2) {
      if (!a.ringRow(yc)) a.colours(0, yc), a.colours(1, yc);
      a.ycc(yc);
    }
    if (yh >= 2 && yh < h - 2) a.homogeneity(yh);
    if (ys >= 1 && ys <= h - 2) a.choose(ys);
    // Refined in pairs (2, 3), (4, 5) ...; an odd last row alone.
    if (yr >= 2 && yr < h - 2) {
      if ((yr & 1) == 1)
        a.refinePair(yr - 1);
      else if (yr == h - 3)
        a.refine(yr);
    }
  }
}

}  // namespace

void DemosaicAhd8Bgr(AhdScratch& s, uint32_t b, const uint8_t* site, int32_t w, int32_t h,
                     const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicAhd<uint8_t>(s, true, b, site, w, h, raw, out, bits, p, rowOrder);
}
void DemosaicAhd8Rgb(AhdScratch& s, uint32_t b, const uint8_t* site, int32_t w, int32_t h,
                     const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicAhd<uint8_t>(s, false, b, site, w, h, raw, out, bits, p, rowOrder);
}
void DemosaicAhd16Bgr(AhdScratch& s, uint32_t b, const uint8_t* site, int32_t w, int32_t h,
                      const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder) {
  demosaicAhd<uint16_t>(s, true, b, site, w, h, raw, out, bits, p, rowOrder);
}
void DemosaicAhd16Rgb(AhdScratch& s, uint32_t b, const uint8_t* site, int32_t w, int32_t h,
                      const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder) {
  demosaicAhd<uint16_t>(s, false, b, site, w, h, raw, out, bits, p, rowOrder);
}

}  // namespace kernels
