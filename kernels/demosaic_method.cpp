// Demosaic by method code: the method's kernel in the layout's byte order.
#include "kernels/demosaic.h"

#include "kernels/demosaic_ahd.h"

namespace kernels {
namespace {

template <typename Sample>
using RowsFn = void (*)(bool, uint32_t, const uint8_t*, int32_t, int32_t, int32_t, int32_t,
                        const Sample*, Sample*, uint8_t, uint8_t, uint8_t);

// Slots by method code: 0 bilinear, 1 VNG, 2 PPG, 3 AHD. AHD's slot is for bands (bilinear);
// whole frames with scratch take its own kernel. Codes past the table are bilinear too.
constexpr uint32_t kMethodSlots = 4;
constexpr RowsFn<uint8_t> kMethods8[kMethodSlots] = {DemosaicBilinearRows8, DemosaicVngRows8,
                                                     DemosaicPpgRows8, DemosaicBilinearRows8};
constexpr RowsFn<uint16_t> kMethods16[kMethodSlots] = {DemosaicBilinearRows16, DemosaicVngRows16,
                                                       DemosaicPpgRows16, DemosaicBilinearRows16};

template <typename Sample>
void demosaic(const RowsFn<Sample> (&methods)[kMethodSlots], const Layout& l, uint32_t method,
              uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, int32_t y0, int32_t y1,
              const Sample* raw, Sample* out) {
  const RowsFn<Sample> fn = methods[method < kMethodSlots ? method : 0];
  fn(l.byteOrder != 0, b, siteTable, w, h, y0, y1, raw, out, l.bits, l.samplesPerPixel, l.rowOrder);
}

template <typename Sample>
using AhdFn = void (*)(AhdScratch&, uint32_t, const uint8_t*, int32_t, int32_t, const Sample*,
                       Sample*, uint8_t, uint8_t, uint8_t);
constexpr uint32_t kAhd = 3;

// The AHD member of the layout's byte order; false when the frame is left to the table.
template <typename Sample>
bool ahd(AhdScratch* scratch, AhdFn<Sample> bgr, AhdFn<Sample> rgb, const Layout& l,
         uint32_t method, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
         const Sample* raw, Sample* out) {
  if (method != kAhd || !scratch) return false;
  (l.byteOrder ? bgr : rgb)(*scratch, b, siteTable, w, h, raw, out, l.bits, l.samplesPerPixel,
                            l.rowOrder);
  return true;
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

void DemosaicByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                      int32_t w, int32_t h, const uint8_t* raw, uint8_t* out, AhdScratch* scratch) {
  if (ahd<uint8_t>(scratch, DemosaicAhd8Bgr, DemosaicAhd8Rgb, l, method, b, siteTable, w, h, raw,
                   out))
    return;
  demosaic(kMethods8, l, method, b, siteTable, w, h, 0, h, raw, out);
}

void DemosaicByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                      int32_t w, int32_t h, const uint16_t* raw, uint16_t* out,
                      AhdScratch* scratch) {
  if (ahd<uint16_t>(scratch, DemosaicAhd16Bgr, DemosaicAhd16Rgb, l, method, b, siteTable, w, h, raw,
                    out))
    return;
  demosaic(kMethods16, l, method, b, siteTable, w, h, 0, h, raw, out);
}

void DemosaicRowsByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                          int32_t w, int32_t h, int32_t y0, int32_t y1, const uint8_t* raw,
                          uint8_t* out) {
  demosaic(kMethods8, l, method, b, siteTable, w, h, y0, y1, raw, out);
}

void DemosaicRowsByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                          int32_t w, int32_t h, int32_t y0, int32_t y1, const uint16_t* raw,
                          uint16_t* out) {
  demosaic(kMethods16, l, method, b, siteTable, w, h, y0, y1, raw, out);
}

}  // namespace kernels
