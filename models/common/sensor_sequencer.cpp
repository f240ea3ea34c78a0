// The sensor flows every CMOS model shares, built from its sensor driver and run as locked
// programs.
#include "models/common/sensor_sequencer.h"

#include <array>
#include <mutex>

#include "platform/clock.h"
#include "platform/wait_hook.h"

namespace {
constexpr uint16_t kSwitchLeadMs = 10;
constexpr uint16_t kDeviceEventSettleMs = 50;
constexpr HRESULT kNotReady = static_cast<HRESULT>(0x8007001F);
constexpr uint32_t kReadyReplyBytes = 3;
}  // namespace

template <typename Fill>
HRESULT SensorSequencer::runBuilt(Fill fill) {
  ProgramBuffer steps;
  fill(steps);
  return program_.run(steps.steps());
}

void SensorSequencer::identify(uint16_t productId, uint16_t revision) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  context_.productId = productId;
  context_.revision = revision;
  context_.alternative = spec_.isAlternative(productId);
  context_.keepsHalvedLine = spec_.keepsHalvedLine;
}

void SensorSequencer::setAlternative(bool alternative) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  context_.alternative = alternative;
}

// Programs are built under the lock too: they read and update the line-length state. A sensor
// whose window follows the region gets it from the caller after the open, or here the whole
// resolution's.
HRESULT SensorSequencer::open(uint32_t index, uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  state_.resIndex = context_.index = index;
  if (sensor_.openHead) runBuilt([&](ProgramBuffer& b) { sensor_.openHead(b, context_); });
  const HRESULT hr = start(!windowed());
  if (FAILED(hr)) return hr;
  if (!windowed() || !sensor_.regionAtOpen) {
    if (windowed())
      runBuilt([&](ProgramBuffer& b) { sensor_.regionProgram(b, state_, context_, speed, {}); });
    setSpeed(speed, exposureUs);
  }
  HRESULT tail = S_OK;
  if (sensor_.openTail) tail = runBuilt([&](ProgramBuffer& b) { sensor_.openTail(b, context_); });
  return spec_.openAnswersTail ? tail : S_OK;
}

// The reply is checked in full: a failed request answers its own error; fewer than two bytes or
// another identity answer not ready. Either leaves the sensor unwritten.
HRESULT SensorSequencer::checkIdentity(const SensorIdentity& identity) {
  uint8_t reply[kReadyReplyBytes] = {};
  uint32_t got = 0;
  const HRESULT hr = program_.readSensor(reply, kReadyReplyBytes, &got);
  if (FAILED(hr)) return hr;
  if (got < 2) return kNotReady;
  const uint16_t answered = static_cast<uint16_t>(reply[0] << 8 | reply[1]);
  return answered == identity.expected ? S_OK : kNotReady;
}

// Polls until the sensor answers its ready byte first; a read that answers nothing is a miss.
// Elapsed time is unsigned tick subtraction, right across a wrap of the tick.
HRESULT SensorSequencer::waitReady(const ReadyWait& wait) {
  const uint32_t begin = platform::TickCountMs();
  for (uint32_t misses = 0;; ++misses) {
    uint8_t reply[kReadyReplyBytes] = {};
    uint32_t got = 0;
    if (SUCCEEDED(program_.readSensor(reply, kReadyReplyBytes, &got)) && got >= 1 &&
        reply[0] == wait.readyByte)
      return S_OK;
    if (platform::TickCountMs() - begin > wait.limitMs) return kNotReady;
    platform::HookedSleepMs(misses < wait.quickPolls ? wait.quickPollMs : wait.pollMs);
  }
}

// The ready wait, start-up, window of the stored index and its line length, and what closes the
// start-up.
HRESULT SensorSequencer::start(bool window) {
  if (sensor_.identity) {
    const HRESULT hr = checkIdentity(*sensor_.identity);
    if (FAILED(hr)) return hr;
  }
  if (sensor_.readyWait) {
    const HRESULT hr = waitReady(*sensor_.readyWait);
    if (FAILED(hr)) return hr;
  }
  runBuilt([&](ProgramBuffer& b) { sensor_.startProgram(b, context_); });
  state_.clockIndex = context_.index;
  if (window) {
    runBuilt([&](ProgramBuffer& b) { sensor_.windowProgram(b, context_); });
    if (!sensor_.lineBySpeed) writeLineLength(0);
  }
  if (sensor_.startTail) runBuilt([&](ProgramBuffer& b) { sensor_.startTail(b, context_); });
  return S_OK;
}

void SensorSequencer::switchResolution(uint32_t index, bool still, uint16_t speed,
                                       std::optional<uint32_t> exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  if (index == state_.resIndex) return;
  program_.run(std::array{Wait(kSwitchLeadMs)});
  state_.resIndex = context_.index = index;
  if (windowed()) return switchWindowed(still, speed, exposureUs);
  if (still || !sensor_.lineBySpeed) writeLineLength(still ? 0 : speed);
  if (still) {
    runBuilt([&](ProgramBuffer& b) {
      sensor_.speedProgram(b, context_, 0);
      if (sensor_.stillSettleMs) b.add(Wait(sensor_.stillSettleMs));
    });
    if (exposureUs) setExposure(*exposureUs, 0);
  } else {
    setSpeed(speed, exposureUs.value_or(spec_.exposureUs.def));
  }
  runBuilt([&](ProgramBuffer& b) { sensor_.windowProgram(b, context_); });
  if (sensor_.switchTail) runBuilt([&](ProgramBuffer& b) { sensor_.switchTail(b, context_); });
}

