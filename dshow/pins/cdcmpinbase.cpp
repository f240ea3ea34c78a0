// What the preview and still pins share: RGB24 formats from the camera's resolutions, stream
// configuration, pin category, buffer sizing, and the camera start and stop.
#include "dshow/pins/cdcmpinbase.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "dshow/base/cautolock.h"
#include "dshow/base/mediatypes.h"
#include "dshow/base/pin_category.h"
#include "dshow/filter/cdcm.h"
#include "dshow/pins/media_numbers.h"
#include "dshow/pins/video_type.h"
#include "pages/page_class_ids.h"

namespace {

constexpr DWORD kWorkerAnswerMs = 5000;

uint32_t maxFps(ILumorix* camera, uint32_t index) {
  ILumorixInternal* internal = CameraCompanion<ILumorixInternal>(camera);
  return internal ? internal->get_MaxFrameRateOf(index) : 0;
}

void fillCaps(const VIDEOINFOHEADER& vih, uint32_t fps, BYTE* out) {
  VIDEO_STREAM_CONFIG_CAPS caps = {};
  const SIZE size = {vih.bmiHeader.biWidth, vih.bmiHeader.biHeight};
  const media::CapsNumbers numbers = media::capsNumbers(vih.bmiHeader.biSizeImage, fps);
  caps.guid = FORMAT_VideoInfo;
  // One fixed size per entry: a host choosing within the output range must find it there.
  caps.InputSize = caps.MinCroppingSize = caps.MaxCroppingSize = caps.MinOutputSize = size;
  caps.MaxOutputSize = size;
  caps.MinFrameInterval = numbers.minFrameInterval;
  caps.MaxFrameInterval = numbers.maxFrameInterval;
  caps.MinBitsPerSecond = numbers.minBitsPerSecond;
  caps.MaxBitsPerSecond = numbers.maxBitsPerSecond;
  std::memcpy(out, &caps, sizeof(caps));  // the caller's bytes need not be aligned
}

}  // namespace

CDcmPinBase::CDcmPinBase(const WCHAR* objectName, HRESULT* phr, CDcm* filter, const WCHAR* pinName)
    : CSourceStream(objectName, phr, filter, pinName) {}

CDcmPinBase::~CDcmPinBase() {
  ShutdownWorker();
}

CDcm* CDcmPinBase::filter() const {
  return static_cast<CDcm*>(m_pFilter);
}

template <class I>
I* CDcmPinBase::filterInterface() {
  return static_cast<I*>(filter());
}
template ILumorix* CDcmPinBase::filterInterface<ILumorix>();
template ILumorixStillImage* CDcmPinBase::filterInterface<ILumorixStillImage>();
template ILumorixSerialNumber* CDcmPinBase::filterInterface<ILumorixSerialNumber>();
template ILumorixInternal* CDcmPinBase::filterInterface<ILumorixInternal>();
template ILumorixVersion* CDcmPinBase::filterInterface<ILumorixVersion>();
template ILumorixST4* CDcmPinBase::filterInterface<ILumorixST4>();
template ILumorixIndex* CDcmPinBase::filterInterface<ILumorixIndex>();

// Only a running worker is held: a paused one delivers nothing already and must stay paused, and
// one whose stream ended must not be set delivering again by the release.
// A worker stuck in delivery (downstream blocks in Receive) has its pause withdrawn and counts
// as not held, so it goes on delivering when it wakes and the caller is not kept waiting.
// The hold lasts until the release, not only while the pause is answered: a run a host sends
// meanwhile is withheld by the worker itself, so the camera is never pulled during the change.
// Changes may overlap (a page's and a host's): the worker goes on when the last one ends.
bool CDcmPinBase::holdWorker() {
  {
    CAutoLock lock(&holdLock_);
    if (!ThreadExists() || filter()->State() != State_Running || StreamEnded()) return false;
    ++holds_;
    resumeOwed_ = true;
  }
  if (FAILED(static_cast<HRESULT>(CallWorkerWithin(CMD_PAUSE, kWorkerAnswerMs)))) {
    endHold();
    return false;
  }
  CAutoLock lock(&holdLock_);
  paused_ = true;
  return true;
}

void CDcmPinBase::releaseWorker() {
  endHold();
}

// Whether the worker is to run again is the holds' common answer, not the last one's: a hold
// whose pause went unanswered may end last while an overlapping one's pause holds the worker.
void CDcmPinBase::endHold() {
  bool run = false;
  {
    CAutoLock lock(&holdLock_);
    if (holds_ == 0 || --holds_ > 0) return;
    run = runWithheld_ || (paused_ && resumeOwed_);
    resumeOwed_ = runWithheld_ = paused_ = false;
  }
  if (run) CallWorkerWithin(CMD_RUN, kWorkerAnswerMs);
}

bool CDcmPinBase::RunWithheld() {
  CAutoLock lock(&holdLock_);
  if (holds_ > 0) runWithheld_ = true;
  return holds_ > 0;
}

