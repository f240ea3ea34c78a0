// Sensor register programs as data, and the one executor that sends them to the camera.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/com_types.h"
#include "platform/lock.h"

// One step of a program: a register write, a pause in milliseconds, or a vendor request with its
// value (the FPGA value, the system-init mode, the bridge clock code).
struct RegStep {
  enum class Kind : uint8_t { Write, Wait, Request };
  Kind kind;
  uint16_t reg;    // the request code for Request
  uint16_t value;  // the pause length for Wait

  friend constexpr bool operator==(const RegStep&, const RegStep&) = default;
};

constexpr RegStep Write(uint16_t reg, uint16_t value) {
  return {RegStep::Kind::Write, reg, value};
}
constexpr RegStep Wait(uint16_t ms) {
  return {RegStep::Kind::Wait, 0, ms};
}
constexpr RegStep Request(uint8_t request, uint16_t value) {
  return {RegStep::Kind::Request, request, value};
}
inline constexpr uint8_t kRequestSystemInit = 0x01;
inline constexpr uint8_t kRequestFpgaValue = 0x0D;
inline constexpr uint8_t kRequestResMode = 0x2F;  // the read-out size the bridge expects
// The USB2 bridge's pixel clock: a vendor OUT with the clock code as wIndex, no data.
inline constexpr uint8_t kRequestBridgeClock = 0x0A;
constexpr RegStep BridgeClock(uint16_t code) {
  return Request(kRequestBridgeClock, code);
}

// A program whose values are computed at run time; it fills a fixed buffer, never the heap.
class ProgramBuffer {
 public:
  static constexpr size_t kCapacity = 160;
  void add(RegStep step);
  void add(std::span<const RegStep> steps);
  std::span<const RegStep> steps() const { return {steps_.data(), size_}; }

 private:
  std::array<RegStep, kCapacity> steps_{};
  size_t size_ = 0;
};

// Where a program's writes go: the camera's sensor write with its class's request code.
class SensorWriter {
 public:
  virtual HRESULT writeSensor(uint16_t reg, uint16_t value) = 0;
  virtual HRESULT request(uint8_t request, uint16_t value) = 0;
  // The sensor's status read: the request's result, and in `got` the bytes it answered (0 on a
  // failed read).
  virtual HRESULT readSensor(uint8_t* reply, uint32_t length, uint32_t* got) = 0;

 protected:
  ~SensorWriter() = default;
};

// Runs programs to their end (write results are not checked, as the sensor expects), pausing
// through the hooked sleep and holding the sensor-programming lock so programs never interleave.
// A run answers the result of its last request step (S_OK without one).
class RegisterProgram {
 public:
  RegisterProgram(SensorWriter& writer, platform::RecursiveLock& lock)
      : writer_(writer), lock_(lock) {}

  HRESULT run(std::span<const RegStep> steps);
  HRESULT readSensor(uint8_t* reply, uint32_t length, uint32_t* got) {
    return writer_.readSensor(reply, length, got);
  }
  // For sequences of programs that must stay together; the lock is recursive.
  platform::RecursiveLock& lock() { return lock_; }

 private:
  SensorWriter& writer_;
  platform::RecursiveLock& lock_;
};
