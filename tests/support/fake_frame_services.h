// A pipeline helper's frame services that only record which driver a call reached.
#pragma once

#include <vector>

#include "pipeline/helper_model_hooks.h"

enum class FrameDriver { Frame8, Raw16, Mono16, QuickDemosaic, GrabStill };

class FakeFrameServices final : public HelperFrameServices {
 public:
  StillResult* GrabStillFrame(StillResult* result, uint8_t*, uint8_t*, uint8_t, platform::Event*,
                              uint32_t frameWidth, uint32_t, uint32_t, uint32_t,
                              uint32_t resolutionIndex) override {
    driven.push_back(FrameDriver::GrabStill);
    lastStill = {frameWidth, resolutionIndex};
    return result;
  }
  HRESULT PL_ProcessFrame8(const FrameConvertRequest& r) override {
    return note(FrameDriver::Frame8, r);
  }
  HRESULT PL_ProcessRaw16(const FrameConvertRequest& r) override {
    return note(FrameDriver::Raw16, r);
  }
  HRESULT PL_ProcessMono16(const FrameConvertRequest& r) override {
    return note(FrameDriver::Mono16, r);
  }
  int32_t QuickRawToRgb(uint8_t*, uint32_t, uint32_t, uint8_t) override {
    driven.push_back(FrameDriver::QuickDemosaic);
    return 7;
  }
  void SetHistogramCallback(PL_HistogramCallback callback, void* context) override {
    histogram = callback;
    histogramContext = context;
  }
  void SetDemosaicCallback(PL_DemosaicHook callback, void* context) override {
    demosaic = callback;
    demosaicContext = context;
  }

  std::vector<FrameDriver> driven;
  FrameConvertRequest lastRequest{};
  struct {
    uint32_t frameWidth, resolutionIndex;
  } lastStill{};
  PL_HistogramCallback histogram = nullptr;
  void* histogramContext = nullptr;
  PL_DemosaicHook demosaic = nullptr;
  void* demosaicContext = nullptr;

 private:
  HRESULT note(FrameDriver driver, const FrameConvertRequest& request) {
    driven.push_back(driver);
    lastRequest = request;
    return S_OK;
  }
};
