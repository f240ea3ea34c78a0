// Slot lifetime: a buffer the device may still write into is parked until its read ends.
#include "usb/transfer_slots.h"

#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/wait_hook.h"

namespace usb {
namespace {

// Reachable until the read ends, so neither a use after free nor a leak.
struct Parking {
  // Held for the list only, no callback: never in a set, so no edge in the wait table.
  std::mutex lock;
  std::vector<std::unique_ptr<TransferSlot>> slots;

  void reap() {
    std::lock_guard<std::mutex> hold(lock);
    std::erase_if(slots, [](const auto& s) { return s->done(); });
  }
};

Parking& parking() {
  static Parking* p = new Parking;  // outlives every static owner of a device
  return *p;
}

}  // namespace

uint32_t TransferSlots::parkedCount() {
  parking().reap();
  std::lock_guard<std::mutex> hold(parking().lock);
  return static_cast<uint32_t>(parking().slots.size());
}

HRESULT TransferSlots::allocate(uint32_t count, uint32_t bytes) {
  release(0);
  if (count > kMaxSlots) return E_INVALIDARG;
  for (uint32_t i = 0; i < count; ++i) {
    auto slot = std::make_unique<TransferSlot>();
    if (!slot->event.valid() || !slot->buffer.allocate(bytes, kBufferAlign)) {
      release(0);
      return E_OUTOFMEMORY;
    }
    buffers_[i] = slot->buffer.data();
    slots_[i] = std::move(slot);
    count_ = i + 1;
  }
  bytes_ = bytes;
  return S_OK;
}

void TransferSlots::release(uint32_t waitMs) {
  const uint32_t start = platform::TickCountMs();
  for (auto& slot : slots_) {
    if (!slot) continue;
    if (slot->stranded || slot->busy) {
      const uint32_t spent = platform::TickCountMs() - start;
      platform::Event* one[] = {&slot->event};
      if (!platform::HookedWaitAny(one, spent >= waitMs ? 0 : waitMs - spent).signalled()) {
        std::lock_guard<std::mutex> hold(parking().lock);
        parking().slots.push_back(std::move(slot));
        continue;
      }
    }
    slot.reset();
  }
  buffers_.fill(nullptr);
  count_ = 0;
  bytes_ = 0;
  parking().reap();
}

void TransferSlots::reclaim() {
  for (uint32_t i = 0; i < count_; ++i) {
    TransferSlot& s = *slots_[i];
    if (s.stranded && s.done()) s.stranded = false;
  }
}

}  // namespace usb
