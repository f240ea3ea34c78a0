// Defect repair step: which repair kernel a frame of the state's pixel format takes.
#include "pipeline/stages/defect_repair.h"

#include "base/pixel_formats.h"

namespace stages {
namespace {

enum class Repair { None, Raw, PackedYuv };

// Raw Bayer or grey formats (8 to 16 bits, both 12-bit packings) and the two packed 4:2:2 ones.
Repair repairFor(uint32_t pixelFormat) {
  switch (pixelFormat) {
    case kPixelRaw8:
    case kPixelRaw10:
    case kPixelRaw12:
    case kPixelRaw14:
    case kPixelRaw16:
    case kPixelRaw8Alt:
    case kPixelRaw12Alt:
      return Repair::Raw;
    case kPixelYuv422:
    case kPixelYuv422Alt:
      return Repair::PackedYuv;
    default:
      return Repair::None;
  }
}

inline void fixRaw(bool colour, uint32_t n, const DefectPixel* l, int32_t w, int32_t h, uint8_t* f,
                   const SensorRect* r) {
  (colour ? kernels::FixDefectPixelsColor : kernels::FixDefectPixelsMono)(n, l, w, h, f, r);
}
inline void fixRaw(bool colour, uint32_t n, const DefectPixel* l, int32_t w, int32_t h, uint16_t* f,
                   const SensorRect* r) {
  (colour ? kernels::FixDefectPixelsColor16 : kernels::FixDefectPixelsMono16)(n, l, w, h, f, r);
}

template <typename Sample, typename Ctx>
void dispatch(const Ctx* ctx, uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
              Sample* frame, const SensorRect* region) {
  if (!ctx) return;
  switch (repairFor(ctx->pixelFormat)) {
    case Repair::Raw:
      fixRaw(ctx->isColour != 0, count, list, w, h, frame, region);
      return;
    case Repair::PackedYuv:
      kernels::FixDefectPixelsYuv(count, list, w, h, reinterpret_cast<uint8_t*>(frame));
      return;
    case Repair::None:
      return;
  }
}

// Hot pixels of a colour frame sit on same-colour neighbours two sites away.
template <typename Sample>
int32_t hotPixelReach(const PLContextT<Sample>& ctx) {
  return ctx.isColour ? 2 : 1;
}

}  // namespace

void FixDefectPixels(const PLContext* ctx, uint32_t count, const DefectPixel* list, int32_t w,
                     int32_t h, uint8_t* frame, const SensorRect* region) {
  dispatch(ctx, count, list, w, h, frame, region);
}
void FixDefectPixels16(const PLContext16* ctx, uint32_t count, const DefectPixel* list, int32_t w,
                       int32_t h, uint16_t* frame, const SensorRect* region) {
  dispatch(ctx, count, list, w, h, frame, region);
}

void ApplyDefectList(int32_t w, int32_t h, uint8_t* frame, const PLContext* ctx) {
  if (!ctx) return;
  kernels::RepairHotPixels(ctx->hotPixels.data(), ctx->hotPixels.size(), hotPixelReach(*ctx), w, h,
                           frame);
}
void ApplyDefectList16(int32_t w, int32_t h, uint16_t* frame, const PLContext16* ctx) {
  if (!ctx) return;
  kernels::RepairHotPixels16(ctx->hotPixels.data(), ctx->hotPixels.size(), hotPixelReach(*ctx), w,
                             h, frame);
}
void ApplyDefectListBmp(int32_t w, int32_t h, uint8_t* frame, const PLContext* ctx) {
  if (!ctx) return;
  kernels::RepairHotPixelsBmp(ctx->hotPixels.data(), ctx->hotPixels.size(), w, h, frame);
}

void FixFrameDefects(const PLHlperBase& helper, uint32_t count, const DefectPixel* list, int32_t w,
                     int32_t h, uint8_t* frame, const SensorRect* region) {
  if (IsHighBitFormat(helper.pixelFormat)) {
    if (helper.ctx16)
      FixDefectPixels16(helper.ctx16.get(), count, list, w, h, reinterpret_cast<uint16_t*>(frame),
                        region);
  } else if (helper.ctx8) {
    FixDefectPixels(helper.ctx8.get(), count, list, w, h, frame, region);
  }
}

}  // namespace stages
