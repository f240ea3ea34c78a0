// The grab loop's per-frame state, handed to OnGrabPacket for every completed read.
#pragma once

#include <cstdint>

struct GrabState {
  uint8_t* destination;
  uint32_t kind;  // 0
  uint32_t blocksDone;
  uint32_t blocksTotal;
  uint32_t frameBytes;
  uint32_t bytesReceived;
  uint32_t transferSize;
  uint32_t lastBlockBytes;        // 0: the frame ends with a zero-length read
  const uint32_t* lengths;        // actual length of each transfer slot's last read
  const uint8_t* const* buffers;  // each transfer slot's bytes
};
