// Frame-rate ring: one sample every three seconds or more, the last ten kept.
#include "core/frame_rate.h"

#include <mutex>

void CFrameRate::reset() {
  std::lock_guard<platform::Mutex> guard(lock_);
  framesCounted_ = 0;
  firstTick_ = 0;
  lostFrames_ = 0;
  sequenceArmed_ = false;
  write_ = 0;
  count_ = 0;
}

void CFrameRate::tick(uint32_t now) {
  std::lock_guard<platform::Mutex> guard(lock_);
  // The first counted frame marks the start; a tick that happens to read 0 is a valid start too.
  if (framesCounted_ == 0) firstTick_ = now;
  ++framesCounted_;
  if (count_ > 0) {
    const FrameRateSample& newest = ring_[(write_ + kRingSize - 1) % kRingSize];
    if (now - newest.tick < kSampleSpacingMs) return;
  }
  ring_[write_] = FrameRateSample{now, framesCounted_};
  write_ = (write_ + 1) % kRingSize;
  if (count_ < kRingSize) ++count_;  // else the oldest sample was just overwritten
}

FrameRateReading CFrameRate::read(uint32_t now) {
  std::lock_guard<platform::Mutex> guard(lock_);
  if (count_ >= 2) {
    const FrameRateSample& newest = ring_[(write_ + kRingSize - 1) % kRingSize];
    const FrameRateSample& oldest = ring_[(write_ + kRingSize - count_) % kRingSize];
    return FrameRateReading{newest.frames - oldest.frames, newest.tick - oldest.tick};
  }
  return FrameRateReading{framesCounted_, now - firstTick_};
}

uint32_t CFrameRate::framesCounted() {
  std::lock_guard<platform::Mutex> guard(lock_);
  return framesCounted_;
}

uint32_t CFrameRate::sampleCount() {
  std::lock_guard<platform::Mutex> guard(lock_);
  return count_;
}

void CFrameRate::setLimit(uint32_t limit) {
  std::lock_guard<platform::Mutex> guard(lock_);
  limit_.store(limit, std::memory_order_relaxed);
  period_.store(limit == 0 ? 0 : 100 / limit, std::memory_order_relaxed);
  lastSlot_ = 0;
  history_ = 0;
}
