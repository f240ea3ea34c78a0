// Sharpening step: the kernel on the state's scratch, held under the state's scratch lock.
#include "pipeline/stages/sharpen.h"

#include <mutex>

#include "base/trace.h"
#include "kernels/kernel_base.h"
#include "kernels/sharpen.h"

namespace stages {
namespace {

bool run(kernels::SharpenScratch<uint8_t>& s, uint8_t* f, int32_t w, int32_t h, uint8_t p,
         uint8_t bits, const SharpenParams& sp) {
  return kernels::Sharpen(s, f, w, h, p, bits, int32_t(sp.amount), int32_t(sp.radius),
                          sp.threshold);
}
bool run(kernels::SharpenScratch<uint16_t>& s, uint16_t* f, int32_t w, int32_t h, uint8_t p,
         uint8_t bits, const SharpenParams& sp) {
  return kernels::Sharpen16(s, f, w, h, p, bits, int32_t(sp.amount), int32_t(sp.radius),
                            sp.threshold);
}

template <typename Sample>
void sharpen(PLContextT<Sample>* ctx, Sample* image, int32_t w, int32_t h,
             const SharpenParams& sp) {
  if (!ctx || !image || sp.amount == 0 || w < 1 || h < 1) return;
  const uint8_t p = ctx->samplesPerPixel;
  const uint64_t samples = uint64_t(kernels::rowStride<Sample>(p, w)) * uint64_t(h);
  std::lock_guard<platform::Mutex> hold(*ctx->mtxScratch);
  if (!ctx->sharpenScratch.reserve(samples) ||
      !run(ctx->sharpenScratch, image, w, h, p, ctx->bitDepth, sp))
    ZX_TRACE_ERROR("%s: no memory for a %dx%d frame, left unsharpened", "Sharpen", w, h);
}

}  // namespace

void SharpenFrame(PLContext* ctx, uint8_t* image, int32_t w, int32_t h, const SharpenParams& sp) {
  sharpen(ctx, image, w, h, sp);
}
void SharpenFrame16(PLContext16* ctx, uint16_t* image, int32_t w, int32_t h,
                    const SharpenParams& sp) {
  sharpen(ctx, image, w, h, sp);
}

}  // namespace stages