// A still takes its fixed window (or the whole resolution at the slowest clock); the preview's
// window follows the region, at once or at the grabber's next region step.
void SensorSequencer::switchWindowed(bool still, uint16_t speed,
                                     std::optional<uint32_t> exposureUs) {
  if (still && sensor_.stillProgram) {
    runBuilt([&](ProgramBuffer& b) {
      sensor_.stillProgram(b, state_, context_);
      if (sensor_.stillSettleMs) b.add(Wait(sensor_.stillSettleMs));
    });
    if (sensor_.stillHandsOver && handOver_)
      handOver_->reapplyExposure();  // the still's line is fixed; the clock stays the preview's
    else if (exposureUs)
      setExposure(*exposureUs, 0);  // the still window runs the slowest clock
    if (sensor_.stillTail) runBuilt([&](ProgramBuffer& b) { sensor_.stillTail(b, context_); });
  } else if (still) {
    runBuilt([&](ProgramBuffer& b) {
      sensor_.regionProgram(b, state_, context_, 0, {});
      sensor_.speedProgram(b, context_, 0);
    });
    if (exposureUs) setExposure(*exposureUs, 0);
  } else if (!sensor_.speedMarksRoiPending) {
    runBuilt([&](ProgramBuffer& b) { sensor_.regionProgram(b, state_, context_, speed, {}); });
    setSpeed(speed, exposureUs.value_or(spec_.exposureUs.def));
  }
  if (sensor_.switchTail) runBuilt([&](ProgramBuffer& b) { sensor_.switchTail(b, context_); });
}

SensorRect SensorSequencer::alignWindow(const SensorRect& region) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  return sensor_.alignWindow ? sensor_.alignWindow(context_, region) : SensorRect{};
}

void SensorSequencer::programRegion(const SensorRect& window, uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  if (!windowed()) return;
  runBuilt([&](ProgramBuffer& b) { sensor_.regionProgram(b, state_, context_, speed, window); });
  reapplyExposure(exposureUs, speed);
}

void SensorSequencer::switchMode(bool skip, uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  context_.skip = skip;
  if (sensor_.modeProgram)
    runBuilt([&](ProgramBuffer& b) { sensor_.modeProgram(b, state_, context_); });
  reapplyExposure(exposureUs, speed);
}

void SensorSequencer::setSpeed(uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  runBuilt([&](ProgramBuffer& b) { sensor_.speedProgram(b, context_, speed); });
  if (sensor_.lineBySpeed) writeLineLength(speed);
  reapplyExposure(exposureUs, speed);
}

void SensorSequencer::switchSkip(bool skip, uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  context_.skip = skip;
  if (sensor_.skipHead) runBuilt([&](ProgramBuffer& b) { sensor_.skipHead(b, context_); });
  runBuilt([&](ProgramBuffer& b) {
    sensor_.windowProgram(b, context_);
    if (sensor_.lineBySpeed) sensor_.speedProgram(b, context_, speed);
  });
  writeLineLength(speed);
  // A line that follows the speed takes its exposure before the restart, as a speed change does:
  // the first frame after it is read with the new line's exposure.
  if (sensor_.lineBySpeed) reapplyExposure(exposureUs, speed);
  if (sensor_.skipTail) runBuilt([&](ProgramBuffer& b) { sensor_.skipTail(b, context_); });
  reapplyExposure(exposureUs, speed);
}

void SensorSequencer::setExposure(uint32_t timeUs, uint16_t speed) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  runBuilt([&](ProgramBuffer& b) {
    sensor_.exposureProgram(b, state_, context_, spec_.clampExposure(timeUs), speed);
  });
}

void SensorSequencer::setGain(uint16_t percent) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  runBuilt([&](ProgramBuffer& b) { sensor_.gainProgram(b, percent); });
}

HRESULT SensorSequencer::reinitialise(uint16_t speed, uint32_t exposureUs,
                                      std::optional<uint16_t> gain) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  program_.run(std::array{Wait(kDeviceEventSettleMs)});
  const HRESULT hr = start(sensor_.windowAtReinit);
  if (FAILED(hr)) return hr;
  setSpeed(speed, exposureUs);
  if (gain && handOver_)
    handOver_->reapplyGain(*gain);
  else if (gain)
    setGain(*gain);
  return S_OK;
}

void SensorSequencer::stop() {
  program_.run(sensor_.stopProgram());
}

void SensorSequencer::setModelWindow(const ModelWindow& window) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  context_.window = window;
}

ModelWindow SensorSequencer::modelWindow() {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  return context_.window;
}

void SensorSequencer::writeLineLength(uint16_t speed) {
  if (!sensor_.lineClock) return;
  state_.lineClock = sensor_.lineClock(context_, speed);
  runBuilt([&](ProgramBuffer& b) { sensor_.lineLengthWrite(b, state_, state_.lineClock); });
}

void SensorSequencer::reapplyExposure(uint32_t exposureUs, uint16_t speed) {
  if (handOver_)
    handOver_->reapplyExposure();
  else
    setExposure(exposureUs, speed);
}
