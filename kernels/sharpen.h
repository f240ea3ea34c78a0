// Unsharp-mask sharpening: a separable Gaussian blur of a copy, then each colour sample pushed
// away from its blur by a share of the difference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kernels {

inline constexpr int32_t kMaxSharpenRadius = 10;
inline constexpr int32_t kMaxGaussianTaps = 2 * kMaxSharpenRadius + 1;

// The frame-sized buffers of one sharpening call: the copy, the blur and the horizontal pass.
// Owned by the caller; one call at a time.
template <typename Sample>
class SharpenScratch {
 public:
  static constexpr uint64_t kMaxBytes = uint64_t{1} << 31;
  // Grows to hold `samples` samples in each buffer; false (nothing changed) above kMaxBytes or
  // when memory runs out. Never shrinks.
  bool reserve(uint64_t samples);
  size_t samples() const { return copy.size(); }
  std::vector<Sample> copy, blurred, temp;
};

// n normalised weights (n odd, 1..kMaxGaussianTaps): the fixed dyadic rows up to 7 taps, the
// sampled Gaussian beyond. Nothing is written for another n.
void BuildGaussianKernel(double* out, int32_t n);
// exp(-d^2 / (2 sigma^2)) of the n-tap kernel at distance d from its centre, as stored.
double GaussianExpConstant(int32_t n, int32_t d);

// Separable blur of src into dst through temp (all w x h frames of padded rows). Edge windows
// are cut off and renormalised. The colour members blur three samples of each p-sample pixel.
void GaussianBlurMono8(const uint8_t* src, uint8_t* dst, uint8_t* temp, uint8_t p, int32_t w,
                       int32_t h, int32_t n);
void GaussianBlurMono16(const uint16_t* src, uint16_t* dst, uint16_t* temp, uint8_t p, int32_t w,
                        int32_t h, int32_t n);
void GaussianBlurRgb8(const uint8_t* src, uint8_t* dst, uint8_t* temp, uint8_t p, int32_t w,
                      int32_t h, int32_t n);
void GaussianBlurRgb16(const uint16_t* src, uint16_t* dst, uint16_t* temp, uint8_t p, int32_t w,
                       int32_t h, int32_t n);

// Blurs copy and writes the sharpened colour samples of frame (a fourth sample is kept).
void UnsharpApplyRgb8(const uint8_t* copy, uint8_t* frame, uint8_t* blurred, uint8_t* temp,
                      uint8_t p, uint8_t bits, int32_t w, int32_t h, int32_t amount, int32_t radius,
                      int32_t threshold);
void UnsharpApplyRgb16(const uint16_t* copy, uint16_t* frame, uint16_t* blurred, uint16_t* temp,
                       uint8_t p, uint8_t bits, int32_t w, int32_t h, int32_t amount,
                       int32_t radius, int32_t threshold);

// The whole step on a frame of p samples a pixel (1: mono, 3 or 4: colour): unchanged for
// amount 0, radius outside 1..10, a bad frame, or scratch without room for it (false then).
bool Sharpen(SharpenScratch<uint8_t>& scratch, uint8_t* frame, int32_t w, int32_t h, uint8_t p,
             uint8_t bits, int32_t amount, int32_t radius, int32_t threshold);
bool Sharpen16(SharpenScratch<uint16_t>& scratch, uint16_t* frame, int32_t w, int32_t h, uint8_t p,
               uint8_t bits, int32_t amount, int32_t radius, int32_t threshold);

}  // namespace kernels
