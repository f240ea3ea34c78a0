// BaseImpl's model-independent interface bodies and the frame operations it hands to the helper.
#include "core/base_impl.h"
#include "base/lumorix_flags.h"

uint32_t STDMETHODCALLTYPE BaseImpl::get_MaxSpeed() {
  return model_ ? model_->maxSpeed : 0;
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_ResolutionNumber() {
  return previewCount();
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_RealTime(uint32_t* mode) {
  if (mode == nullptr) return E_POINTER;
  *mode = realTime_.load();
  return S_OK;
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_StillResolutionNumber() {
  return stillCount();
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_NoFrameState() {
  return noFrameState_.load();
}

HRESULT BaseImpl::put_Pause(int32_t pause) {
  pause_ = static_cast<uint32_t>(pause != 0 ? PauseState::Paused : PauseState::ResumeRequested);
  return S_OK;
}

// No model acts on option 3; both directions answer S_FALSE, the reading one with 0.
HRESULT BaseImpl::OnOption3(int32_t) {
  return S_FALSE;
}

HRESULT BaseImpl::OnOption3Get(int32_t* value) {
  if (value == nullptr) return E_POINTER;
  *value = 0;
  return S_FALSE;
}

HRESULT BaseImpl::put_ModelWindow(int32_t, int32_t, int32_t) {
  return E_NOTIMPL;
}

HRESULT BaseImpl::get_ModelWindow(uint32_t*, uint32_t*, uint32_t*) {
  return E_NOTIMPL;
}

HRESULT BaseImpl::put_RawDataCallback(LumorixRawDataCallback callback, void* context) {
  rawDataNotify_.set(callback, context);
  return S_OK;
}

// The slot takes the pair first and the pipeline its trampoline after: a frame between the two
// calls the new pair, or finds none and converts by itself; never a cleared one.
HRESULT BaseImpl::put_HistogramCallback(PL_HistogramCallback callback, void* context) {
  if (frames_ == nullptr) return E_UNEXPECTED;
  histogramHook_.set(callback, context);
  frames_->SetHistogramCallback(callback ? histogramThroughSlot : nullptr, this);
  return S_OK;
}

HRESULT BaseImpl::put_DemosaicCallback(PL_DemosaicCallback callback, void* context) {
  if (frames_ == nullptr) return E_UNEXPECTED;
  demosaicHook_.set(callback, context);
  frames_->SetDemosaicCallback(callback ? demosaicThroughSlot : nullptr, this);
  return S_OK;
}

bool BaseImpl::demosaicThroughSlot(uint32_t fourcc, int32_t width, int32_t height, const void* raw,
                                   void* out, uint8_t bitDepth, void* camera) {
  return static_cast<BaseImpl*>(camera)->demosaicHook_.callHeld([] {}, fourcc, width, height, raw,
                                                                out, bitDepth);
}

void BaseImpl::histogramThroughSlot(const uint32_t* counts, uint32_t bits, void* camera) {
  static_cast<BaseImpl*>(camera)->histogramHook_.callHeld([] {}, counts, bits);
}

void BaseImpl::statsThroughSlot(const float* luma, const float* red, const float* green,
                                const float* blue, void* camera) {
  static_cast<BaseImpl*>(camera)->statsNotify_.callHeld([] {}, luma, red, green, blue);
}

HRESULT BaseImpl::put_FrameRateEnable(int32_t bypass) {
  frameRate_.setBypass(bypass != 0);
  return S_OK;
}

int32_t BaseImpl::RawQuickDemosaic(uint8_t* frame, uint32_t width, uint32_t height,
                                   uint8_t pixelFormat) {
  if (frames_ == nullptr) return E_UNEXPECTED;
  return frames_->QuickRawToRgb(frame, width, height, pixelFormat);
}

// High-bit formats go to the 16-bit drivers only when the model delivers high-bit samples;
// everything else, including a high-bit format on an 8-bit model, takes the 8-bit dispatch.
HRESULT BaseImpl::RawToRgb24(const uint8_t* raw, uint32_t pixelFormat, uint8_t* output,
                             void* auxiliary, const RECT* roi, uint32_t binning,
                             uint32_t outputMode) {
  if (frames_ == nullptr) return E_UNEXPECTED;
  const FrameConvertRequest request{raw, pixelFormat, output, auxiliary, roi, binning, outputMode};
  const uint64_t flags = modelFlags();
  if (IsHighBitFormat(pixelFormat) && (flags & LUMORIX_FLAG_HIGHBIT_MASK) != 0)
    return (flags & LUMORIX_FLAG_MONO) ? frames_->PL_ProcessMono16(request)
                                       : frames_->PL_ProcessRaw16(request);
  return frames_->PL_ProcessFrame8(request);
}

StillResult* BaseImpl::GrabStill(StillResult* result, uint8_t* output, uint8_t* rawCopy,
                                 uint8_t outputBits, platform::Event* stopEvent,
                                 uint32_t frameWidth, uint32_t frameHeight, uint32_t processWidth,
                                 uint32_t processHeight, uint32_t resolutionIndex) {
  if (frames_ == nullptr) return nullptr;
  return frames_->GrabStillFrame(result, output, rawCopy, outputBits, stopEvent, frameWidth,
                                 frameHeight, processWidth, processHeight, resolutionIndex);
}

int32_t BaseImpl::FindResolutionIndex(uint32_t width, uint32_t height) const {
  return ::FindResolutionIndex(previewTable_, previewCount(), width, height);
}
