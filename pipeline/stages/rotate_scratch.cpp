// Rotation scratch step: the state's buffer for quarter turns, sized once for its largest frame.
#include <algorithm>
#include <exception>

#include "pipeline/stages/orientation.h"

namespace stages {
namespace {

using kernels::turnedFrameBytes;

// Larger sides are refused by the state, so the first-use size stays within 64 bits.
constexpr uint32_t kMaxSide = 65536;

template <typename Sample>
RotateScratch ensureRotateBuffer(PLContextT<Sample>* ctx, size_t bytes) {
  if (!ctx) return {};
  std::vector<uint8_t>& buf = ctx->rotation;
  size_t want = bytes;
  if (buf.empty()) {
    // First use: room for the largest frame of the state, so later frames need not grow it.
    const uint8_t p =
        ctx->samplesPerPixel >= 1 && ctx->samplesPerPixel <= 4 ? ctx->samplesPerPixel : 4;
    want = std::max(
        want, turnedFrameBytes<Sample>(int32_t(std::min<uint32_t>(ctx->maxWidth, kMaxSide)),
                                       int32_t(std::min<uint32_t>(ctx->maxHeight, kMaxSide)), p));
  }
  for (const size_t attempt : {want, bytes}) {
    if (buf.size() >= attempt) return {buf.data(), buf.size()};
    try {
      buf.resize(attempt);
      return {buf.data(), buf.size()};
    } catch (const std::exception&) {
      // too large for this process: try what the call needs, else give up
    }
  }
  return {};
}

}  // namespace

RotateScratch EnsureRotateBuffer(PLContext* ctx, size_t bytes) {
  return ensureRotateBuffer(ctx, bytes);
}
RotateScratch EnsureRotateBuffer(PLContext16* ctx, size_t bytes) {
  return ensureRotateBuffer(ctx, bytes);
}
RotateScratch EnsureRotateBuffer8(PLContext* ctx, int32_t w, int32_t h, uint8_t p) {
  return ensureRotateBuffer(ctx, kernels::rotateScratchBytes<uint8_t>(w, h, p));
}
RotateScratch EnsureRotateBuffer16(PLContext16* ctx, int32_t w, int32_t h, uint8_t p) {
  return ensureRotateBuffer(ctx, kernels::rotateScratchBytes<uint16_t>(w, h, p));
}

}  // namespace stages
