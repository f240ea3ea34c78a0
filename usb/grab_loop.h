// One call of EzusbGrabFrame: overlapped reads in flight, block checks, restarts and pipe recovery.
#pragma once

#include <cstdint>
#include <deque>

#include "usb/grab_state.h"

class CUsb;
namespace platform {
class Event;
}

namespace usb {

struct TransferSlot;

class GrabLoop {
 public:
  GrabLoop(CUsb& usb, uint8_t* dst, platform::Event* stopEvent, uint32_t transferSize,
           uint32_t frameBytes, uint32_t timeoutMs, uint32_t blockCount, void* packetContext);
  int32_t run();

 private:
  bool submit(uint32_t* err);
  int32_t receive();
  int32_t errorPath(uint32_t err, int line);
  int32_t timeoutPath();
  int32_t abortPath(int32_t result);
  int32_t drainPath();
  bool restart();
  uint32_t busyEvents(platform::Event** out, uint32_t room);

  CUsb& usb_;
  platform::Event* stop_;
  void* context_;
  GrabState state_{};
  uint32_t waitMs_;
  bool noPacket_ = false;
  uint32_t retryBudget_;
  uint32_t retriesUsed_ = 0;
  uint32_t submitted_ = 0;
  std::deque<uint32_t> queue_;  // slots in submission order, oldest first
};

}  // namespace usb
