// A camera double for the filter's tests: resolutions, sizes, start and stop, frames on demand.
#include "tests/dshow/filter/camera_double.h"

#include <cstdio>
#include <cstring>

#include "core/lumorix_options.h"
#include "dshow/pins/media_numbers.h"

CameraDouble::CameraDouble(const CameraSetup& setup, std::shared_ptr<CameraLog> log)
    : setup_(setup), log_(std::move(log)), values_(log_->values) {
  degrees = setup.turned ? 90 : 0;
  ++log_->alive;
}

CameraDouble::~CameraDouble() {
  --log_->alive;
}

HRESULT STDMETHODCALLTYPE CameraDouble::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_ILumorix) *object = static_cast<ILumorix*>(this);
  if (riid == IID_ILumorixStillImage) *object = static_cast<ILumorixStillImage*>(this);
  if (riid == IID_ILumorixInternal) *object = static_cast<ILumorixInternal*>(this);
  if (riid == IID_ILumorixPreset) *object = static_cast<ILumorixPreset*>(this);
  if (riid == IID_ILumorixInternalInternal) *object = static_cast<ILumorixInternalInternal*>(this);
  return *object ? S_OK : E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CameraDouble::get_BitDepth(uint32_t* high) {
  *high = highDepth;
  return S_OK;
}

void CameraDouble::change() {
  const int pulls = log_->pulls.load();
  const int snaps = log_->snaps.load();
  if (log_->onChange) log_->onChange();
  Sleep(setup_.bitDepthMs);
  if (log_->onChangeEnd) log_->onChangeEnd();
  log_->pullsDuringChange += log_->pulls.load() - pulls;
  log_->snapsDuringChange += log_->snaps.load() - snaps;
}

HRESULT STDMETHODCALLTYPE CameraDouble::put_BitDepth(int32_t high) {
  ++log_->bitDepthCalls;
  change();
  if (SUCCEEDED(setup_.bitDepthResult)) highDepth = high != 0;
  return setup_.bitDepthResult;
}

HRESULT STDMETHODCALLTYPE CameraDouble::LoadPreset(uint32_t index) {
  ++log_->presetLoads;
  change();
  return LoadPresetValues(*values_, index);
}

HRESULT STDMETHODCALLTYPE CameraDouble::put_Option(uint32_t code, int32_t value) {
  const HRESULT answer = values_->record("put_Option", {code, value});
  if (answer != S_OK) return answer;
  if (code != LUMORIX_OPTION_ROTATE) {
    values_->options[code] = value;
    return S_OK;
  }
  if (value != 0 && value != 90 && value != 180 && value != 270) return E_INVALIDARG;
  degrees = value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CameraDouble::get_Option(uint32_t code, int32_t* value) {
  const HRESULT answer = values_->record("get_Option", {code});
  if (answer != S_OK) return answer;
  if (!value) return E_POINTER;
  if (code != LUMORIX_OPTION_ROTATE) {
    auto it = values_->options.find(code);
    if (it == values_->options.end()) return E_NOTIMPL;
    *value = it->second;
    return S_OK;
  }
  *value = degrees;
  return S_OK;
}

HRESULT CameraDouble::start() {
  if (streaming_) return E_UNEXPECTED;
  ++log_->starts;
  if (FAILED(setup_.startResult)) return setup_.startResult;
  streaming_ = true;
  if (setup_.exposureAtStart) raiseExposure();
  return S_OK;
}

HRESULT CameraDouble::stop() {
  ++log_->stops;
  streaming_ = false;
  if (setup_.exposureAtStop) raiseExposure();
  return S_OK;
}

HRESULT CameraDouble::PullFrameForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) {
  ++log_->pulls;
  uint32_t seen = log_->largestPullSize.load();
  while (size > seen && !log_->largestPullSize.compare_exchange_weak(seen, size)) {
  }
  // About 200 frames a second, and a command ends the wait at once, as the camera's does.
  const DWORD wait = setup_.noFrames ? 10000 : 5;
  if (WaitForSingleObject(cancelEvent, wait) == WAIT_OBJECT_0 || setup_.noFrames) return S_FALSE;
  if (setup_.pullResult != S_OK) return setup_.pullResult;
  int32_t w = 0;
  int32_t h = 0;
  get_FinalSize(&w, &h);
  const uint32_t bytes = setup_.frameBytes ? setup_.frameBytes : media::rgb24ImageSize(w, h);
  if (bytes > size) return E_FAIL;  // the camera's own check
  std::memset(buffer, 0x5A, bytes);
  return S_OK;
}

HRESULT CameraDouble::SnapForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) {
  if (!streaming_) return E_FAIL;
  ++log_->snaps;
  if (setup_.snapMs && WaitForSingleObject(cancelEvent, setup_.snapMs) == WAIT_OBJECT_0)
    return S_FALSE;
  if (setup_.snapResult != S_OK) return setup_.snapResult;
  int32_t w = 0;
  int32_t h = 0;
  get_StillSize(&w, &h);
  const uint32_t bytes = turned() ? media::rgb24ImageSize(h, w) : media::rgb24ImageSize(w, h);
  if (bytes > size) return E_FAIL;  // the camera's own check
  std::memset(buffer, 0x3C, bytes);
  return S_OK;
}

