// The region page's geometry: the frame's picture in the control, the window in control
// coordinates under mirror and flip, hit codes, and the window a drag or an arrow key makes.
#pragma once

#include <cstdint>
#include <optional>

#include "base/geometry.h"

// Where the frame is drawn: frame size in pixels, control pixels per frame pixel, the picture.
struct RoiView {
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  double scale = 1.0;
  ControlRect picture = {};
};

struct RoiFlips {
  bool mirrored = false;  // horizontal flip
  bool flipped = false;   // vertical flip
};

// What a point is over, tested in this order.
enum RoiHit : int32_t {
  kRoiHitNone = 0,
  kRoiHitTop = 1,
  kRoiHitRight = 2,
  kRoiHitBottom = 3,
  kRoiHitLeft = 4,
  kRoiHitInside = 5,
  kRoiHitPicture = 6,
};

// A frame that fits the control is drawn 1:1, a larger one scaled down; both centred. Negative
// sizes count as 0; a control without area keeps the scale at 1.
RoiView MakeRoiView(int32_t frameWidth, int32_t frameHeight, int32_t controlWidth,
                    int32_t controlHeight);

// The frame window as drawn: scaled, mirrored and flipped within the picture, then placed.
ControlRect RoiInControl(const RoiView& view, const ImageRect& window, RoiFlips flips);

// tolerance: how far from an edge still grabs it (the pages' small spacing).
RoiHit RoiHitTest(const RoiView& view, const ControlRect& window, int32_t x, int32_t y,
                  int32_t tolerance);

// A drag as the button went down: what it grabbed, where, and the window then.
struct RoiDrag {
  RoiHit hit = kRoiHitNone;
  int32_t startX = 0;
  int32_t startY = 0;
  ImageRect startWindow = {};
};

// The window the drag makes with the pointer at (x, y), kept inside the frame; none when there
// is nothing to write (no grab, a click without a move, an empty window).
std::optional<ImageRect> DragRoi(const RoiView& view, const RoiDrag& drag, int32_t x, int32_t y,
                                 RoiFlips flips);

// The window moved one frame pixel per step as seen on screen (inverted when mirrored or flipped),
// kept inside the frame with its size.
ImageRect NudgeRoi(const RoiView& view, ImageRect window, int32_t dx, int32_t dy, RoiFlips flips);
