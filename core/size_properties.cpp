// Size properties: the resolution tables, the preview and still indexes and the output size.
#include <algorithm>

#include "core/base_impl.h"
#include "core/stream/stream_pipeline.h"
#include "usb/cusb.h"

namespace {

template <class T>
HRESULT writePair(T* a, T* b, T va, T vb) {
  if (a) *a = va;
  if (b) *b = vb;
  return S_OK;
}

}  // namespace

HRESULT STDMETHODCALLTYPE BaseImpl::get_Resolution(uint32_t index, int32_t* width,
                                                   int32_t* height) {
  if (index >= previewCount()) return E_INVALIDARG;
  return writePair(width, height, static_cast<int32_t>(previewTable_[index].width),
                   static_cast<int32_t>(previewTable_[index].height));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ResolutionRatio(uint32_t index, int32_t* numerator,
                                                        int32_t* denominator) {
  if (index >= previewCount()) return E_INVALIDARG;
  return writePair(numerator, denominator,
                   static_cast<int32_t>(previewTable_[index].ratioNumerator),
                   static_cast<int32_t>(previewTable_[index].ratioDenominator));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_StillResolution(uint32_t index, int32_t* width,
                                                        int32_t* height) {
  if (index >= stillCount() || index >= previewCount()) return E_INVALIDARG;
  return get_Resolution(index, width, height);
}

// Through the virtual index and table readers, so a model's own ones decide.
HRESULT STDMETHODCALLTYPE BaseImpl::get_Size(int32_t* width, int32_t* height) {
  if (!width && !height) return E_POINTER;
  uint32_t index = 0;
  const HRESULT hr = get_eSize(&index);
  return FAILED(hr) ? hr : get_Resolution(index, width, height);
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Size(int32_t width, int32_t height) {
  const int32_t index =
      FindResolutionIndex(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (width < 0 || height < 0 || index < 0) return E_INVALIDARG;
  return put_eSize(static_cast<uint32_t>(index));  // a model's own body when it has one
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_eSize(uint32_t* index) {
  if (index == nullptr) return E_POINTER;
  *index = previewIndex_.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_eSize(uint32_t index) {
  if (index >= previewCount()) return E_INVALIDARG;
  if (started_.load() || hasThreads()) return E_UNEXPECTED;
  if (index == previewIndex_.load()) return S_OK;
  if (transport_) transport_->clearRoi();  // a region of the old size means nothing in the new
  previewIndex_ = index;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_StillSize(int32_t* width, int32_t* height) {
  if (stillCount() == 0) return E_INVALIDARG;
  const uint32_t index = stillIndex_.load();
  if (index >= previewCount()) return E_INVALIDARG;
  if (width) *width = static_cast<int32_t>(previewTable_[index].width);
  if (height) *height = static_cast<int32_t>(previewTable_[index].height);
  return width || height ? S_OK : E_POINTER;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_StillSize(int32_t width, int32_t height) {
  const int32_t index =
      FindResolutionIndex(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (width < 0 || height < 0 || index < 0) return E_INVALIDARG;
  return put_eStillSize(static_cast<uint32_t>(index));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_eStillSize(uint32_t* index) {
  if (stillCount() == 0) return E_INVALIDARG;
  if (index == nullptr) return E_POINTER;
  *index = stillIndex_.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_eStillSize(uint32_t index) {
  if (index >= stillCount()) return E_INVALIDARG;
  stillIndex_ = index;  // also while streaming: the next still uses it
  return S_OK;
}

// The size the next stream delivers: the region as set (get_Roi), not the one the grabber has
// applied so far, which a stopped camera takes only at its next start.
HRESULT STDMETHODCALLTYPE BaseImpl::get_FinalSize(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  const uint32_t index = previewIndex_.load();
  if (index >= previewCount()) return E_UNEXPECTED;
  uint32_t w = previewTable_[index].width;
  uint32_t h = previewTable_[index].height;
  uint32_t roiWidth = 0;
  uint32_t roiHeight = 0;
  if (SUCCEEDED(get_Roi(nullptr, nullptr, &roiWidth, &roiHeight)) && roiWidth && roiHeight) {
    w = roiWidth;
    h = roiHeight;
  }
  const uint32_t factor = transport_ ? std::max<uint32_t>(transport_->binning & 0x7F, 1) : 1;
  w = (w / factor) & ~1u;
  h = (h / factor) & ~1u;
  if (pipeline_ && pipeline_->shape().rotated90) std::swap(w, h);
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return S_OK;
}
