// Frame-rate statistics of a stream and the setting of its software frame-rate limit.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/lock.h"

struct FrameRateSample {
  uint32_t tick;    // ms
  uint32_t frames;  // frames counted at that tick
};

struct FrameRateReading {
  uint32_t frames;
  uint32_t ms;
};

class CFrameRate {
 public:
  static constexpr uint32_t kRingSize = 10;
  // A new sample needs at least this much time after the newest one.
  static constexpr uint32_t kSampleSpacingMs = 3001;

  CFrameRate() = default;
  CFrameRate(const CFrameRate&) = delete;
  CFrameRate& operator=(const CFrameRate&) = delete;

  // Frames counted, first tick and lost frames zeroed, sequence check disarmed, ring emptied.
  void reset();
  // One delivered frame at `now` (ms, wrapping).
  void tick(uint32_t now);
  // Over the ring when it holds two samples or more, else since the first counted frame.
  FrameRateReading read(uint32_t now);
  uint32_t framesCounted();
  uint32_t sampleCount();

  // One frame taken for delivery at `now`: lost-frame counting from its sequence number (when
  // valid), the ring tick, and the software limit. False when the limit holds the frame back.
  bool onFrame(uint32_t now, bool sequenceValid, uint32_t sequence);
  uint32_t lostFrames();
  // The limit alone, for one frame at `now`; true when it passes (and is recorded).
  bool limiterPasses(uint32_t now);

  // The FRAMERATE option: 0 = none; the period is in 10 ms slots. Clears the slot history.
  void setLimit(uint32_t limit);
  uint32_t limit() const { return limit_.load(std::memory_order_relaxed); }
  uint32_t period() const { return period_.load(std::memory_order_relaxed); }
  void setBypass(bool bypass) { bypass_.store(bypass, std::memory_order_relaxed); }
  bool bypass() const { return bypass_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> bypass_{false};
  std::atomic<uint32_t> limit_{0};
  std::atomic<uint32_t> period_{0};

  // Held for arithmetic only, no callback under it: never in a set, so no edge in the wait table.
  platform::Mutex lock_;  // guards everything below
  bool sequenceArmed_ = false;
  bool tickLocked(uint32_t now);
  bool limiterLocked(uint32_t now);
  uint32_t lastSlot_ = 0;
  uint32_t lastPassSlot_ = 0;
  bool passedAny_ = false;
  uint64_t history_ = 0;  // one bit per 10 ms slot, bit 0 the latest
  uint32_t firstTick_ = 0;
  uint32_t framesCounted_ = 0;
  uint32_t lostFrames_ = 0;
  uint32_t lastSequence_ = 0;
  std::array<FrameRateSample, kRingSize> ring_{};
  uint32_t write_ = 0;  // next slot to write
  uint32_t count_ = 0;
};
