// Demosaic entries: the host hook, or the method's kernel in the state's byte order.
#include "kernels/demosaic.h"

namespace kernels {
namespace {

template <typename Sample>
using MethodFn = void (*)(uint32_t, const uint8_t*, int32_t, int32_t, const Sample*, Sample*,
                          uint8_t, uint8_t, uint8_t);

template <typename Sample>
struct MethodSlot {
  MethodFn<Sample> bgr, rgb;
};

// Slots by method code: 0 bilinear, 1 VNG, 2 PPG, 3 AHD. The last three hold bilinear until
// their own kernels arrive; codes past the table are bilinear too.
constexpr MethodSlot<uint8_t> kMethods8[4] = {
    {DemosaicBilinear8Bgr, DemosaicBilinear8Rgb},
    {DemosaicBilinear8Bgr, DemosaicBilinear8Rgb},
    {DemosaicBilinear8Bgr, DemosaicBilinear8Rgb},
    {DemosaicBilinear8Bgr, DemosaicBilinear8Rgb},
};
constexpr MethodSlot<uint16_t> kMethods16[4] = {
    {DemosaicBilinear16Bgr, DemosaicBilinear16Rgb},
    {DemosaicBilinear16Bgr, DemosaicBilinear16Rgb},
    {DemosaicBilinear16Bgr, DemosaicBilinear16Rgb},
    {DemosaicBilinear16Bgr, DemosaicBilinear16Rgb},
};

template <typename Sample>
void demosaic(PLContextT<Sample>* ctx, const MethodSlot<Sample> (&methods)[4], uint32_t b,
              const uint8_t* siteTable, uint32_t method, int32_t w, int32_t h, const Sample* raw,
              Sample* out) {
  if (!ctx) return;
  const PLHostCallbacks& cb = ctx->callbacks;
  if (cb.demosaicCallback) {
    cb.demosaicCallback(BayerFourCC(b), w, h, raw, out, ctx->bitDepth, cb.demosaicCallbackContext);
    return;
  }
  const MethodSlot<Sample>& slot = methods[method < 4 ? method : 0];
  const MethodFn<Sample> fn = ctx->byteOrder ? slot.bgr : slot.rgb;
  fn(b, siteTable, w, h, raw, out, ctx->bitDepth, ctx->samplesPerPixel, ctx->rowOrder);
}

}  // namespace

uint32_t BayerFourCC(uint32_t b) {
  // Each code spells the pattern the kernels read for that order, first row then second.
  static constexpr char kCodes[4][5] = {"GRBG", "RGGB", "BGGR", "GBRG"};
  if (b > 3) return 0;
  const char* c = kCodes[b];
  return uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
         uint32_t(uint8_t(c[3])) << 24;
}

void Demosaic(PLContext* ctx, uint32_t b, const uint8_t* siteTable, uint32_t method, int32_t w,
              int32_t h, const uint8_t* raw, uint8_t* out) {
  demosaic(ctx, kMethods8, b, siteTable, method, w, h, raw, out);
}

void Demosaic16(PLContext16* ctx, uint32_t b, const uint8_t* siteTable, uint32_t method, int32_t w,
                int32_t h, const uint16_t* raw, uint16_t* out) {
  demosaic(ctx, kMethods16, b, siteTable, method, w, h, raw, out);
}

}  // namespace kernels
