// Where the histogram graph draws its curves and markers, and what a point hits or a drop means.
#pragma once

#include <cstdint>
#include <optional>

struct GraphRect {
  int left;
  int top;
  int right;
  int bottom;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// x of bin i (0..255) and of a level value.
int GraphX(const GraphRect& graph, uint32_t value);
// y of a bin holding value when the tallest bin holds peak (peak > 0).
int CurveY(const GraphRect& graph, float value, float peak);
// The markers' x: the left one never on the frame's edge, the right one two pixels inside it.
int LeftMarkerX(const GraphRect& graph, uint32_t low);
int RightMarkerX(const GraphRect& graph, uint32_t high);
// 1 for the left marker, 2 for the right one (left tested first), 0 for none: a point within
// tolerance of a marker's x and between the graph's top and bottom.
int HitMarker(const GraphRect& graph, int x, int y, int leftX, int rightX, int tolerance);
// The level a marker dropped at x stands for, 0..255; none for a graph narrower than a pixel.
std::optional<uint32_t> DroppedLevel(const GraphRect& graph, int x);
