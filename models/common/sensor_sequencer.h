// The sensor flows every CMOS model shares (open, resolution switch, speed, skip, exposure, gain,
// re-initialisation, stop), built from its sensor driver and run as locked programs.
#pragma once

#include <cstdint>
#include <optional>

#include "models/common/model_descriptor.h"
#include "models/common/register_program.h"
#include "platform/com_types.h"

// Who hands the exposure to the sensor after a program that changed its line or clock, and the
// gain after a re-initialisation: the pipeline's forced hand-overs, which trace them and raise the
// exposure notice. Called under the sensor lock: callers defer the notice past it.
class ExposureHandOver {
 public:
  virtual void reapplyExposure() = 0;
  virtual void reapplyGain(uint16_t percent) = 0;

 protected:
  ~ExposureHandOver() = default;
};

class SensorSequencer {
 public:
  SensorSequencer(RegisterProgram& program, const ModelSpec& spec, bool usb3Link)
      : program_(program), spec_(spec), sensor_(spec.sensor()) {
    context_.usb3Link = usb3Link;
    state_.lineClock = spec.presetLineClock;
    if (spec.presetLineWritten) state_.lineClockWritten = spec.presetLineClock;
  }

  // Without a hand-over the flows program the exposure (and gain) they are given.
  void attachHandOver(ExposureHandOver& handOver) { handOver_ = &handOver; }
  // The opened device, which the start-up programs may depend on.
  void identify(uint16_t productId, uint16_t revision);
  void setSkip(bool skip) { context_.skip = skip; }
  // The sensor variant the device reported at its open, for classes that ask it.
  void setAlternative(bool alternative);
  // Whether the window follows the region (the driver aligns and programs it).
  bool windowed() const { return sensor_.regionProgram != nullptr; }
  bool windowedAtOpen() const { return windowed() && sensor_.regionAtOpen; }
  bool speedMarksRoiPending() const { return sensor_.speedMarksRoiPending; }
  SensorRect alignWindow(const SensorRect& region);
  // The window (all zero: the whole resolution) with its timing, then the exposure for it.
  void programRegion(const SensorRect& window, uint16_t speed, uint32_t exposureUs);
  // A changed skip setting on a windowed sensor that programs its read-out mode at once.
  void switchMode(bool skip, uint16_t speed, uint32_t exposureUs);

  // Start-up, window and line length of the index, then the speed with its exposure.
  HRESULT open(uint32_t index, uint16_t speed, uint32_t exposureUs);
  // A still runs at the slowest clock without changing the stored speed; the exposure is
  // re-applied only when the caller has one (a pipeline state exists).
  void switchResolution(uint32_t index, bool still, uint16_t speed,
                        std::optional<uint32_t> exposureUs);
  void setSpeed(uint16_t speed, uint32_t exposureUs);
  // A changed skip setting: the window (and line length) again, then the exposure.
  void switchSkip(bool skip, uint16_t speed, uint32_t exposureUs);
  void setExposure(uint32_t timeUs, uint16_t speed);
  void setGain(uint16_t percent);
  // After a port reset: start-up program, speed, exposure and, when known, gain; no window.
  HRESULT reinitialise(uint16_t speed, uint32_t exposureUs, std::optional<uint16_t> gain);
  void stop();
  // The model window, stored for the next window program.
  void setModelWindow(const ModelWindow& window);
  ModelWindow modelWindow();

  const SensorState& state() const { return state_; }
  const SensorContext& context() const { return context_; }

 private:
  HRESULT start(bool window);
  HRESULT waitReady(const ReadyWait& wait);
  void switchWindowed(bool still, uint16_t speed, std::optional<uint32_t> exposureUs);
  HRESULT checkIdentity(const SensorIdentity& identity);
  void writeLineLength(uint16_t speed);
  // The exposure after a timing change: through the hand-over, else the time given.
  void reapplyExposure(uint32_t exposureUs, uint16_t speed);
  template <typename Fill>
  HRESULT runBuilt(Fill fill);

  RegisterProgram& program_;
  const ModelSpec& spec_;
  const SensorDriver& sensor_;
  SensorContext context_;
  SensorState state_;
  ExposureHandOver* handOver_ = nullptr;
};
