// AHD demosaic: two directional candidates, the more homogeneous one per pixel, then medians of
// the colour differences. Scratch is the caller's, sized from the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kernels {

// Rolling rows of the passes (candidates, YCbCr, thresholds, homogeneity), a few raw rows deep,
// so the memory grows with the width only. Owned by the caller; one call at a time.
class AhdScratch {
 public:
  // Planes per slot and slots per plane; rows are padded to whole vectors. The refinement's
  // statistics live one chunk of columns at a time, for each of two rows: kChunkStats cells each.
  static constexpr size_t kPlanes = 19, kSlots = 4, kChunkStats = 384, kAlign = 16;
  static constexpr size_t kMaxBytes = size_t{1} << 30;
  static size_t pitchFor(int32_t w);
  static uint64_t bytesFor(int32_t w);
  // Grows to serve frames w pixels wide; false (and nothing changed) when the size is above
  // kMaxBytes or memory runs out. Never shrinks.
  bool reserve(int32_t w);
  // Serves frames w pixels wide without growing.
  bool fits(int32_t w) const;
  int32_t* data() { return rows_.data(); }
  size_t bytes() const { return rows_.size() * sizeof(int32_t); }
  // Overwrites every cell (tests: the result must not depend on what the scratch held).
  void fill(int32_t v);

 private:
  std::vector<int32_t> rows_;
};

// Border fill, then AHD on the interior. Without room in scratch for w the frame is bilinear.
void DemosaicAhd8Bgr(AhdScratch& scratch, uint32_t b, const uint8_t* siteTable, int32_t w,
                     int32_t h, const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                     uint8_t rowOrder);
void DemosaicAhd8Rgb(AhdScratch& scratch, uint32_t b, const uint8_t* siteTable, int32_t w,
                     int32_t h, const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                     uint8_t rowOrder);
void DemosaicAhd16Bgr(AhdScratch& scratch, uint32_t b, const uint8_t* siteTable, int32_t w,
                      int32_t h, const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder);
void DemosaicAhd16Rgb(AhdScratch& scratch, uint32_t b, const uint8_t* siteTable, int32_t w,
                      int32_t h, const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder);

}  // namespace kernels
