// The sensor flows every CMOS model shares, built from its sensor driver and run as locked
// programs.
#include "models/common/sensor_sequencer.h"

#include <array>
#include <mutex>

namespace {
constexpr uint16_t kStillSettleMs = 5;
constexpr uint16_t kSwitchLeadMs = 10;
constexpr uint16_t kSwitchTailMs = 20;
}  // namespace

// Programs are built under the lock too: they read and update the line-length state.
void SensorSequencer::open(uint32_t index, uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  state_.resIndex = index;
  program_.run(sensor_.startProgram());
  program_.run(sensor_.windowProgram(index));
  writeLineLength(index);
  setSpeed(speed, exposureUs);
}

void SensorSequencer::switchResolution(uint32_t index, bool still, uint16_t speed,
                                       std::optional<uint32_t> exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  if (index == state_.resIndex) return;
  program_.run(std::array{Wait(kSwitchLeadMs)});
  state_.resIndex = index;
  writeLineLength(index);
  if (still) {
    ProgramBuffer slow;
    sensor_.speedProgram(slow, 0);
    slow.add(Wait(kStillSettleMs));
    program_.run(slow.steps());
    if (exposureUs) setExposure(*exposureUs, 0);
  } else {
    setSpeed(speed, exposureUs.value_or(spec_.exposureUs.def));
  }
  program_.run(sensor_.windowProgram(index));
  program_.run(std::array{Wait(kSwitchTailMs)});
}

void SensorSequencer::setSpeed(uint16_t speed, uint32_t exposureUs) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  ProgramBuffer steps;
  sensor_.speedProgram(steps, speed);
  program_.run(steps.steps());
  setExposure(exposureUs, speed);
}

void SensorSequencer::setExposure(uint32_t timeUs, uint16_t speed) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  ProgramBuffer steps;
  sensor_.exposureProgram(steps, state_, spec_.clampExposure(timeUs), speed);
  program_.run(steps.steps());
}

void SensorSequencer::setGain(uint16_t percent) {
  ProgramBuffer steps;
  sensor_.gainProgram(steps, percent);
  program_.run(steps.steps());
}

void SensorSequencer::reinitialise(uint16_t speed, uint32_t exposureUs,
                                   std::optional<uint16_t> gain) {
  std::lock_guard<platform::RecursiveLock> hold(program_.lock());
  program_.run(sensor_.deviceEventProgram());
  setSpeed(speed, exposureUs);
  if (gain) setGain(*gain);
}

void SensorSequencer::stop() {
  program_.run(sensor_.stopProgram());
}

void SensorSequencer::writeLineLength(uint32_t index) {
  state_.lineClock = 2 * sensor_.lineLength(index, usb3Link_);
  ProgramBuffer steps;
  sensor_.lineLengthWrite(steps, state_, state_.lineClock);
  program_.run(steps.steps());
}
