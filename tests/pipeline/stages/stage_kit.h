// Test kit of the frame steps: the kernels' kit plus a bare state with the fixed luma tables.
#pragma once

#include "pipeline/pl_context.h"
#include "tests/kernels/kit.h"

namespace stages::testkit {

using namespace kernels::testkit;

template <typename S>
void prepareState(PLContextT<S>& ctx, uint8_t bits, uint8_t p, bool byteOrder, bool rowOrder) {
  ctx.bitDepth = bits;
  ctx.samplesPerPixel = p;
  ctx.byteOrder = byteOrder;
  ctx.rowOrder = rowOrder;
  constexpr uint32_t n = PLContextT<S>::kTableEntries;
  ctx.lumaR.resize(n), ctx.lumaG.resize(n), ctx.lumaB.resize(n);
  for (uint32_t v = 0; v < n; ++v)
    ctx.lumaR[v] = v * 0.299, ctx.lumaG[v] = v * 0.587, ctx.lumaB[v] = v * 0.114;
}

}  // namespace stages::testkit
