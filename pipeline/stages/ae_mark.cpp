// AE window mark step: the AE rectangle inverted on three calls of four, so it blinks.
#include "pipeline/stages/layout.h"
#include "pipeline/stages/statistics.h"

namespace stages {
namespace {

template <typename Sample>
AeMark nextAeMark(PLContextT<Sample>& ctx) {
  if (!ctx.aeMarkWindow) return {};
  return {true, ++ctx.aeMarkCount, ctx.aeRectPx};
}

template <typename Sample>
void markAeWindow(const PLContextT<Sample>& ctx, const AeMark& mark, Sample* image, int32_t width,
                  int32_t height) {
  if (!mark.on || (mark.call & 3u) == 1u) return;  // the skipped call of each four
  kernels::InvertRect(LayoutOf(ctx), mark.rect, image, width, height);
}

}  // namespace

AeMark NextAeMark(PLContext& ctx) {
  return nextAeMark(ctx);
}

AeMark NextAeMark(PLContext16& ctx) {
  return nextAeMark(ctx);
}

void MarkAeWindow(const PLContext& ctx, const AeMark& mark, uint8_t* image, int32_t width,
                  int32_t height) {
  markAeWindow(ctx, mark, image, width, height);
}

void MarkAeWindow16(const PLContext16& ctx, const AeMark& mark, uint16_t* image, int32_t width,
                    int32_t height) {
  markAeWindow(ctx, mark, image, width, height);
}

}  // namespace stages
