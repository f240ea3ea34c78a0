// The capture source filter: one opened camera, its "Preview" and "~Still" pins, and the start
// and stop of the camera for the pins' streaming threads.
#include "dshow/filter/cdcm.h"

#include <algorithm>
#include <new>

#include "core/model_catalogue.h"
#include "dshow/base/cautolock.h"
#include "dshow/filter/camera_provider.h"
#include "dshow/filter/shared_filter.h"
#include "dshow/filter/streaming_claims.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "dshow/pins/media_numbers.h"
#include "pages/page_class_ids.h"
#include "platform/clock.h"

namespace {

// The shared filter handed to the class factory already holds the factory's reference, taken
// under the shared lock; the factory's own AddRef, which follows on this thread, is absorbed.
thread_local CDcm* t_factoryReference = nullptr;

// HRESULT_FROM_WIN32(ERROR_BUSY): another filter of this process streams from the device.
constexpr HRESULT kCameraInUse = static_cast<HRESULT>(0x800700AA);

}  // namespace

CUnknown* WINAPI CDcm::CreateInstance(IUnknown* outer, HRESULT* phr) {
  if (phr) *phr = S_OK;
  try {
    // An aggregated filter belongs to its outer object and cannot be shared.
    const bool sharing = SharedFilter::enabled() && !outer;
    CDcm* filter = sharing ? SharedFilter::acquire(0) : nullptr;
    if (!filter) {
      HRESULT hr = S_OK;
      filter = new (std::nothrow) CDcm(reinterpret_cast<UINT_PTR>(outer), &hr);
      if (phr) *phr = filter ? hr : E_OUTOFMEMORY;
      if (!filter || FAILED(hr) || !sharing) return filter;
      filter->NonDelegatingAddRef();
      SharedFilter::remember(filter);
    }
    t_factoryReference = filter;
    return filter;
  } catch (...) {
    if (phr) *phr = E_OUTOFMEMORY;
    return nullptr;
  }
}

IUnknown* CDcm::OpenForCaller(uint32_t index) {
  try {
    const bool sharing = SharedFilter::enabled();
    if (index >= kCameraIndexLimit) return nullptr;
    CDcm* filter = sharing ? SharedFilter::acquire(index) : nullptr;
    if (!filter) {
      HRESULT hr = S_OK;
      filter = new (std::nothrow) CDcm(index, &hr);
      if (!filter) return nullptr;
      if (FAILED(hr)) {
        delete filter;
        return nullptr;
      }
      filter->NonDelegatingAddRef();
      if (sharing) SharedFilter::remember(filter);
    }
    return filter->nonDelegatingUnknown();
  } catch (...) {
    return nullptr;
  }
}

CDcm::CDcm(UINT_PTR argument, HRESULT* phr)
    : CSource(L"Zerithal",
              argument < kCameraIndexLimit ? nullptr : reinterpret_cast<IUnknown*>(argument),
              CLSID_Zerithal, phr),
      index_(argument < kCameraIndexLimit ? static_cast<uint32_t>(argument) : 0) {
  if (!openCamera()) {
    if (phr) *phr = E_UNEXPECTED;
    return;
  }
  lumorix()->put_VignetteEnable(0);
  createPins(phr);
}

CDcm::~CDcm() {
  destroyed_ = true;
  // Each pin ends its worker first, and the last one stops the camera.
  delete preview_;
  delete still_;
  camera_.reset();
  CAutoLock guard(&SharedFilter::lock());
  SharedFilter::forgetLocked(this);
}

bool CDcm::openCamera() {
  CameraDeviceRecord records[kMaxCameraRecords] = {};
  CameraProvider& provider = ActiveCameraProvider();
  const uint32_t count = std::min(provider.enumerate(records), kMaxCameraRecords);
  if (index_ >= count) return false;
  const CameraDeviceRecord& record = records[index_];
  WCHAR16 id[1 + kCameraIdChars] = {L'!'};
  for (size_t i = 0; i + 1 < kCameraIdChars && record.id[i]; ++i) {
    id[1 + i] = record.id[i];
    deviceId_[i] = record.id[i];
  }
  camera_ = id[1] ? provider.open(id) : provider.openFirst(L'!');
  if (!camera_) return false;
  const ModelInfoV1* model = record.model.infoV1;
  if (model && model->displayName &&
      !WideCharToMultiByte(CP_ACP, 0, model->displayName, -1, displayName_, sizeof(displayName_),
                           nullptr, nullptr)) {
    displayName_[0] = '\0';
  }
  return true;
}

