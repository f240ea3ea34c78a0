// Orientation step of an output frame: mirror and flip, then the first rotation bit that is set.
#include "pipeline/stages/orientation.h"

#include <mutex>

namespace stages {
namespace {

inline void flip(int32_t f, int32_t w, int32_t h, uint8_t* frame, uint8_t p) {
  kernels::FlipImage8(f, w, h, frame, p);
}
inline void flip(int32_t f, int32_t w, int32_t h, uint16_t* frame, uint8_t p) {
  kernels::FlipImage16(f, w, h, frame, p);
}
inline void half(int32_t w, int32_t h, uint8_t* frame, uint8_t p) {
  kernels::Rotate180_8(w, h, frame, p);
}
inline void half(int32_t w, int32_t h, uint16_t* frame, uint8_t p) {
  kernels::Rotate180_16(w, h, frame, p);
}
inline bool quarter(bool ccw, uint8_t* f, size_t n, RotateScratch s, int32_t w, int32_t h,
                    uint8_t p) {
  return ccw ? kernels::RotateCcw8(f, n, s, w, h, p) : kernels::RotateCw8(f, n, s, w, h, p);
}
inline bool quarter(bool ccw, uint16_t* f, size_t n, RotateScratch s, int32_t w, int32_t h,
                    uint8_t p) {
  return ccw ? kernels::RotateCcw16(f, n, s, w, h, p) : kernels::RotateCw16(f, n, s, w, h, p);
}

}  // namespace

template <typename Sample, typename OwnerSample>
bool OrientFrame(PLContextT<OwnerSample>* owner, uint32_t flipWord, uint32_t processFlags,
                 Sample* frame, size_t frameBytes, int32_t w, int32_t h, uint8_t p) {
  if (!frame || w < 1 || h < 1) return true;
  flip(int32_t(flipWord & 3u), w, h, frame, p);
  namespace F = PLProcessFlags;
  if (processFlags & F::kRotate180 && !(processFlags & F::kRotate90)) {
    half(w, h, frame, p);
    return true;
  }
  if (!(processFlags & (F::kRotate90 | F::kRotate270))) return true;
  if (!owner) return false;
  // The buffer is the state's: a preview frame and a still turn through it in turn.
  std::lock_guard<platform::Mutex> hold(*owner->mtxScratch);
  const RotateScratch scratch =
      EnsureRotateBuffer(owner, kernels::rotateScratchBytes<Sample>(w, h, p));
  return quarter((processFlags & F::kRotate90) != 0, frame, frameBytes, scratch, w, h, p);
}

template bool OrientFrame(PLContext*, uint32_t, uint32_t, uint8_t*, size_t, int32_t, int32_t,
                          uint8_t);
template bool OrientFrame(PLContext16*, uint32_t, uint32_t, uint8_t*, size_t, int32_t, int32_t,
                          uint8_t);
template bool OrientFrame(PLContext16*, uint32_t, uint32_t, uint16_t*, size_t, int32_t, int32_t,
                          uint8_t);

}  // namespace stages
