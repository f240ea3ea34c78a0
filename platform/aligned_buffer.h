// An owned, aligned byte buffer that reports allocation failure instead of throwing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace platform {

// Frame buffers sit on 1024-byte boundaries so vector kernels and DMA-style copies never split a
// line.
inline constexpr size_t kFrameAlignment = 1024;

class AlignedBuffer {
 public:
  AlignedBuffer() = default;
  ~AlignedBuffer() { reset(); }
  AlignedBuffer(AlignedBuffer&& other) noexcept
      : data_(other.data_), size_(other.size_), align_(other.align_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
    if (this != &other) {
      reset();
      data_ = other.data_;
      size_ = other.size_;
      align_ = other.align_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;

  bool allocate(size_t size, size_t align);
  void reset() {
    if (data_) ::operator delete(data_, std::align_val_t(align_));
    data_ = nullptr;
    size_ = 0;
  }
  uint8_t* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }
  size_t size() const { return size_; }

  // Tests make the n-th allocation from now fail (1 = the next one); 0 turns it off.
  static void failAllocation(uint32_t nth);

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t align_ = 1;
};

}  // namespace platform
