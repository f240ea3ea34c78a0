// The helper's per-frame hooks: grab with AE, exposure hand-over, stills and frame conversion.
#pragma once

#include <cstdint>

#include "pipeline/frame_descriptor.h"
#include "pipeline/pl_helper_base.h"

// Grabs one frame, repairs its defects and runs one AE step; returns the grab result.
int32_t PL_AutoExposure(PLHlperBase& helper, FrameDescriptor* frame, platform::Event* stopEvent);

// The only paths by which time and gain reach the sensor; each holds the sensor lock around
// compare, update and program, and calls onExposureChanged after releasing it.
void ExpoProcTime(PLHlperBase& helper, uint8_t force);
void ExpoProcAGain(PLHlperBase& helper, uint16_t gain, uint8_t force);
void ExpoProcBoth(uint32_t timeUs, uint16_t gain, void* helper);
// The state's exposure time as ExpoProcTime would program it, and its gain; false without a state.
bool PL_CurrentExposureTime(PLHlperBase& helper, uint32_t* timeUs);
bool PL_CurrentGain(PLHlperBase& helper, uint16_t* gain);

StillResult* GrabStillFrame(PLHlperBase& helper, StillResult* result, uint8_t* output,
                            uint8_t* rawCopy, uint8_t outputBits, platform::Event* stopEvent,
                            uint32_t frameWidth, uint32_t frameHeight, uint32_t procWidth,
                            uint32_t procHeight, uint32_t resolutionIndex);
// Grey and packed 4:2:2 frames are not handled here yet: 0x80004001.
HRESULT PL_ProcessFrame8(PLHlperBase& helper, const FrameConvertRequest& request);
// Quick demosaic in place through quickBuffer; non-zero without work on other models.
int32_t QuickRawToRgb(PLHlperBase& helper, uint8_t* frame, uint32_t width, uint32_t height,
                      uint8_t pixelFormat);

// The frame services the camera object calls, on one helper.
class PLFrameHooks final : public HelperFrameServices {
 public:
  explicit PLFrameHooks(PLHlperBase& helper) : helper_(helper) {}
  StillResult* GrabStillFrame(StillResult* result, uint8_t* output, uint8_t* rawCopy,
                              uint8_t outputBits, platform::Event* stopEvent, uint32_t frameWidth,
                              uint32_t frameHeight, uint32_t processWidth, uint32_t processHeight,
                              uint32_t resolutionIndex) override;
  HRESULT PL_ProcessFrame8(const FrameConvertRequest& request) override;
  HRESULT PL_ProcessRaw16(const FrameConvertRequest& request) override;
  HRESULT PL_ProcessMono16(const FrameConvertRequest& request) override;
  int32_t QuickRawToRgb(uint8_t* frame, uint32_t width, uint32_t height,
                        uint8_t pixelFormat) override;
  void SetHistogramCallback(PL_HistogramCallback callback, void* context) override;
  void SetDemosaicCallback(PL_DemosaicHook callback, void* context) override;

 private:
  PLHlperBase& helper_;
};
