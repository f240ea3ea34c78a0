// AE window mark step: the AE rectangle inverted on three calls of four, so it blinks.
#include <mutex>

#include "pipeline/stages/layout.h"
#include "pipeline/stages/statistics.h"

namespace stages {
namespace {

template <typename Sample>
void markAeWindow(PLContextT<Sample>* ctx, Sample* image, int32_t width, int32_t height) {
  if (!ctx) return;
  if ((++ctx->aeMarkCount & 3u) == 1u) return;  // the skipped call of each four
  // Setters move the window from the host's threads, under the settings lock.
  std::unique_lock<platform::RecursiveLock> hold;
  if (ctx->mtxSettings) hold = std::unique_lock<platform::RecursiveLock>(*ctx->mtxSettings);
  const ImageRect window = ctx->aeRectPx;
  if (hold) hold.unlock();
  kernels::InvertRect(LayoutOf(*ctx), window, image, width, height);
}

}  // namespace

void MarkAeWindow(PLContext* ctx, uint8_t* image, int32_t width, int32_t height) {
  markAeWindow(ctx, image, width, height);
}

void MarkAeWindow16(PLContext16* ctx, uint16_t* image, int32_t width, int32_t height) {
  markAeWindow(ctx, image, width, height);
}

}  // namespace stages
