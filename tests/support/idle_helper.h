// A pipeline helper whose model operations all do nothing; fakes override the few they watch.
#pragma once

#include "pipeline/pl_helper_base.h"

class IdleHelper : public PLHlperBase {
 public:
  using PLHlperBase::PLHlperBase;

  int32_t PLHlperInit() override { return 1; }
  int32_t PLHlperGrabFrame(FrameDescriptor*, uint32_t, uint32_t, const SensorRect*,
                           platform::Event*, bool) override {
    return 0;
  }
  bool PLHlperHasFlag40() override { return false; }
  bool PLHlperGetCalc2630() override { return false; }
  void PLHlperApplyRoi(FrameDescriptor*, platform::Event*) override {}
  void PLHlperSetBitDepth(uint8_t) override {}
  bool PLHlperIsTrigger() override { return false; }
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override { return out; }
  SensorRect* PLHlperGetRoi(SensorRect* out) override { return out; }
  HRESULT PLHlperSetLightFrequency(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetSpeed(uint16_t, uint8_t) override { return S_OK; }
  HRESULT PLHlperSetSkip(uint32_t) override { return S_FALSE; }
  HRESULT PLHlperSetBlackLevel(uint16_t) override { return S_OK; }
  HRESULT PLHlperSetCG(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetExpoTime(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetExpoAGain(uint16_t) override { return S_OK; }
  HRESULT PLHlperSetFan(uint16_t) override { return S_OK; }
  HRESULT PLHlperSetTEC(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetTECTarget(int32_t) override { return S_OK; }
  void IspSetMatrix(const double*) override {}
  void IspSetWB(const int32_t*) override {}
  void IspSetBB(const uint16_t*) override {}
  void IspSetLut(const uint16_t*, uint32_t) override {}
  void IspSetAWBRect(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  void IspSetAERect(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  void IspSetABBRect(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  bool bIspHasABB() override { return false; }
  bool IspSetLutEx() override { return false; }
  void PLHlperSetPixelFormat(uint8_t) override {}
  void PLHlperGetOutputSize(uint32_t*, uint32_t*) override {}
  void IspEnWB(bool) override {}
  void IspEnMatrix(bool) override {}
  uint32_t bEEPROMRead(uint8_t*) override { return 0; }
  void PLHlperGetDefaultPreset(PresetRecord*) override {}
  uint8_t PLHlperGetBinning() override { return 1; }
  void PLHlperSetBinning(uint8_t) override {}
  int32_t PLHlperGetTecInfo(uint32_t, int32_t*) override { return 0; }
  void PLHlperGetValues38(uint32_t*, uint32_t*, uint32_t*) override {}
  HRESULT PLHlperGetFocusInfo(LumorixFocusInfo*) override { return E_NOTIMPL; }
  HRESULT SetBandwidth(uint32_t, bool) override { return S_OK; }
  HRESULT SetPreciseFrameRate(uint32_t) override { return S_OK; }
  uint32_t GetPreciseFrameRateMax() override { return 0; }
};
