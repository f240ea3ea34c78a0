// A heap byte buffer on a 1024-byte boundary, freed with its owner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

inline constexpr std::align_val_t kFrameAlignment{1024};

struct AlignedFree {
  void operator()(uint8_t* p) const { ::operator delete[](p, kFrameAlignment); }
};
using AlignedBuffer = std::unique_ptr<uint8_t[], AlignedFree>;

// Null when the memory is not there.
inline AlignedBuffer MakeAlignedBuffer(size_t bytes) {
  return AlignedBuffer(static_cast<uint8_t*>(::operator new[](bytes, kFrameAlignment, std::nothrow)));
}
