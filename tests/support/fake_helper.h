// A pipeline helper for tests: the device values are recorded, every other operation is inert.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/pl_helper_base.h"

class FakeHelper : public PLHlperBase {
 public:
  explicit FakeHelper(uint64_t flags, const WCHAR16* subKey = nullptr)
      : PLHlperBase(argsFor(flags, subKey)) {
    fanMaxSpeed = 3;
  }

  std::vector<std::string> writes;  // recorded device writes, in order
  HRESULT tecTargetResult = S_OK;
  bool trigger = false;

  int32_t PLHlperInit() override { return 0; }
  bool PLHlperIsTrigger() override { return trigger; }
  HRESULT PLHlperSetSpeed(uint16_t s, uint8_t) override {
    speed = s;
    return note("speed", s);
  }
  HRESULT PLHlperSetSkip(uint32_t s) override {
    skip = s;
    return note("skip", s);
  }
  HRESULT PLHlperSetExpoTime(uint32_t us) override { return note("time", us); }
  HRESULT PLHlperSetFan(uint16_t s) override { return note("fan", s); }
  HRESULT PLHlperSetTEC(uint32_t on) override { return note("tec", on); }
  HRESULT PLHlperSetTECTarget(int32_t t) override {
    note("target", t);
    return tecTargetResult;
  }

  int32_t PLHlperGrabFrame(FrameDescriptor*, uint32_t, uint32_t, const RoiRect*, platform::Event*,
                           bool) override {
    return 0;
  }
  bool PLHlperHasFlag40() override { return false; }
  bool PLHlperGetCalc2630() override { return false; }
  void PLHlperApplyRoi(FrameDescriptor*, platform::Event*) override {}
  void PLHlperSetBitDepth(uint8_t) override {}
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override { return out; }
  RoiRect* PLHlperGetRoi(RoiRect* out) override { return out; }
  HRESULT PLHlperSetLightFrequency(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetBlackLevel(uint16_t) override { return S_OK; }
  HRESULT PLHlperSetCG(uint32_t) override { return S_OK; }
  HRESULT PLHlperSetExpoAGain(uint16_t) override { return S_OK; }
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

 private:
  static PLHlperArgs argsFor(uint64_t flags, const WCHAR16* subKey) {
    PLHlperArgs args;
    args.subKey = subKey;
    args.modelFlags = flags;
    args.maxWidth = args.frameWidth = 2048;
    args.maxHeight = args.frameHeight = 1534;
    args.maxSpeed = 3;
    return args;
  }
  HRESULT note(const char* what, int64_t value) {
    writes.push_back(std::string(what) + " " + std::to_string(value));
    return S_OK;
  }
};
