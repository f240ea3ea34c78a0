// The pipeline helper of a CMOS camera: the generic operations over its device part, and the
// model's own (open, grab, speed, exposure, gain, default preset) from its descriptor and sensor.
#pragma once

#include <optional>

#include "models/common/cmos_device.h"
#include "models/common/model_descriptor.h"
#include "models/common/sensor_sequencer.h"
#include "pipeline/pl_helper_base.h"

class CmosHelper final : public PLHlperBase {
 public:
  CmosHelper(const PLHlperArgs& args, const ModelSpec& spec, CmosDevice& device);

  // The sensor flows exist once the helper's lock does; they are attached right after.
  void attach(SensorSequencer& sequencer) { sequencer_ = &sequencer; }
  SensorSequencer& sequencer() { return *sequencer_; }
  CmosDevice& device() { return device_; }

  // The model's own operations.
  int32_t PLHlperInit() override;
  int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                           const SensorRect* window, platform::Event* stopEvent,
                           bool singleTry) override;
  HRESULT PLHlperSetSpeed(uint16_t speed, uint8_t force) override;
  HRESULT PLHlperSetExpoTime(uint32_t us) override;
  HRESULT PLHlperSetExpoAGain(uint16_t percent) override;
  void PLHlperGetDefaultPreset(PresetRecord* preset) override;

  // Generic operations: the device part's values and operations.
  bool PLHlperHasFlag40() override;
  bool PLHlperGetCalc2630() override { return device_.frameMode != 0; }
  void PLHlperApplyRoi(FrameDescriptor* frame, platform::Event* stopEvent) override;
  void PLHlperSetBitDepth(uint8_t) override {}
  bool PLHlperIsTrigger() override { return device_.triggerMode != 0; }
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override;
  SensorRect* PLHlperGetRoi(SensorRect* out) override;
  HRESULT PLHlperSetLightFrequency(uint32_t mode) override;
  HRESULT PLHlperSetSkip(uint32_t value) override;
  HRESULT PLHlperSetBlackLevel(uint16_t) override { return S_OK; }
  HRESULT PLHlperSetCG(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetFan(uint16_t) override { return S_OK; }
  HRESULT PLHlperSetTEC(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetTECTarget(int32_t) override { return S_OK; }
  void IspSetMatrix(const double matrix[9]) override { device_.IspSetMatrix(matrix); }
  void IspSetWB(const int32_t gains[3]) override { device_.IspSetWB(gains); }
  void IspSetBB(const uint16_t levels[3]) override { device_.IspSetBB(levels); }
  void IspSetLut(const uint16_t* table, uint32_t bits) override;
  void IspSetAWBRect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) override {
    device_.IspSetAWBRect(x, y, w, h);
  }
  void IspSetAERect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) override {
    device_.IspSetAERect(x, y, w, h);
  }
  void IspSetABBRect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) override {
    device_.IspSetABBRect(x, y, w, h);
  }
  bool bIspHasABB() override { return device_.bIspHasABB(); }
  bool IspSetLutEx() override { return device_.IspSetLutEx(); }
  void PLHlperSetPixelFormat(uint8_t) override {}
  void PLHlperGetOutputSize(uint32_t* width, uint32_t* height) override;
  void IspEnWB(bool on) override { device_.IspEnWB(on); }
  void IspEnMatrix(bool on) override { device_.IspEnMatrix(on); }
  uint32_t bEEPROMRead(uint8_t* buffer) override { return device_.bEEPROMRead(buffer); }
  uint8_t PLHlperGetBinning() override { return device_.binning; }
  void PLHlperSetBinning(uint8_t binning) override { device_.binning = binning; }
  int32_t PLHlperGetTecInfo(uint32_t, int32_t*) override { return 0; }
  void PLHlperGetValues38(uint32_t* a, uint32_t* b, uint32_t* c) override;
  HRESULT PLHlperGetFocusInfo(LumorixFocusInfo* info) override;
  HRESULT SetBandwidth(uint32_t percent, bool save) override {
    return device_.SetBandwidth(percent, save);
  }
  HRESULT SetPreciseFrameRate(uint32_t value) override {
    return device_.SetPreciseFrameRate(value);
  }
  uint32_t GetPreciseFrameRateMax() override { return device_.GetPreciseFrameRateMax(); }

  // The exposure the pipeline state asks for (the default without one), now marked applied.
  uint32_t takeExposureNow();
  // The state's gain, now marked applied; none without a state.
  std::optional<uint16_t> gainNow();

  // The bit width the device's look-up table takes, by the model's deepest raw format.
  static uint32_t LutBits(uint64_t modelFlags);

 private:
  // The transport opened the model's way; the caller closes it again on failure.
  HRESULT openDevice();
  HRESULT selectInterfaceOnce();

  const ModelSpec& spec_;
  CmosDevice& device_;
  SensorSequencer* sequencer_ = nullptr;
};
