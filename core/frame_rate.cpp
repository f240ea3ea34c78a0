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
  tickLocked(now);
}

bool CFrameRate::tickLocked(uint32_t now) {
  // The first counted frame marks the start; a tick that happens to read 0 is a valid start too.
  if (framesCounted_ == 0) firstTick_ = now;
  ++framesCounted_;
  if (count_ > 0) {
    const FrameRateSample& newest = ring_[(write_ + kRingSize - 1) % kRingSize];
    if (now - newest.tick < kSampleSpacingMs) return false;
  }
  ring_[write_] = FrameRateSample{now, framesCounted_};
  write_ = (write_ + 1) % kRingSize;
  if (count_ < kRingSize) ++count_;  // else the oldest sample was just overwritten
  return true;
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
  passedAny_ = false;
}

bool CFrameRate::onFrame(uint32_t now, bool sequenceValid, uint32_t sequence) {
  std::lock_guard<platform::Mutex> guard(lock_);
  if (sequenceValid) {
    // A forward jump of k loses k - 1 frames; a backward one (a restarted counter) re-arms.
    if (sequenceArmed_ && sequence > lastSequence_) lostFrames_ += sequence - lastSequence_ - 1;
    sequenceArmed_ = true;  // a backward jump only sets a new base
    lastSequence_ = sequence;
  }
  tickLocked(now);
  if (bypass() || limit() == 0) return true;
  return limiterLocked(now);
}

uint32_t CFrameRate::lostFrames() {
  std::lock_guard<platform::Mutex> guard(lock_);
  return lostFrames_;
}

bool CFrameRate::limiterPasses(uint32_t now) {
  std::lock_guard<platform::Mutex> guard(lock_);
  return limit() == 0 || limiterLocked(now);
}

namespace {
// Bits 1..n of the history: the n slots before the current one.
uint64_t before(uint32_t n) {
  return n == 0 ? 0 : (((n >= 63) ? ~uint64_t{0} : ((uint64_t{1} << (n + 1)) - 1)) & ~uint64_t{1});
}
}  // namespace

// 10 ms slots. A frame passes when none passed in the last `period` slots, or when none passed
// in the last period - 1 and exactly one in the last 200 / limit - 3. Windows longer than the
// 63 slots of history decide by the slot of the last passing frame.
bool CFrameRate::limiterLocked(uint32_t now) {
  const uint32_t slot = now / 10;
  const uint32_t elapsed = slot - lastSlot_;
  history_ = elapsed >= 64 ? 0 : history_ << elapsed;
  lastSlot_ = slot;
  if (history_ & 1) return false;  // one already passed in this slot
  const uint32_t period = this->period();
  const uint32_t wide = 200 / limit() >= 3 ? 200 / limit() - 3 : 0;
  bool pass;
  if (period > 63 || wide > 63) {
    pass = !passedAny_ || slot - lastPassSlot_ >= period;
  } else {
    pass = (history_ & before(period)) == 0 || ((history_ & before(period - 1)) == 0 &&
                                                __builtin_popcountll(history_ & before(wide)) == 1);
  }
  if (pass) {
    history_ |= 1;
    lastPassSlot_ = slot;
    passedAny_ = true;
  }
  return pass;
}
