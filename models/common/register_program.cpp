// Sensor register programs as data, and the one executor that sends them to the camera.
#include "models/common/register_program.h"

#include <mutex>

#include "platform/wait_hook.h"

void ProgramBuffer::add(RegStep step) {
  // Programs are fixed by the sensor drivers; overflowing one is a driver bug caught in tests.
  if (size_ < kCapacity) steps_[size_++] = step;
}

void ProgramBuffer::add(std::span<const RegStep> steps) {
  for (const RegStep& step : steps) add(step);
}

HRESULT RegisterProgram::run(std::span<const RegStep> steps) {
  std::lock_guard<platform::RecursiveLock> hold(lock_);
  HRESULT result = S_OK;
  for (const RegStep& step : steps) {
    if (step.kind == RegStep::Kind::Wait) {
      platform::HookedSleepMs(step.value);
    } else if (step.kind == RegStep::Kind::Request) {
      result = writer_.request(static_cast<uint8_t>(step.reg), step.value);
    } else {
      (void)writer_.writeSensor(step.reg, step.value);
    }
  }
  return result;
}
