// The three raw frame buffers of a camera with their free and ready lists and events.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/lumorix_frame.h"
#include "platform/event.h"
#include "platform/lock.h"

inline constexpr uint8_t kRawFormatNone = 12;
inline constexpr size_t kRawBufferAlignment = 1024;

// Allocates one raw buffer, 1024-byte aligned, or returns null. Tests replace it to make an
// allocation fail; a replacement must hand out memory from AllocateRawBufferDefault.
using RawBufferAllocator = void* (*)(size_t bytes);
void* AllocateRawBufferDefault(size_t bytes);
void SetRawBufferAllocator(RawBufferAllocator allocator);  // null restores the default

struct RawBufferRecord {
  RawBufferRecord* next;
  uint8_t format;  // of the frame in the buffer; kRawFormatNone before each grab
  uint8_t roiPresent;
  uint8_t binAverage;
  uint8_t binFactor;
  SensorRect roi;
  SensorRect fullFrame;  // all zero: the preview resolution
  uint8_t* data;         // where the current frame starts
  uint8_t* buffer;
  LumorixFrameInfo info;
};

class CameraBufferImpl {
 public:
  static constexpr size_t kRecordCount = 3;

  explicit CameraBufferImpl(uint32_t rawBytes);
  ~CameraBufferImpl();
  CameraBufferImpl(const CameraBufferImpl&) = delete;
  CameraBufferImpl& operator=(const CameraBufferImpl&) = delete;

  // False when a buffer or an event could not be created; such an object must not stream.
  bool valid() const;
  uint32_t rawBytes() const { return rawBytes_; }

  // All records free in order 1, 2, 3, none ready, each record's format none and rectangles zero.
  void resetLists();
  RawBufferRecord* popReady();                  // null when none is ready
  void pushFree(RawBufferRecord* record);       // and sets the free event
  void pushFreeQuiet(RawBufferRecord* record);  // the grabber's return: no event
  RawBufferRecord* popFree();                   // the grabber's take
  void appendReady(RawBufferRecord* record);    // the grabber's hand-over, at the tail

  platform::Event& freeEvent() { return freeEvent_; }
  platform::Event& readyEvent() { return readyEvent_; }
  RawBufferRecord& record(size_t index) { return records_[index]; }
  // Snapshots in list order, for checks.
  std::vector<RawBufferRecord*> freeList();
  std::vector<RawBufferRecord*> readyList();

 private:
  void pushFreeLocked(RawBufferRecord* record);

  const uint32_t rawBytes_;
  // Held for list links only, no callback under it: never in a set, so no edge in the wait table.
  platform::Mutex lock_;  // guards both list heads and every record's link
  RawBufferRecord* readyHead_ = nullptr;
  RawBufferRecord* freeHead_ = nullptr;
  std::array<RawBufferRecord, kRecordCount> records_{};
  platform::Event freeEvent_{platform::Event::Kind::AutoReset, true};
  platform::Event readyEvent_{platform::Event::Kind::AutoReset, false};
};
