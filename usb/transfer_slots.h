// The bulk-read slots of one device: a buffer, an event and a request each, and whether a read is
// in flight.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/com_types.h"
#include "platform/device_io.h"
#include "platform/aligned_buffer.h"

namespace usb {

struct TransferSlot {
  platform::Event event{platform::Event::Kind::ManualReset};
  platform::AsyncIo io;
  platform::AlignedBuffer buffer;
  bool busy = false;      // a read of the current grab is in flight
  bool stranded = false;  // a read of an earlier grab outlived its abort; the slot waits for it
  bool done() { return event.wait(0); }  // the event is set when the read ends
};

class TransferSlots {
 public:
  static constexpr uint32_t kMaxSlots = 26;
  static constexpr size_t kBufferAlign = 1024;

  TransferSlots() = default;
  ~TransferSlots() { release(0); }
  TransferSlots(const TransferSlots&) = delete;
  TransferSlots& operator=(const TransferSlots&) = delete;

  // E_OUTOFMEMORY, with nothing kept, when an event or a buffer cannot be had.
  HRESULT allocate(uint32_t count, uint32_t bytes);
  // Frees every slot; a slot whose read is still out after `waitMs` is parked, never freed under
  // it.
  void release(uint32_t waitMs);
  // Stranded slots whose read has since ended become usable again.
  void reclaim();

  uint32_t count() const { return count_; }
  uint32_t bufferBytes() const { return bytes_; }
  TransferSlot& operator[](uint32_t i) { return *slots_[i]; }
  uint32_t* lengths() { return lengths_.data(); }
  // Each slot's buffer, null past the count: a model that reorders a block reads it here.
  const uint8_t* const* buffers() const { return buffers_.data(); }

  // Slots parked process-wide because a read was still out when their owner let go.
  static uint32_t parkedCount();

 private:
  std::array<std::unique_ptr<TransferSlot>, kMaxSlots> slots_;
  std::array<uint32_t, kMaxSlots> lengths_{};
  std::array<const uint8_t*, kMaxSlots> buffers_{};
  uint32_t count_ = 0;
  uint32_t bytes_ = 0;
};

}  // namespace usb
