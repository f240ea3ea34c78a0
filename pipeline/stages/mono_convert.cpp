// Mono step: a raw grey frame handed to the host hook, or spread into the output pixels.
#include "kernels/raw_steps.h"
#include "pipeline/pl_state_lock.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/layout.h"

namespace stages {
namespace {

template <typename Sample>
void convertMono(PLContextT<Sample>* ctx, const PLHostCallbacks& cb, int32_t w, int32_t h,
                 const Sample* raw, Sample* out) {
  if (!ctx) return;
  if (cb.demosaicCallback) {
    const bool taken =
        cb.demosaicCallback(kMonoFourCC, w, h, raw, out, ctx->bitDepth, cb.demosaicCallbackContext);
    PLStateLock::leaveIfRetiredHere();  // the hook deleted the camera: nothing more of it
    if (taken) return;
  }
  kernels::SpreadMono(LayoutOf(*ctx), w, h, raw, out);
}

}  // namespace

void ConvertMono(PLContext* ctx, const PLHostCallbacks& cb, int32_t w, int32_t h,
                 const uint8_t* raw, uint8_t* out) {
  convertMono(ctx, cb, w, h, raw, out);
}

void ConvertMono16(PLContext16* ctx, const PLHostCallbacks& cb, int32_t w, int32_t h,
                   const uint16_t* raw, uint16_t* out) {
  convertMono(ctx, cb, w, h, raw, out);
}

}  // namespace stages
