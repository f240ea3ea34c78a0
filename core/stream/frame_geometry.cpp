// Image sizes shared by allocation and by the checks of caller buffers.
#include "core/stream/frame_geometry.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

uint32_t OutputBits(uint32_t outputMode) {
  static constexpr uint32_t kBits[] = {24, 48, 32, 8, 16};
  return outputMode < 5 ? kBits[outputMode] : 24;
}

ImageShape DeliveredShape(uint32_t width, uint32_t height, uint32_t binFactor, bool rotated90) {
  if (binFactor >= 2 && binFactor <= 4) {
    width = (width / binFactor) & ~1u;
    height = (height / binFactor) & ~1u;
  }
  return rotated90 ? ImageShape{height, width} : ImageShape{width, height};
}

uint64_t ImageBytes(uint32_t bits, ImageShape shape) {
  return DibRowBytes(bits, shape.width) * shape.height;
}

uint64_t ImageBytesAnyTurn(uint32_t bits, uint32_t width, uint32_t height) {
  return std::max(ImageBytes(bits, {width, height}), ImageBytes(bits, {height, width}));
}

uint64_t StillBytes(bool raw, uint32_t rawBytesPerPixel, uint32_t outputBits, uint32_t width,
                    uint32_t height) {
  constexpr uint32_t kMinRawBytesPerPixel = 1;
  if (!raw) return ImageBytesAnyTurn(outputBits, width, height);
  return uint64_t{std::max(rawBytesPerPixel, kMinRawBytesPerPixel)} * width * height;
}

uint64_t StreamFrameBytes(bool raw, const StreamOutputShape& shape, uint32_t width,
                          uint32_t height) {
  const uint32_t rawBytes = std::max(shape.rawBytesPerPixel, shape.deepestRawBytesPerPixel);
  return StillBytes(raw, rawBytes, OutputBits(shape.outputMode), width, height);
}

namespace {
std::atomic<int> allocationsUntilFailure{0};
constexpr std::align_val_t kFrameAlignment{1024};
}  // namespace

uint8_t* AllocFrameBuffer(uint64_t bytes) {
  if (allocationsUntilFailure.load() > 0 && --allocationsUntilFailure == 0) return nullptr;
  if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
  void* buffer = ::operator new(static_cast<size_t>(bytes), kFrameAlignment, std::nothrow);
  if (buffer) std::memset(buffer, 0, static_cast<size_t>(bytes));
  return static_cast<uint8_t*>(buffer);
}

void FreeFrameBuffer(uint8_t* buffer) {
  if (buffer) ::operator delete(buffer, kFrameAlignment);
}

void FailFrameAllocationAt(int nth) {
  allocationsUntilFailure = nth;
}
