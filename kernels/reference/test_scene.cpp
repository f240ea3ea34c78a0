// The demosaic test scene: drawn with integers only so Linux and Windows builds agree byte for
// byte, and scored with a logarithm spelled out in + - x / for the same reason.
#include "kernels/reference/test_scene.h"

#include <algorithm>
#include <array>

#include "kernels/reference/reference.h"

namespace kernels::reference {
namespace {

// Positions are in eighths of a pixel; the 4x4 samples of pixel x sit at 8x + 1, 3, 5, 7.
constexpr int64_t kSub = 8;
constexpr int32_t kTilePx = 58;  // one set of shapes, lines and rings per tile
constexpr int32_t kLevelMax = 65535;
// How strong the fine texture is, in levels of 65535; the scene's difficulty is tuned here.
constexpr int32_t kTextureLevels = 2000;
constexpr int32_t kRingLevels = 2600;

uint64_t mix(uint64_t v) {
  v ^= v >> 33, v *= 0xFF51AFD7ED558CCDull;
  v ^= v >> 33, v *= 0xC4CEB9FE1A85EC53ull;
  return v ^ (v >> 33);
}

// A deterministic stream of draws for one tile.
struct Draws {
  uint64_t s;
  uint32_t next(uint32_t n) { return uint32_t((s = mix(s + 0x9E3779B97F4A7C15ull)) >> 33) % n; }
  int32_t range(int32_t lo, int32_t hi) { return lo + int32_t(next(uint32_t(hi - lo + 1))); }
};

int64_t isqrt(int64_t v) {
  int64_t r = 0;
  for (int64_t bit = int64_t(1) << 60; bit; bit >>= 2) {
    if (v >= r + bit) {
      v -= r + bit;
      r = (r >> 1) + bit;
    } else {
      r >>= 1;
    }
  }
  return r;
}

// Integer directions of many angles; lengths are measured along them through isqrt.
constexpr int64_t kDirections[][2] = {{1, 0},  {7, 1},  {4, 1},   {5, 2},   {3, 2},  {1, 1},
                                      {2, 3},  {2, 5},  {1, 4},   {1, 7},   {0, 1},  {-1, 7},
                                      {-1, 4}, {-2, 5}, {-2, 3},  {-1, 1},  {-3, 2}, {-5, 2},
                                      {-4, 1}, {-7, 1}, {11, 13}, {-13, 11}};

struct Colour {
  int32_t c[3];
};

// A convex region a x + b y <= c for every plane, in one flat colour.
struct Shape {
  std::array<std::array<int64_t, 3>, 4> plane;
  int64_t x0, y0, x1, y1;  // bounding box
  Colour colour;
  bool inside(int64_t x, int64_t y) const {
    for (const auto& p : plane)
      if (p[0] * x + p[1] * y > p[2]) return false;
    return true;
  }
};

// A disc of concentric rings of a few pixels' period added to what lies below.
struct Rings {
  int64_t cx, cy, radius, period;
};

// A rectangle centred at (cx, cy), halfLength along direction d and halfWidth across it.
Shape rectangle(int64_t cx, int64_t cy, int d, int64_t halfLength, int64_t halfWidth, Colour c) {
  const int64_t ux = kDirections[d][0], uy = kDirections[d][1];
  const int64_t n = isqrt((ux * ux + uy * uy) << 16);  // |u| x 256
  Shape s{};
  const int64_t u[2][2] = {{ux, uy}, {-uy, ux}};
  const int64_t half[2] = {halfLength, halfWidth};
  for (int k = 0; k < 2; ++k) {
    const int64_t a = u[k][0] * 256, b = u[k][1] * 256, at = a * cx + b * cy;
    s.plane[2 * k] = {a, b, half[k] * n + at};
    s.plane[2 * k + 1] = {-a, -b, half[k] * n - at};
  }
  const int64_t reach = halfLength + halfWidth;
  s.x0 = cx - reach, s.x1 = cx + reach, s.y0 = cy - reach, s.y1 = cy + reach;
  s.colour = c;
  return s;
}

Shape triangle(const int64_t (&v)[3][2], Colour c) {
  int64_t p[3][2] = {{v[0][0], v[0][1]}, {v[1][0], v[1][1]}, {v[2][0], v[2][1]}};
  const int64_t area =
      (p[1][0] - p[0][0]) * (p[2][1] - p[0][1]) - (p[1][1] - p[0][1]) * (p[2][0] - p[0][0]);
  if (area < 0) std::swap(p[1], p[2]);
  Shape s{};
  for (int k = 0; k < 3; ++k) {
    const int64_t* a = p[k];
    const int64_t* b = p[(k + 1) % 3];
    const int64_t ex = b[0] - a[0], ey = b[1] - a[1];
    s.plane[k] = {ey, -ex, ey * a[0] - ex * a[1]};
  }
  s.plane[3] = {0, 0, 0};
  s.x0 = std::min({p[0][0], p[1][0], p[2][0]}), s.x1 = std::max({p[0][0], p[1][0], p[2][0]});
  s.y0 = std::min({p[0][1], p[1][1], p[2][1]}), s.y1 = std::max({p[0][1], p[1][1], p[2][1]});
  s.colour = c;
  return s;
}

// A natural-looking colour: most of the difference in brightness, some in hue.
Colour pick(Draws& d, int32_t chroma) {
  const int32_t y = d.range(6000, 60000);
  Colour c;
  for (int32_t& v : c.c) v = std::clamp(y + d.range(-chroma, chroma), 0, kLevelMax);
  return c;
}

struct Content {
  std::vector<std::vector<Shape>> shapesByBand;  // by tile row, each with its neighbours'
  std::vector<std::vector<Rings>> ringsByBand;
};

Content layOut(int32_t w, int32_t h) {
  const int32_t tilesX = (w + kTilePx - 1) / kTilePx, tilesY = (h + kTilePx - 1) / kTilePx;
  std::vector<std::vector<Shape>> own(tilesY);
  std::vector<std::vector<Rings>> ownRings(tilesY);
  const int64_t t = kTilePx * kSub;
  for (int32_t ty = 0; ty < tilesY; ++ty)
    for (int32_t tx = 0; tx < tilesX; ++tx) {
      Draws d{mix(uint64_t(ty) << 32 | uint32_t(tx))};
      const int64_t ox = tx * t, oy = ty * t;
      auto at = [&](int64_t lo, int64_t hi) { return lo + int64_t(d.next(uint32_t(hi - lo))); };
      if (d.next(2) == 0) {
        const int dir = int(d.next(std::size(kDirections)));
        own[ty].push_back(rectangle(ox + at(t / 4, 3 * t / 4), oy + at(t / 4, 3 * t / 4), dir,
                                    d.range(6, 18) * kSub, d.range(4, 14) * kSub, pick(d, 9000)));
      } else {
        int64_t v[3][2];
        for (auto& p : v) p[0] = ox + at(0, t), p[1] = oy + at(0, t);
        own[ty].push_back(triangle(v, pick(d, 9000)));
      }
      for (int k = d.range(1, 2); k > 0; --k) {
        const int dir = int(d.next(std::size(kDirections)));
        const int64_t halfWidth = d.range(2, 6) * kSub / 4;  // 1 to 3 pixels wide
        own[ty].push_back(rectangle(ox + at(0, t), oy + at(0, t), dir, d.range(10, 28) * kSub,
                                    halfWidth, pick(d, 5000)));
      }
      if (d.next(3) == 0)
        ownRings[ty].push_back(
            {ox + t / 2, oy + t / 2, d.range(12, 24) * kSub, d.range(4, 7) * kSub});
    }
  // Nothing reaches further than one tile from its own, so a band looks at three tile rows.
  Content c{std::vector<std::vector<Shape>>(tilesY), std::vector<std::vector<Rings>>(tilesY)};
  for (int32_t ty = 0; ty < tilesY; ++ty)
    for (int32_t n = std::max(0, ty - 1); n <= std::min(tilesY - 1, ty + 1); ++n) {
      c.shapesByBand[ty].insert(c.shapesByBand[ty].end(), own[n].begin(), own[n].end());
      c.ringsByBand[ty].insert(c.ringsByBand[ty].end(), ownRings[n].begin(), ownRings[n].end());
    }
  return c;
}

// Gradients across the frame in every channel, darker towards the corners.
Colour background(int64_t x, int64_t y, int64_t w8, int64_t h8) {
  const int64_t dx = x - w8 / 2, dy = y - h8 / 2;
  const int64_t fall = 9000 * (dx * dx + dy * dy) / (w8 * w8 / 4 + h8 * h8 / 4);
  return {{int32_t(9000 + 38000 * x / w8 + 8000 * y / h8 - fall),
           int32_t(12000 + 26000 * y / h8 + 14000 * x / w8 - fall),
           int32_t(44000 - 30000 * x / w8 + 6000 * y / h8 - fall)}};
}

// Smooth grey texture on a lattice of three pixels, interpolated between lattice points.
int32_t texture(int64_t x, int64_t y) {
  constexpr int64_t kCell = 3 * kSub;
  const int64_t gx = x / kCell, gy = y / kCell, fx = x % kCell, fy = y % kCell;
  auto node = [](int64_t i, int64_t j) {
    return int64_t(mix(uint64_t(i) * 0x1F123BB5ull ^ uint64_t(j) << 29) %
                   (2 * kTextureLevels + 1)) -
           kTextureLevels;
  };
  const int64_t top = node(gx, gy) * (kCell - fx) + node(gx + 1, gy) * fx;
  const int64_t bottom = node(gx, gy + 1) * (kCell - fx) + node(gx + 1, gy + 1) * fx;
  return int32_t((top * (kCell - fy) + bottom * fy) / (kCell * kCell));
}

// Adds the rings crossing sample row sy to the samples they cover.
void addRings(const std::vector<Rings>& all, int64_t sy, std::vector<Colour>& row) {
  const int64_t last = int64_t(row.size()) - 1;
  for (const Rings& r : all) {
    const int64_t dy = sy - r.cy;
    if (dy < -r.radius || dy > r.radius) continue;
    const int64_t half = r.period / 2;
    for (int64_t sx = std::max<int64_t>(0, (r.cx - r.radius) / 2);
         sx <= std::min(last, (r.cx + r.radius) / 2); ++sx) {
      const int64_t dx = 2 * sx + 1 - r.cx, d2 = dx * dx + dy * dy;
      if (d2 > r.radius * r.radius) continue;
      const int64_t phase = isqrt(d2) % r.period;  // a triangle wave over the radius
      const int64_t wave = (phase < half ? phase : r.period - phase) * 2 * kRingLevels / half;
      for (int32_t& v : row[sx].c) v += int32_t(wave - kRingLevels);
    }
  }
}

// Sums of the 16 samples of each pixel of one row.
void renderRow(const Content& c, int32_t w, int32_t h, int32_t y, std::vector<int64_t>& sums) {
  std::fill(sums.begin(), sums.end(), 0);
  const auto& shapes = c.shapesByBand[y / kTilePx];
  const auto& ringSet = c.ringsByBand[y / kTilePx];
  std::vector<Colour> row(size_t(w) * 4);
  for (int i = 0; i < 4; ++i) {
    const int64_t sy = y * kSub + 2 * i + 1;
    for (int32_t sx = 0; sx < 4 * w; ++sx) {
      const int64_t px = 2 * int64_t(sx) + 1;
      row[sx] = background(px, sy, w * kSub, h * kSub);
    }
    addRings(ringSet, sy, row);
    for (const Shape& sh : shapes) {
      if (sy < sh.y0 || sy > sh.y1) continue;
      const int64_t from = std::max<int64_t>(0, (sh.x0 - 1) / 2);
      const int64_t to = std::min<int64_t>(4 * w - 1, (sh.x1 - 1) / 2 + 1);
      for (int64_t sx = from; sx <= to; ++sx)
        if (sh.inside(2 * sx + 1, sy)) row[sx] = sh.colour;
    }
    for (int32_t sx = 0; sx < 4 * w; ++sx) {
      const int32_t grain = texture(2 * int64_t(sx) + 1, sy);
      for (int ch = 0; ch < 3; ++ch)
        sums[size_t(sx / 4) * 3 + ch] += std::clamp(row[sx].c[ch] + grain, 0, kLevelMax);
    }
  }
}

// ln x for x > 0 by halving into [0.75, 1.5) and the series of atanh.
double naturalLog(double x) {
  constexpr double kLn2 = 0.693147180559945309417;
  int32_t k = 0;
  while (x >= 1.5) x /= 2, ++k;
  while (x < 0.75) x *= 2, --k;
  const double t = (x - 1) / (x + 1), t2 = t * t;
  double term = t, sum = 0;
  for (int n = 1; n < 60; n += 2) {
    sum += term / n;
    term *= t2;
  }
  return 2 * sum + k * kLn2;
}

}  // namespace

Scene MakeScene(int32_t w, int32_t h, uint8_t bits) {
  Scene s{w, h, bits, std::vector<uint16_t>(size_t(w) * h * 3)};
  if (w <= 0 || h <= 0) return s;
  const Content c = layOut(w, h);
  const int64_t max = (int64_t(1) << bits) - 1;
  std::vector<int64_t> sums(size_t(w) * 3);
  for (int32_t y = 0; y < h; ++y) {
    renderRow(c, w, h, y, sums);
    for (size_t i = 0; i < sums.size(); ++i)
      s.rgb[size_t(y) * w * 3 + i] =
          uint16_t((sums[i] * max + 16 * kLevelMax / 2) / (16 * int64_t(kLevelMax)));
  }
  return s;
}

template <typename S>
std::vector<S> Mosaic(const Scene& scene, uint32_t b) {
  static constexpr uint8_t kColour[4][2][2] = {
      {{1, 0}, {2, 1}}, {{0, 1}, {1, 2}}, {{2, 1}, {1, 0}}, {{1, 2}, {0, 1}}};
  std::vector<S> raw(size_t(scene.w) * scene.h);
  for (int32_t y = 0; y < scene.h; ++y)
    for (int32_t x = 0; x < scene.w; ++x)
      raw[size_t(y) * scene.w + x] =
          S(scene.rgb[(size_t(y) * scene.w + x) * 3 + kColour[b & 3][y & 1][x & 1]]);
  return raw;
}

template <typename S>
double CpsnrRows(const Scene& scene, const S* image, size_t rowSamples, uint8_t p, uint8_t bits,
                 bool byteOrder, bool rowOrder, int32_t border, int32_t dx, int32_t dy) {
  uint64_t squares = 0, count = 0;
  for (int32_t y = border; y < scene.h - border; ++y) {
    const int32_t iy = y + dy, row = rowOrder ? iy : scene.h - 1 - iy;
    for (int32_t x = border; x < scene.w - border; ++x) {
      const S* px = image + size_t(row) * rowSamples + size_t(x + dx) * p;
      for (int ch = 0; ch < 3; ++ch) {
        const int64_t e =
            int64_t(px[byteOrder ? 2 - ch : ch]) - scene.rgb[(size_t(y) * scene.w + x) * 3 + ch];
        squares += uint64_t(e * e);
        ++count;
      }
    }
  }
  if (count == 0) return 0;
  if (squares == 0) return 999;
  const double max = double((uint32_t(1) << bits) - 1);
  return 10 * naturalLog(max * max * double(count) / double(squares)) / naturalLog(10.0);
}

template <typename S>
double Cpsnr(const Scene& scene, const S* image, uint8_t p, uint8_t bits, bool byteOrder,
             bool rowOrder, int32_t border, int32_t dx, int32_t dy) {
  return CpsnrRows(scene, image, stride<S>(p, scene.w), p, bits, byteOrder, rowOrder, border, dx,
                   dy);
}

template std::vector<uint8_t> Mosaic<uint8_t>(const Scene&, uint32_t);
template std::vector<uint16_t> Mosaic<uint16_t>(const Scene&, uint32_t);
template double Cpsnr<uint8_t>(const Scene&, const uint8_t*, uint8_t, uint8_t, bool, bool, int32_t,
                               int32_t, int32_t);
template double Cpsnr<uint16_t>(const Scene&, const uint16_t*, uint8_t, uint8_t, bool, bool,
                                int32_t, int32_t, int32_t);
template double CpsnrRows<uint8_t>(const Scene&, const uint8_t*, size_t, uint8_t, uint8_t, bool,
                                   bool, int32_t, int32_t, int32_t);
template double CpsnrRows<uint16_t>(const Scene&, const uint16_t*, size_t, uint8_t, uint8_t, bool,
                                    bool, int32_t, int32_t, int32_t);

}  // namespace kernels::reference