void CDcm::createPins(HRESULT* phr) {
  preview_ = new (std::nothrow) CPushPinDcm(phr, this);
  ILumorixStillImage* still = CameraCompanion<ILumorixStillImage>(lumorix());
  const bool stills = still && still->get_StillResolutionNumber() >= 1;
  if (stills) still_ = new (std::nothrow) CStillPinDcm(phr, this);
  if (phr && (!preview_ || (stills && !still_))) *phr = E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CDcm::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (destroyed_) {
    *ppv = nullptr;
    return E_UNEXPECTED;
  }
  const auto hand = [&](auto* face) { return GetInterface(face, ppv); };
  if (riid == IID_ILumorix) return hand(static_cast<ILumorix*>(this));
  if (riid == IID_ILumorixStillImage) return hand(static_cast<ILumorixStillImage*>(this));
  if (riid == IID_ILumorixInternal) return hand(static_cast<ILumorixInternal*>(this));
  if (riid == IID_ILumorixSerialNumber) return hand(static_cast<ILumorixSerialNumber*>(this));
  if (riid == IID_ISpecifyPropertyPages) return hand(static_cast<ISpecifyPropertyPages*>(this));
  if (riid == IID_IAMFilterMiscFlags) return hand(static_cast<IAMFilterMiscFlags*>(this));
  if (riid == IID_IAMVideoControl) return hand(static_cast<IAMVideoControl*>(this));
  if (riid == IID_IAMVideoProcAmp) return hand(static_cast<IAMVideoProcAmp*>(this));
  if (riid == IID_IVideoProcAmp) return hand(static_cast<IVideoProcAmp*>(this));
  if (riid == IID_ILumorixPreset) return hand(static_cast<ILumorixPreset*>(this));
  if (riid == IID_ICameraControl) return hand(static_cast<ICameraControl*>(this));
  if (riid == IID_IAMCameraControl) return hand(static_cast<IAMCameraControl*>(this));
  if (riid == IID_ILumorixVersion) return hand(static_cast<ILumorixVersion*>(this));
  if (riid == IID_ILumorixST4) return hand(static_cast<ILumorixST4*>(this));
  if (riid == IID_ILumorixIndex) return hand(static_cast<ILumorixIndex*>(this));
  if (riid == IID_ILumorixInternalInternal) {
    return hand(static_cast<ILumorixInternalInternal*>(this));
  }
  return CSource::NonDelegatingQueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CDcm::NonDelegatingAddRef() {
  if (t_factoryReference == this) {
    t_factoryReference = nullptr;
    return static_cast<ULONG>(m_cRef.load());
  }
  if (destroyed_) return 0;
  return CSource::NonDelegatingAddRef();
}

ULONG STDMETHODCALLTYPE CDcm::NonDelegatingRelease() {
  if (destroyed_) return 0;
  LONG left;
  {
    CAutoLock guard(&SharedFilter::lock());
    left = --m_cRef;
    if (left == 0) SharedFilter::forgetLocked(this);
  }
  if (left != 0) return static_cast<ULONG>(left);
  m_cRef = 1;  // a release made during destruction must not delete twice
  delete this;
  return 0;
}

HRESULT STDMETHODCALLTYPE CDcm::GetState(DWORD timeoutMs, FILTER_STATE* state) {
  const HRESULT hr = CSource::GetState(timeoutMs, state);
  if (FAILED(hr)) return hr;
  return *state == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

HRESULT STDMETHODCALLTYPE CDcm::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  ILumorix* camera = lumorix();
  if (!camera) return E_UNEXPECTED;
  uint32_t value = 0;
  int32_t option = 0;
  PageQuery query{};
  query.colour = camera->get_IsColor() != 0;
  query.lightFrequency = camera->get_LightFrequency(&value);
  query.skip = camera->get_Skip(&value);
  query.maxBitDepth = camera->get_MaxBitDepth();
  query.fanSpeed = camera->get_FanSpeed(nullptr);
  query.tec = camera->get_Tec(nullptr);
  query.conversionGain = camera->get_Option(25, &option);
  FilterPage chosen[kMaxFilterPages];
  const size_t count = chooseFilterPages(query, chosen);
  const CLSID* ids[kMaxFilterPages] = {};
  for (size_t i = 0; i < count; ++i) ids[i] = FilterPageClassId(chosen[i]);
  return FillPageList(pages, ids, count);
}

HRESULT CDcm::startForPinThread() {
  if (!camera_) return S_OK;
  CAutoLock lock(&filterLock_);
  if (++threadCount_ > 1) return S_OK;
  // The count stays up on failure: the worker's thread end takes it back. Another filter of this
  // process streaming from the same device keeps it: starting again would end that stream.
  if (deviceId_[0] && !streaming_claims::Claim(deviceId_)) return kCameraInUse;
  claimed_ = deviceId_[0] != 0;
  if (FAILED(camera_->start())) return E_FAIL;
  streamTime_ = 0;
  lastTick_ = platform::TickCountMs();
  return S_OK;
}

void CDcm::stopForPinThread() {
  if (!camera_) return;
  CAutoLock lock(&filterLock_);
  if (threadCount_ == 0) return;
  if (--threadCount_ != 0) return;
  camera_->stop();
  if (claimed_) streaming_claims::Release(deviceId_);
  claimed_ = false;
}

void CDcm::nextSampleTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  const media::SampleStep step = media::sampleStep(lastTick_, platform::TickCountMs());
  *start = streamTime_;
  streamTime_ += step.length;
  lastTick_ = step.clockTickMs;
  *stop = streamTime_;
}
