// Demosaic step: the host hook, or the method's kernel in the state's layout.
#include "pipeline/stages/demosaic.h"

#include <mutex>

#include "base/trace.h"
#include "kernels/demosaic.h"
#include "kernels/demosaic_ahd.h"
#include "pipeline/pl_state_lock.h"
#include "pipeline/stages/layout.h"

namespace stages {
namespace {

template <typename Sample>
void demosaic(PLContextT<Sample>* ctx, const PLHostCallbacks& cb, uint32_t b,
              const uint8_t* siteTable, uint32_t method, int32_t w, int32_t h, const Sample* raw,
              Sample* out) {
  if (!ctx) return;
  if (cb.demosaicCallback) {
    const bool taken = cb.demosaicCallback(kernels::BayerFourCC(b), w, h, raw, out, ctx->bitDepth,
                                           cb.demosaicCallbackContext);
    PLStateLock::leaveIfRetiredHere();  // the hook deleted the camera: nothing more of it
    if (taken) return;
  }
  if (method != kMethodAhd) {
    kernels::DemosaicByMethod(LayoutOf(*ctx), method, b, siteTable, w, h, raw, out);
    return;
  }
  std::lock_guard<platform::Mutex> hold(*ctx->mtxScratch);
  const bool room = ctx->ahdScratch.reserve(w);
  if (!room) ZX_TRACE_ERROR("%s: no memory for AHD at width %d, frame is bilinear", "Demosaic", w);
  kernels::DemosaicByMethod(LayoutOf(*ctx), method, b, siteTable, w, h, raw, out,
                            room ? &ctx->ahdScratch : nullptr);
}

}  // namespace

void Demosaic(PLContext* ctx, const PLHostCallbacks& cb, uint32_t b, const uint8_t* siteTable,
              uint32_t method, int32_t w, int32_t h, const uint8_t* raw, uint8_t* out) {
  demosaic(ctx, cb, b, siteTable, method, w, h, raw, out);
}

void Demosaic16(PLContext16* ctx, const PLHostCallbacks& cb, uint32_t b, const uint8_t* siteTable,
                uint32_t method, int32_t w, int32_t h, const uint16_t* raw, uint16_t* out) {
  demosaic(ctx, cb, b, siteTable, method, w, h, raw, out);
}

}  // namespace stages
