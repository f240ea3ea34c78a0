// The kernels' view of a pipeline state's pixels: its layout, optionally with another byte order.
#pragma once

#include "kernels/kernel_base.h"
#include "pipeline/pl_context.h"

namespace stages {

template <typename Sample>
kernels::Layout LayoutOf(const PLContextT<Sample>& c) {
  return {c.samplesPerPixel, c.bitDepth, c.rowOrder, c.byteOrder};
}
template <typename Sample>
kernels::Layout LayoutOf(const PLContextT<Sample>& c, bool bgr) {
  kernels::Layout l = LayoutOf(c);
  l.byteOrder = bgr ? 1 : 0;
  return l;
}

}  // namespace stages