uint32_t CameraDouble::get_ResolutionNumber() {
  return uint32_t(setup_.sizes.size());
}

HRESULT CameraDouble::get_Resolution(uint32_t index, int32_t* w, int32_t* h) {
  if (index >= setup_.sizes.size()) return E_INVALIDARG;
  *w = setup_.sizes[index].cx;
  *h = setup_.sizes[index].cy;
  return S_OK;
}

HRESULT CameraDouble::get_eSize(uint32_t* index) {
  if (!index) return E_POINTER;
  if (const HRESULT answer = values_->record("get_eSize"); answer != S_OK) return answer;
  *index = previewIndex;
  return S_OK;
}

HRESULT CameraDouble::put_eSize(uint32_t index) {
  if (const HRESULT answer = values_->record("put_eSize", {index}); answer != S_OK) return answer;
  if (index >= setup_.sizes.size()) return E_INVALIDARG;
  if (setup_.refuseSelect || streaming_ || values_->streaming) return E_UNEXPECTED;
  previewIndex = index;
  return S_OK;
}

HRESULT CameraDouble::get_Size(int32_t* w, int32_t* h) {
  *w = setup_.sizes[0].cx;
  *h = setup_.sizes[0].cy;
  return S_OK;
}

HRESULT CameraDouble::put_Roi(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
  ++roiCalls;
  roi[0] = x;
  roi[1] = y;
  roi[2] = w;
  roi[3] = h;
  return S_OK;
}

HRESULT CameraDouble::get_Roi(uint32_t* x, uint32_t* y, uint32_t* w, uint32_t* h) {
  const SIZE size = setup_.sizes[previewIndex];
  if (x) *x = roi[2] ? roi[0] : 0;
  if (y) *y = roi[2] ? roi[1] : 0;
  if (w) *w = roi[2] ? roi[2] : uint32_t(size.cx);
  if (h) *h = roi[2] ? roi[3] : uint32_t(size.cy);
  return S_OK;
}

HRESULT CameraDouble::get_FinalSize(int32_t* w, int32_t* h) {
  if (!w || !h) return E_POINTER;
  const SIZE size = setup_.sizes[previewIndex];
  *w = turned() ? size.cy : size.cx;
  *h = turned() ? size.cx : size.cy;
  return S_OK;
}

HRESULT CameraDouble::get_StillResolution(uint32_t index, int32_t* w, int32_t* h) {
  if (index >= setup_.stills) return E_INVALIDARG;
  return get_Resolution(index, w, h);
}

HRESULT CameraDouble::get_eStillSize(uint32_t* index) {
  if (const HRESULT answer = values_->record("get_eStillSize"); answer != S_OK) return answer;
  if (setup_.stills == 0) return E_INVALIDARG;
  *index = stillIndex;
  return S_OK;
}

HRESULT CameraDouble::put_eStillSize(uint32_t index) {
  if (const HRESULT answer = values_->record("put_eStillSize", {index}); answer != S_OK)
    return answer;
  if (index >= setup_.stills) return E_INVALIDARG;
  if (setup_.refuseSelect || values_->streaming) return E_UNEXPECTED;
  stillIndex = index;
  return S_OK;
}

HRESULT CameraDouble::get_StillSize(int32_t* w, int32_t* h) {
  return get_Resolution(stillIndex, w, h);
}

DoubleProvider::DoubleProvider(std::vector<CameraSetup> cameras) : cameras_(std::move(cameras)) {
  model_.displayName = L"Double Camera";
  SetCameraProvider(this);
}

DoubleProvider::~DoubleProvider() {
  SetCameraProvider(nullptr);
}

uint32_t DoubleProvider::enumerate(CameraDeviceRecord (&records)[kMaxCameraRecords]) {
  uint32_t n = 0;
  for (; n < cameras_.size() && n < kMaxCameraRecords; ++n) {
    swprintf(records[n].id, kCameraIdChars, L"%u-%04x", n, 0x1000 + n);
    records[n].model.infoV1 = &model_;
  }
  return n;
}

std::unique_ptr<FilterCamera> DoubleProvider::open(const WCHAR16* id) {
  {
    std::lock_guard<std::mutex> guard(log->lock);
    log->openedIds.emplace_back(id);
  }
  unsigned index = 0;
  if (swscanf(id, L"!%u-", &index) != 1 || index >= cameras_.size()) return nullptr;
  auto camera = std::make_unique<CameraDouble>(cameras_[index], log);
  last = camera.get();
  return camera;
}

std::unique_ptr<FilterCamera> DoubleProvider::openFirst(WCHAR16) {
  return cameras_.empty() ? nullptr : std::make_unique<CameraDouble>(cameras_[0], log);
}

FilterWithDouble::FilterWithDouble(CameraSetup setup,
                                   const std::function<void(CameraValues&)>& prepare)
    : provider_({setup}) {
  if (prepare) prepare(values());
  HRESULT hr = S_OK;
  filter_ = new CDcm(0, &hr);
  filter_->NonDelegatingAddRef();
}

FilterWithDouble::~FilterWithDouble() {
  filter_->NonDelegatingRelease();
}
