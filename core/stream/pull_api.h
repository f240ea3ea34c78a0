// The pull side: PullImage, the pop and return calls, the pin's PullFrameForPin, and Flush.
#pragma once

#include <cstdint>
#include <deque>

#include "core/base_impl.h"

class PullApi {
 public:
  explicit PullApi(BaseImpl& camera) : cam_(camera) {}

  HRESULT PullImage(bool still, uint8_t* dst, uint32_t bits, uint32_t pitch,
                    LumorixFrameInfo* info);
  HRESULT Pop(bool still, LumorixFrameEntry* entry);
  HRESULT ReturnFrame(LumorixFrameEntry* entry);
  HRESULT FreeFrame(LumorixFrameEntry* entry);
  HRESULT PullFrameForPin(uint8_t* dst, uint32_t dstSize, platform::Event* extraEvent);
  HRESULT Flush();

  // 8-bit luma of one pixel, red, green, blue.
  static uint8_t Luma(uint8_t r, uint8_t g, uint8_t b);
  // One image from srcBits rows (24 or 32) to 8-bit luma or the other of 24 and 32.
  static void ConvertRows(const uint8_t* src, uint32_t srcBits, uint32_t srcRow, uint8_t* dst,
                          uint32_t bits, uint32_t pitch, uint32_t w, uint32_t h, bool mono);

 private:
  bool popLocked(std::deque<LumorixFrameEntry>& queue, LumorixFrameEntry* entry);
  void returnLocked(const LumorixFrameEntry& entry);
  HRESULT checkBits(uint32_t bits) const;
  HRESULT copyFrame(const LumorixFrameEntry& entry, uint8_t* dst, uint32_t bits, uint32_t pitch);
  void giveBack(RawBufferRecord* record);

  BaseImpl& cam_;
};
