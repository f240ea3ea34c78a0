// The region of interest: checked against the preview size, kept by the transport, taken by the
// grabber at its next frame.
#include "base/trace.h"
#include "core/base_impl.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_setters.h"
#include "pipeline/pl_start.h"
#include "usb/cusb.h"

namespace {

constexpr uint32_t kMinRoiSide = 16;

bool isEmpty(const SensorRect& r) {
  return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

// x, y, w, h all zero (with h zero) or (0, 0, W, H) mean the whole frame; else a region that lies
// inside it with sides of at least kMinRoiSide, every value even.
bool validRoi(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t frameW, uint32_t frameH) {
  if ((x | y | w | h) & 1u) return false;
  if (x == 0 && y == 0 && w == 0) return h == 0;
  if (w < kMinRoiSide || h < kMinRoiSide) return false;
  if (x >= frameW || y >= frameH || w > frameW || h > frameH) return false;
  return uint64_t{x} + w <= frameW && uint64_t{y} + h <= frameH;
}

}  // namespace

// The model's stills are taken at another size than its preview: a region means nothing there.
bool BaseImpl::stillSizeDiffers() const {
  if (stillCount() == 0 || stillTable_ == nullptr || previewTable_ == nullptr) return false;
  const uint32_t index = previewIndex_.load();
  return stillTable_[index].width != previewTable_[index].width ||
         stillTable_[index].height != previewTable_[index].height;
}

bool BaseImpl::upsideDown() const {
  return helper_ != nullptr && helper_->rowOrder != 0;
}

// Never waits for the grabber: in trigger mode only the host's next trigger would let it take the
// region, so the next grab applies it whatever the mode.
HRESULT STDMETHODCALLTYPE BaseImpl::put_Roi(uint32_t x, uint32_t y, uint32_t width,
                                            uint32_t height) {
  ZX_TRACE("%s: %u, %u, %u, %u", "put_Roi", x, y, width, height);
  if (stillSizeDiffers()) return E_NOTIMPL;
  if (transport_ == nullptr || previewTable_ == nullptr) return E_UNEXPECTED;
  const ResolutionEntry& frame = previewTable_[previewIndex_.load()];
  if (!validRoi(x, y, width, height, frame.width, frame.height)) return E_INVALIDARG;
  SensorRect roi{};
  const bool whole =
      width == 0 || (x == 0 && y == 0 && width == frame.width && height == frame.height);
  if (!whole) {
    roi = SensorRect{x, y, x + width, y + height};
    if (upsideDown()) roi.top = frame.height - y - height, roi.bottom = frame.height - y;
  }
  if (!hasRegistryKey_ && onCameraThread()) return kWrongThread;
  if (!transport_->requestRoi(roi)) return S_OK;
  transport_->OnRoiChange();
  if (helper_) {
    PL_SetDfcStatus(*helper_, kCalibrationDiscard);
    PL_SetFfcStatus(*helper_, kCalibrationDiscard);
  }
  if (hasRegistryKey_) {
    if (helper_) SyncIspRects(*helper_);
    return S_OK;
  }
  return started_.load() ? RestartStream(false, true, [] {}) : S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Roi(uint32_t* x, uint32_t* y, uint32_t* width,
                                            uint32_t* height) {
  if (stillSizeDiffers()) return E_NOTIMPL;
  if (transport_ == nullptr || previewTable_ == nullptr) return E_UNEXPECTED;
  const ResolutionEntry& frame = previewTable_[previewIndex_.load()];
  SensorRect roi = transport_->requestedRoi();
  if (isEmpty(roi))
    roi = SensorRect{0, 0, frame.width, frame.height};
  else if (upsideDown())
    roi = SensorRect{roi.left, frame.height - roi.bottom, roi.right, frame.height - roi.top};
  if (x) *x = roi.left;
  if (y) *y = roi.top;
  if (width) *width = roi.right - roi.left;
  if (height) *height = roi.bottom - roi.top;
  return S_OK;
}