// A stopped pin owes no run: a worker started later during the same hold must not be set
// running by its release unless a host runs it.
HRESULT CDcmPinBase::Inactive() {
  const HRESULT hr = CSourceStream::Inactive();
  CAutoLock lock(&holdLock_);
  resumeOwed_ = runWithheld_ = paused_ = false;
  return hr;
}

ILumorix* CDcmPinBase::camera() const {
  return filter()->lumorix();
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
  if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
  if (riid == IID_ISpecifyPropertyPages) {
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
  }
  const auto hand = [&](auto* face) { return GetInterface(face, ppv); };
  if (riid == IID_ILumorix) return hand(static_cast<ILumorix*>(this));
  if (riid == IID_ILumorixStillImage) return hand(static_cast<ILumorixStillImage*>(this));
  if (riid == IID_ILumorixSerialNumber) return hand(static_cast<ILumorixSerialNumber*>(this));
  if (riid == IID_ILumorixInternal) return hand(static_cast<ILumorixInternal*>(this));
  if (riid == IID_ILumorixVersion) return hand(static_cast<ILumorixVersion*>(this));
  if (riid == IID_ILumorixST4) return hand(static_cast<ILumorixST4*>(this));
  if (riid == IID_ILumorixIndex) return hand(static_cast<ILumorixIndex*>(this));
  if (riid == IID_IAMVideoProcAmp) return hand(static_cast<IAMVideoProcAmp*>(this));
  if (riid == IID_IVideoProcAmp) return hand(static_cast<IVideoProcAmp*>(this));
  if (riid == IID_ICameraControl) return hand(static_cast<ICameraControl*>(this));
  if (riid == IID_IAMCameraControl) return hand(static_cast<IAMCameraControl*>(this));
  return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CDcmPinBase::turnedResolution(uint32_t index, LONG* width, LONG* height) {
  int32_t w = 0;
  int32_t h = 0;
  const HRESULT hr = camera()->get_Resolution(index, &w, &h);
  if (FAILED(hr)) return hr;
  *width = w;
  *height = h;
  turnLikeThePicture(width, height);
  return S_OK;
}

HRESULT CDcmPinBase::turnedListSize(uint32_t index, LONG* width, LONG* height) {
  const HRESULT hr = listSize(index, width, height);
  if (SUCCEEDED(hr)) turnLikeThePicture(width, height);
  return hr;
}

void CDcmPinBase::turnLikeThePicture(LONG* width, LONG* height) {
  if (filter()->pictureTurned()) std::swap(*width, *height);
}

HRESULT CDcmPinBase::buildType(uint32_t index, bool live, CMediaType* mt) {
  CAutoLock lock(m_pFilter->pStateLock());
  ILumorix* cam = camera();
  LONG width = 0;
  LONG height = 0;
  HRESULT hr = turnedResolution(index, &width, &height);
  if (FAILED(hr)) return hr;
  uint32_t current = 0;
  LONG liveWidth = width;
  LONG liveHeight = height;
  if (live && SUCCEEDED(currentIndex(&current)) && current == index) {
    hr = currentSize(&liveWidth, &liveHeight);
    if (FAILED(hr)) return hr;
  }
  return FillRgb24Type(mt, liveWidth, liveHeight, maxFps(cam, index));
}

HRESULT CDcmPinBase::findListIndex(LONG width, LONG height, bool live, uint32_t* index) {
  const uint32_t count = listCount();
  if (count == 0) return E_INVALIDARG;
  uint32_t current = count;
  LONG liveWidth = 0;
  LONG liveHeight = 0;
  if (live && SUCCEEDED(currentIndex(&current)) && FAILED(currentSize(&liveWidth, &liveHeight))) {
    current = count;
  }
  for (uint32_t i = 0; i < count; ++i) {
    LONG w = liveWidth;
    LONG h = liveHeight;
    if (i != current && FAILED(turnedListSize(i, &w, &h))) continue;
    if (w == width && h == height) {
      *index = i;
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT CDcmPinBase::GetMediaType(int position, CMediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (formatFixed()) {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    uint32_t current = 0;
    const HRESULT hr = currentIndex(&current);
    return FAILED(hr) ? hr : buildType(current, liveSize(), mt);
  }
  if (static_cast<uint32_t>(position) >= camera()->get_ResolutionNumber()) {
    return VFW_S_NO_MORE_ITEMS;
  }
  return buildType(static_cast<uint32_t>(position), liveSize(), mt);
}

HRESULT CDcmPinBase::CheckMediaType(const CMediaType* mt) {
  if (!mt) return E_POINTER;
  const VIDEOINFOHEADER* vih = Rgb24VideoHeader(*mt);
  if (!vih) return E_INVALIDARG;
  LONG width = 0;
  LONG height = 0;
  const HRESULT hr = currentSize(&width, &height);
  if (FAILED(hr)) return hr;
  // Bottom-up and top-down rows alike.
  const int64_t rows = std::llabs(int64_t{vih->bmiHeader.biHeight});
  return (vih->bmiHeader.biWidth == width && rows == height) ? S_OK : E_INVALIDARG;
}

HRESULT CDcmPinBase::SetMediaType(const CMediaType* mt) {
  if (!mt) return E_POINTER;
  const VIDEOINFOHEADER* vih = VideoHeader(*mt);
  if (!vih) return E_UNEXPECTED;
  if (vih->bmiHeader.biBitCount != 24) return E_INVALIDARG;
  uint32_t current = 0;
  HRESULT hr = currentIndex(&current);
  if (FAILED(hr)) return hr;
  uint32_t found = 0;
  hr = findListIndex(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, liveSize(), &found);
  if (FAILED(hr)) return hr;
  if (found != current && formatFixed()) return E_INVALIDARG;
  if (found != current || isStill()) {
    // A camera that refuses (it streams for the other pin) must not leave the old size behind
    // a connection that claims the new one.
    hr = selectIndex(found);
    if (FAILED(hr)) return hr;
  }
  return CSourceStream::SetMediaType(mt);
}

HRESULT CDcmPinBase::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  // Sized by what the camera writes for the connected geometry, not by the peer's biSizeImage.
  const uint32_t frameBytes = Rgb24FrameBytes(m_mt);
  if (frameBytes == 0 || frameBytes > static_cast<uint32_t>(media::kMaxLong)) return E_UNEXPECTED;
  if (request->cBuffers == 0) request->cBuffers = defaultBufferCount();
  request->cbBuffer = static_cast<long>(frameBytes);
  ALLOCATOR_PROPERTIES actual = {};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  // Renderers and other downstream allocators may grant fewer buffers than asked: one full frame
  // is enough to stream. A buffer shorter than a frame is not.
  if (actual.cbBuffer < request->cbBuffer || actual.cBuffers < 1) return E_FAIL;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::SetFormat(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  const VIDEOINFOHEADER* vih = Rgb24VideoHeader(*mt);
  if (!vih) return E_INVALIDARG;
  CAutoLock lock(m_pFilter->pStateLock());
  uint32_t found = 0;
  HRESULT hr = findListIndex(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight, false, &found);
  if (FAILED(hr)) return hr;
  uint32_t current = 0;
  hr = currentIndex(&current);
  if (FAILED(hr)) return hr;
  if (IsConnected()) {
    if (!m_pFilter->IsStopped()) return VFW_E_WRONG_STATE;
    if (found != current) return VFW_E_ALREADY_CONNECTED;
  } else if (found != current) {
    hr = selectIndex(found);
    if (FAILED(hr)) return hr;  // the pin stays free to take another size
  }
  formatFixed() = true;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::GetFormat(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  uint32_t current = 0;
  HRESULT hr = currentIndex(&current);
  if (FAILED(hr)) return hr;
  if (current >= listCount()) return E_INVALIDARG;
  CMediaType type;
  hr = buildType(current, liveSize(), &type);
  if (FAILED(hr)) return hr;
  *mt = CreateMediaType(&type);
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::GetNumberOfCapabilities(int* count, int* size) {
  if (count) *count = static_cast<int>(camera()->get_ResolutionNumber());
  if (size) *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
  if (index < 0) return E_INVALIDARG;
  const uint32_t i = static_cast<uint32_t>(index);
  if (i >= camera()->get_ResolutionNumber()) return S_FALSE;
  CMediaType type;
  const HRESULT hr = buildType(i, false, &type);
  if (FAILED(hr)) return hr;
  const VIDEOINFOHEADER* vih = VideoHeader(type);
  if (!vih) return E_UNEXPECTED;
  if (mt) {
    *mt = CreateMediaType(&type);
    if (!*mt) return E_OUTOFMEMORY;
  }
  if (caps) fillCaps(*vih, maxFps(camera(), i), caps);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::Get(REFGUID set, DWORD id, LPVOID /*instance*/,
                                           DWORD /*instanceLength*/, LPVOID data, DWORD dataLength,
                                           DWORD* returned) {
  return GetPinCategoryProperty(set, id, data, dataLength, returned, category());
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcmPinBase::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  const uint32_t count = camera()->get_ResolutionNumber();
  if (count < 1) return E_FAIL;
  const CLSID* id = SizePageClassId(chooseSizePage(isStill(), count, filter()->hasStills()));
  return FillPageList(pages, &id, 1);
}

HRESULT CDcmPinBase::OnThreadCreate() {
  workerThread_ = GetCurrentThreadId();
  return filter()->startForPinThread();
}

HRESULT CDcmPinBase::OnThreadDestroy() {
  workerThread_ = 0;
  filter()->stopForPinThread();
  return S_OK;
}
