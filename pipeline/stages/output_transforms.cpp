// Output transforms step: final mirror and rotation of the high-bit drivers' outputs.
#include "pipeline/stages/orientation.h"

#include <mutex>

namespace stages {

bool OutputTransforms16(PLContext16* ctx, void* first, size_t firstBytes, uint16_t* second,
                        size_t secondBytes, int32_t w, int32_t h) {
  if (!ctx) return true;
  // Flips and turns are set from the host's threads, under the settings lock.
  std::unique_lock<platform::RecursiveLock> hold;
  if (ctx->mtxSettings) hold = std::unique_lock<platform::RecursiveLock>(*ctx->mtxSettings);
  const uint32_t flip = ctx->settings.mirror, flags = ctx->settings.processFlags;
  if (hold) hold.unlock();
  const uint8_t p = ctx->samplesPerPixel;
  if (ctx->outputFormat == kOutputRgb16 || ctx->outputFormat == kOutputGrey16)
    return !first ||
           OrientFrame(ctx, flip, flags, static_cast<uint16_t*>(first), firstBytes, w, h, p);
  bool ok = true;
  if (first)
    ok = OrientFrame(ctx, flip, flags, static_cast<uint8_t*>(first), firstBytes, w, h, p) && ok;
  if (second) ok = OrientFrame(ctx, flip, flags, second, secondBytes, w, h, p) && ok;
  return ok;
}

}  // namespace stages
