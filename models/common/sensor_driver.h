// What a model needs from its sensor: the register programs and the exposure, gain and frame
// arithmetic.
#pragma once

#include <cstdint>
#include <span>

#include "models/common/register_program.h"

// The sensor's programmed state that programs read and update; guarded by the sensor lock.
struct SensorState {
  uint32_t resIndex = 0;
  uint32_t lineClock = 0;         // twice the line length in force
  uint32_t lineClockWritten = 0;  // the doubled line length last sent to the sensor
  bool frameTrailer = false;      // one byte follows every frame
};

// One per sensor, shared by every model class built on it.
struct SensorDriver {
  std::span<const RegStep> (*startProgram)();
  void (*speedProgram)(ProgramBuffer& out, uint16_t speed);
  std::span<const RegStep> (*windowProgram)(uint32_t index);
  std::span<const RegStep> (*stopProgram)();
  // The line length for a resolution on the USB3 link or on USB2.
  uint32_t (*lineLength)(uint32_t index, bool usb3Link);
  // The only writer of the line length: records what it sends in lineClockWritten.
  void (*lineLengthWrite)(ProgramBuffer& out, SensorState& state, uint32_t lineClock);
  void (*exposureProgram)(ProgramBuffer& out, SensorState& state, uint32_t timeUs, uint16_t speed);
  void (*gainProgram)(ProgramBuffer& out, uint16_t percent);
  uint32_t (*frameBytes)(uint32_t width, uint32_t height, uint16_t revision);
  // What follows a port reset after the device reported it lost its programming.
  std::span<const RegStep> (*deviceEventProgram)();
};
