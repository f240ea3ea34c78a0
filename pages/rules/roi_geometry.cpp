// The region page's geometry: picture placement, window mapping, hit codes, drags and nudges.
#include "pages/rules/roi_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

// trunc(value) within int32; NaN gives 0.
int32_t TruncSaturated(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLow = std::numeric_limits<int32_t>::min();
  constexpr double kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::trunc(std::clamp(value, kLow, kHigh)));
}

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// One axis of a window: low and high coordinate.
struct Span {
  int64_t low;
  int64_t high;
};

// Keeps a span inside [0, size - 1]: an edge drag clamps the edge, a move keeps the length.
Span KeepInside(Span s, int64_t size, bool move) {
  if (s.low < 0) {
    if (move) s.high -= s.low;
    s.low = 0;
  }
  if (s.high >= size) {
    if (move) s.low = size - s.high + s.low - 1;
    s.high = size - 1;
  }
  // A window wider than the frame: the frame.
  if (s.low < 0) s.low = 0;
  return s;
}

ImageRect KeepInFrame(const RoiView& view, const ImageRect& r, bool move) {
  const Span x = KeepInside({r.left, r.right}, view.frameWidth, move);
  const Span y = KeepInside({r.top, r.bottom}, view.frameHeight, move);
  return {Saturate(x.low), Saturate(y.low), Saturate(x.high), Saturate(y.high)};
}

// Adds delta (its negation when inverted) to both ends of a span.
void Shift(int32_t& low, int32_t& high, int32_t delta, bool inverted) {
  const int64_t d = inverted ? -int64_t{delta} : int64_t{delta};
  low = Saturate(low + d);
  high = Saturate(high + d);
}

}  // namespace

RoiView MakeRoiView(int32_t frameWidth, int32_t frameHeight, int32_t controlWidth,
                    int32_t controlHeight) {
  RoiView view;
  view.frameWidth = std::max(frameWidth, 0);
  view.frameHeight = std::max(frameHeight, 0);
  const double width = view.frameWidth;
  const double height = view.frameHeight;
  const bool fits = view.frameWidth <= controlWidth && view.frameHeight <= controlHeight;
  if (!fits && controlWidth > 0 && controlHeight > 0)
    view.scale = std::min(controlWidth / width, controlHeight / height);
  view.picture.left = TruncSaturated((controlWidth - width * view.scale) * 0.5);
  view.picture.right = TruncSaturated(view.picture.left + width * view.scale);
  view.picture.top = TruncSaturated((controlHeight - height * view.scale) * 0.5);
  view.picture.bottom = TruncSaturated(view.picture.top + height * view.scale);
  return view;
}

ControlRect RoiInControl(const RoiView& view, const ImageRect& window, RoiFlips flips) {
  ControlRect r = {
      TruncSaturated(window.left * view.scale), TruncSaturated(window.top * view.scale),
      TruncSaturated(window.right * view.scale), TruncSaturated(window.bottom * view.scale)};
  const int64_t pictureWidth = int64_t{view.picture.right} - view.picture.left;
  const int64_t pictureHeight = int64_t{view.picture.bottom} - view.picture.top;
  if (flips.mirrored)
    r = {Saturate(pictureWidth - r.right), r.top, Saturate(pictureWidth - r.left), r.bottom};
  if (flips.flipped)
    r = {r.left, Saturate(pictureHeight - r.bottom), r.right, Saturate(pictureHeight - r.top)};
  return {Saturate(int64_t{r.left} + view.picture.left),
          Saturate(int64_t{r.top} + view.picture.top),
          Saturate(int64_t{r.right} + view.picture.left),
          Saturate(int64_t{r.bottom} + view.picture.top)};
}

RoiHit RoiHitTest(const RoiView& view, const ControlRect& w, int32_t x, int32_t y,
                  int32_t tolerance) {
  const auto near = [tolerance](int32_t a, int32_t b) {
    return std::llabs(int64_t{a} - b) <= tolerance;
  };
  if (w.left <= x && x <= w.right) {
    if (near(y, w.top)) return kRoiHitTop;
    if (near(y, w.bottom)) return kRoiHitBottom;
  }
  if (w.top <= y && y <= w.bottom) {
    if (near(x, w.left)) return kRoiHitLeft;
    if (near(x, w.right)) return kRoiHitRight;
  }
  const auto inside = [x, y](int32_t l, int32_t t, int32_t r, int32_t b) {
    return l <= x && x < r && t <= y && y < b;
  };
  if (inside(w.left, w.top, w.right, w.bottom)) return kRoiHitInside;
  const ControlRect& p = view.picture;
  if (inside(p.left, p.top, p.right, p.bottom)) return kRoiHitPicture;
  return kRoiHitNone;
}

std::optional<ImageRect> DragRoi(const RoiView& view, const RoiDrag& drag, int32_t x, int32_t y,
                                 RoiFlips flips) {
  const int32_t cx =
      std::clamp(x, view.picture.left, std::max(view.picture.left, view.picture.right));
  const int32_t cy =
      std::clamp(y, view.picture.top, std::max(view.picture.top, view.picture.bottom));
  const int32_t dx = TruncSaturated((double(cx) - drag.startX) / view.scale);
  const int32_t dy = TruncSaturated((double(cy) - drag.startY) / view.scale);
  ImageRect r = drag.startWindow;
  const auto add = [](int32_t& v, int32_t d) { v = Saturate(int64_t{v} + d); };
  switch (drag.hit) {
    case kRoiHitTop:
      add(flips.flipped ? r.bottom : r.top, flips.flipped ? -dy : dy);
      break;
    case kRoiHitBottom:
      add(flips.flipped ? r.top : r.bottom, flips.flipped ? -dy : dy);
      break;
    case kRoiHitRight:
      add(flips.mirrored ? r.left : r.right, flips.mirrored ? -dx : dx);
      break;
    case kRoiHitLeft:
      add(flips.mirrored ? r.right : r.left, flips.mirrored ? -dx : dx);
      break;
    case kRoiHitInside:
      Shift(r.left, r.right, dx, flips.mirrored);
      Shift(r.top, r.bottom, dy, flips.flipped);
      break;
    case kRoiHitPicture: {
      if (cx == drag.startX && cy == drag.startY) return std::nullopt;
      const auto frameX = [&](int32_t px) {
        return TruncSaturated((double(px) - view.picture.left) / view.scale);
      };
      const auto frameY = [&](int32_t py) {
        return TruncSaturated((double(py) - view.picture.top) / view.scale);
      };
      r = {frameX(cx), frameY(cy), frameX(drag.startX), frameY(drag.startY)};
      if (flips.mirrored)
        r = {Saturate(int64_t{view.frameWidth} - r.right), r.top,
             Saturate(int64_t{view.frameWidth} - r.left), r.bottom};
      if (flips.flipped)
        r = {r.left, Saturate(int64_t{view.frameHeight} - r.bottom), r.right,
             Saturate(int64_t{view.frameHeight} - r.top)};
      break;
    }
    default:
      return std::nullopt;
  }
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  r = KeepInFrame(view, r, drag.hit == kRoiHitInside);
  if (r.left >= r.right || r.top >= r.bottom) return std::nullopt;
  return r;
}

ImageRect NudgeRoi(const RoiView& view, ImageRect window, int32_t dx, int32_t dy, RoiFlips flips) {
  if (dx != 0) Shift(window.left, window.right, dx, flips.mirrored);
  if (dy != 0) Shift(window.top, window.bottom, dy, flips.flipped);
  return KeepInFrame(view, window, true);
}
