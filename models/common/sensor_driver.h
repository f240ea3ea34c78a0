// What a model needs from its sensor: the register programs and the exposure and gain arithmetic.
// Entries marked optional are null when the sensor has no such step.
#pragma once

#include <cstdint>
#include <span>

#include "base/geometry.h"
#include "models/common/register_program.h"

// The 2 MP read-out window: an unreduced 800 x 600 at (x, y) instead of the whole frame reduced.
struct ModelWindow {
  bool on = false;
  uint32_t x = 0;
  uint32_t y = 0;
};

// What every program may depend on: the resolution, the skip setting and the opened device.
struct SensorContext {
  uint32_t index = 0;
  bool skip = false;             // sub-sampling instead of binning at the reduced sizes
  bool usb3Link = false;         // the USB3 registration (bit 6 of the opened record)
  uint16_t productId = 0;        // the opened device's
  uint16_t revision = 0;         // the opened device's bcdDevice
  bool alternative = false;      // the class's alternative id (ModelSpec::alternativeIdBase)
  bool keepsHalvedLine = false;  // a halved exposure's longer line stays the line in force
  ModelWindow window;            // applied at the next window program
};

// The sensor's programmed state that programs read and update; guarded by the sensor lock.
struct SensorState {
  uint32_t resIndex = 0;
  uint32_t lineClock = 0;         // the divisor of the exposure program
  uint32_t lineClockWritten = 0;  // that divisor as last sent to the sensor
  uint32_t clockIndex = 0;        // the resolution the start-up programmed the clock tree for
  uint32_t activeWidth = 0;       // the width of the window last programmed
  uint32_t lineBlank = 0;         // the horizontal blank last programmed
};

// The sensor's readiness poll before its start-up program: the first reply byte it waits for,
// the pause between reads and how long it waits in all.
struct ReadyWait {
  uint8_t readyByte;
  uint32_t pollMs;
  uint32_t limitMs;
  uint32_t quickPolls = 0;  // the first misses wait quickPollMs instead
  uint32_t quickPollMs = 0;
};

// The identity a sensor must answer (two reply bytes, high first) before it is programmed.
struct SensorIdentity {
  uint16_t expected;
};

// One per sensor, shared by every model class built on it.
struct SensorDriver {
  void (*startProgram)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  void (*speedProgram)(ProgramBuffer& out, const SensorContext& ctx, uint16_t speed) = nullptr;
  // The window of ctx.index, ending with streaming on.
  void (*windowProgram)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  std::span<const RegStep> (*stopProgram)() = nullptr;
  // Optional: the line clock (the exposure's divisor) at a resolution switch and speed.
  uint32_t (*lineClock)(const SensorContext& ctx, uint16_t speed) = nullptr;
  // Optional with lineClock: the only writer of the line length; records what it sends in
  // lineClockWritten.
  void (*lineLengthWrite)(ProgramBuffer& out, SensorState& state, uint32_t lineClock) = nullptr;
  void (*exposureProgram)(ProgramBuffer& out, SensorState& state, const SensorContext& ctx,
                          uint32_t timeUs, uint16_t speed) = nullptr;
  void (*gainProgram)(ProgramBuffer& out, uint16_t percent) = nullptr;
  // Optional: what an open sends before the ready wait and start-up.
  void (*openHead)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  // Optional: what follows the start-up, window and line length, before the speed.
  void (*startTail)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  // Optional: what follows the speed and exposure at an open.
  void (*openTail)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  // Optional: what follows the window program at a resolution switch.
  void (*switchTail)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  // Optional: around the window (and line length) when the skip setting changes.
  void (*skipHead)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  void (*skipTail)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
  // Optional: the readiness poll before the start-up program.
  const ReadyWait* readyWait = nullptr;
  // The pause after a still's slow clock.
  uint16_t stillSettleMs = 0;
  // Whether a re-initialisation programs the window and line length again.
  bool windowAtReinit = false;
  // Whether the line length follows the speed (written with it) rather than the resolution.
  bool lineBySpeed = false;
  // Optional: sensors whose read-out window follows the region of interest. The window that
  // serves a region in pixels of ctx.index (all zero stays all zero: the whole resolution).
  SensorRect (*alignWindow)(const SensorContext& ctx, const SensorRect& region) = nullptr;
  // With alignWindow: the window and its line timing at a speed, recording them in the state.
  void (*regionProgram)(ProgramBuffer& out, SensorState& state, const SensorContext& ctx,
                        uint16_t speed, const SensorRect& window) = nullptr;
  // Optional: a still's fixed window and line, in place of the preview's region.
  void (*stillProgram)(ProgramBuffer& out, SensorState& state, const SensorContext& ctx) = nullptr;
  // Optional: the read-out mode of a changed skip setting, written at once.
  void (*modeProgram)(ProgramBuffer& out, SensorState& state, const SensorContext& ctx) = nullptr;
  // Speed, skip and the return to preview only mark the region pending; the grabber's next
  // region step programs window, timing and exposure together.
  bool speedMarksRoiPending = false;
  // The open ends by programming the requested region (else the whole resolution's window).
  bool regionAtOpen = false;
  // Optional: the identity read before anything is written.
  const SensorIdentity* identity = nullptr;
  // With stillProgram: the still's exposure is handed over as the preview's is (its clock stays
  // the preview's), not programmed at the slowest clock.
  bool stillHandsOver = false;
  // Optional: what closes a still's window and exposure, before the switch tail.
  void (*stillTail)(ProgramBuffer& out, const SensorContext& ctx) = nullptr;
};
