// The pipeline helper operations every model shares over its device part: the transport's values
// and on-device colour steps, regions, the default preset and the applied exposure and gain.
#pragma once

#include <optional>

#include "models/common/model_descriptor.h"
#include "pipeline/pl_helper_base.h"
#include "usb/cusb.h"

class DeviceHelper : public PLHlperBase {
 public:
  DeviceHelper(const PLHlperArgs& args, const ModelSpec& spec, CUsb& device)
      : PLHlperBase(args), spec_(spec), device_(device) {}

  void PLHlperGetDefaultPreset(PresetRecord* preset) override;

  // Generic operations: the device part's values and operations.
  bool PLHlperGetCalc2630() override { return device_.frameMode != 0; }
  void PLHlperApplyRoi(FrameDescriptor* frame, platform::Event* stopEvent) override;
  void PLHlperSetBitDepth(uint8_t) override {}
  bool PLHlperIsTrigger() override { return device_.triggerMode != 0; }
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override;
  SensorRect* PLHlperGetRoi(SensorRect* out) override;
  HRESULT PLHlperSetLightFrequency(uint32_t mode) override;
  // No model here has a black level, conversion gain, fan or cooler on the device.
  HRESULT PLHlperSetBlackLevel(uint16_t) override { return E_NOTIMPL; }
  HRESULT PLHlperSetCG(uint32_t) override { return E_NOTIMPL; }
  HRESULT PLHlperSetFan(uint16_t) override { return E_NOTIMPL; }
  HRESULT PLHlperSetTEC(uint32_t) override { return E_NOTIMPL; }
  HRESULT PLHlperSetTECTarget(int32_t) override { return E_NOTIMPL; }
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
  // The state's exposure through the forced hand-over, traced and with its notice; without a
  // state the default is programmed first, so the sensor never runs with its power-on time.
  // Under the sensor lock the caller defers the notice past it.
  void handOverExposure();

  // The bit width the device's look-up table takes, by the model's deepest raw format.
  static uint32_t LutBits(uint64_t modelFlags);

 protected:
  const ModelSpec& spec_;

 private:
  CUsb& device_;
};
