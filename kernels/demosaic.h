// Demosaicing of raw Bayer frames: the dispatch entries, the border fill, bilinear, VNG, PPG and
// the four-row mosaic conversion.
#pragma once

#include <cstdint>

#include "kernels/kernel_base.h"

namespace kernels {

class AhdScratch;

// The FourCC naming the pattern of Bayer order b as the kernels read it (first letter in the
// lowest byte): 0 "GRBG", 1 "RGGB", 2 "BGGR", 3 "GBRG"; 0 for an order outside 0..3.
uint32_t BayerFourCC(uint32_t b);

// The method's kernel in the layout's byte order. Methods 1..3 have their slots; any other code
// is bilinear. AHD (3) runs on ahd's rows, and is bilinear without ahd or when ahd has no room
// for w.
void DemosaicByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                      int32_t w, int32_t h, const uint8_t* raw, uint8_t* out,
                      AhdScratch* ahd = nullptr);
void DemosaicByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                      int32_t w, int32_t h, const uint16_t* raw, uint16_t* out,
                      AhdScratch* ahd = nullptr);

// Raw rows y0 .. y1 - 1 of a w x h frame only, written where and as the whole-frame call writes
// them (each method reads at most the rows next to a row). Bands of one frame may run at once.
// AHD's refinement runs through the whole frame, so it has no bands: method 3 is bilinear here.
void DemosaicRowsByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                          int32_t w, int32_t h, int32_t y0, int32_t y1, const uint8_t* raw,
                          uint8_t* out);
void DemosaicRowsByMethod(const Layout& l, uint32_t method, uint32_t b, const uint8_t* siteTable,
                          int32_t w, int32_t h, int32_t y0, int32_t y1, const uint16_t* raw,
                          uint16_t* out);

// The two-pixel frame every method fills first: each missing colour is the mean of the other
// colours' samples around the site, limited to the depth's maximum. Nothing below 4 x 4.
void DemosaicBorder8(uint32_t b, const uint8_t* siteTable, const uint8_t* raw, uint8_t* out,
                     int32_t w, int32_t h, uint8_t bits, uint8_t p, uint8_t rowOrder);
void DemosaicBorder16(uint32_t b, const uint8_t* siteTable, const uint16_t* raw, uint16_t* out,
                      int32_t w, int32_t h, uint8_t bits, uint8_t p, uint8_t rowOrder);

// Bilinear: border fill, then the interior from integer sums and right shifts.
void DemosaicBilinear8Bgr(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                          const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                          uint8_t rowOrder);
void DemosaicBilinear8Rgb(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                          const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                          uint8_t rowOrder);
void DemosaicBilinear16Bgr(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                           const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                           uint8_t rowOrder);
void DemosaicBilinear16Rgb(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                           const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                           uint8_t rowOrder);

// Bilinear on raw rows y0 .. y1 - 1 in either byte order.
void DemosaicBilinearRows8(bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                           int32_t y0, int32_t y1, const uint8_t* raw, uint8_t* out, uint8_t bits,
                           uint8_t p, uint8_t rowOrder);
void DemosaicBilinearRows16(bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                            int32_t y0, int32_t y1, const uint16_t* raw, uint16_t* out,
                            uint8_t bits, uint8_t p, uint8_t rowOrder);

// VNG: border fill, then each interior pixel from the colour differences of the directions whose
// gradient is small. The channels come from siteTable, so both byte orders share one body.
void DemosaicVng8Bgr(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder);
void DemosaicVng8Rgb(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder);
void DemosaicVng16Bgr(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                      const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder);
void DemosaicVng16Rgb(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                      const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder);

// PPG: border fill, green along the flattest of four directions, then red and blue by hue
// transit along the greens of the same neighbours. Channels from siteTable, as VNG.
void DemosaicPpg8Bgr(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder);
void DemosaicPpg8Rgb(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder);
void DemosaicPpg16Bgr(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                      const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder);
void DemosaicPpg16Rgb(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                      const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder);

// VNG and PPG on raw rows y0 .. y1 - 1 (bgr is unused: siteTable places the colours). PPG reads
// the greens of the rows next to the band without writing them, so bands may run at once.
void DemosaicVngRows8(bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                      int32_t y0, int32_t y1, const uint8_t* raw, uint8_t* out, uint8_t bits,
                      uint8_t p, uint8_t rowOrder);
void DemosaicVngRows16(bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                       int32_t y0, int32_t y1, const uint16_t* raw, uint16_t* out, uint8_t bits,
                       uint8_t p, uint8_t rowOrder);
void DemosaicPpgRows8(bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                      int32_t y0, int32_t y1, const uint8_t* raw, uint8_t* out, uint8_t bits,
                      uint8_t p, uint8_t rowOrder);
void DemosaicPpgRows16(bool bgr, uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h,
                       int32_t y0, int32_t y1, const uint16_t* raw, uint16_t* out, uint8_t bits,
                       uint8_t p, uint8_t rowOrder);

// Re-expresses a frame with a four-row colour period as a 2 x 2 mosaic in dst (w x h samples).
// Frames under 4 columns or 6 rows are copied unchanged.
void QuickDemosaic8(const uint8_t* raw, uint8_t* dst, int32_t w, int32_t h);
void QuickDemosaic16(const uint16_t* raw, uint16_t* dst, int32_t w, int32_t h);

// A site table whose every entry names a channel 0..2 (anything else is refused).
bool validSiteTable(const uint8_t* siteTable);
// Order b of the table is a Bayer cell: green on one diagonal, red and blue on the other.
bool bayerSites(const uint8_t* siteTable, uint32_t b);

}  // namespace kernels
