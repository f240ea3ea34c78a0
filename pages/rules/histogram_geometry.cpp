// Where the histogram graph draws its curves and markers.
#include "pages/rules/histogram_geometry.h"

#include <algorithm>
#include <cstdlib>

int GraphX(const GraphRect& graph, uint32_t value) {
  return graph.left + int(int64_t(value) * graph.width() / 255);
}

int CurveY(const GraphRect& graph, float value, float peak) {
  return graph.bottom - int(double(value) / double(peak) * graph.height()) - 1;
}

int LeftMarkerX(const GraphRect& graph, uint32_t low) {
  const int x = GraphX(graph, low);
  return x == graph.left ? graph.left + 1 : x;
}

int RightMarkerX(const GraphRect& graph, uint32_t high) {
  return std::min(GraphX(graph, high), graph.right - 2);
}

int HitMarker(const GraphRect& graph, int x, int y, int leftX, int rightX, int tolerance) {
  if (y < graph.top || y > graph.bottom) return 0;
  if (std::abs(x - leftX) <= tolerance) return 1;
  if (std::abs(x - rightX) <= tolerance) return 2;
  return 0;
}

std::optional<uint32_t> DroppedLevel(const GraphRect& graph, int x) {
  if (graph.width() < 1) return std::nullopt;
  const int64_t v = int64_t(x - graph.left) * 255 / graph.width();
  return uint32_t(std::clamp<int64_t>(v, 0, 255));
}
