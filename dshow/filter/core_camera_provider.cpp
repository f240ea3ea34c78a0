// The module's camera provider: enumeration and opening through the camera core.
#include "dshow/filter/core_camera_provider.h"

#include <new>

#include "core/base_impl.h"
#include "core/camera_enumeration.h"
#include "core/camera_opening.h"
#include "models/camera_defaults.h"
#include "platform/event.h"

namespace {

// An opened camera object of the core, owned and deleted through its virtual destructor.
class CoreCamera final : public FilterCamera {
 public:
  explicit CoreCamera(BaseImpl* camera) : camera_(camera) {}
  // close traces, stops and deletes the camera. From one of the camera's own threads it refuses;
  // the delete then lets that thread go, and the camera's threads still never outlive it.
  ~CoreCamera() override {
    if (guarded([&] { return camera_->close(); }) == S_OK) return;
    stop();
    delete camera_;
  }

  ILumorix* lumorix() override { return camera_; }
  // All-null arguments: frames wait in the raw queue for the pin's pull, no callback runs.
  HRESULT start() override {
    return guarded([&] { return camera_->start(); });
  }
  HRESULT stop() override {
    if (!camera_->started() && !camera_->hasThreads()) return S_OK;
    return guarded([&] { return camera_->stop(); });
  }
  HRESULT PullFrameForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) override {
    return pinCall(buffer, size, cancelEvent, &BaseImpl::PullFrameForPin);
  }
  HRESULT SnapForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) override {
    return pinCall(buffer, size, cancelEvent, &BaseImpl::SnapForPin);
  }

 private:
  using PinCall = HRESULT (BaseImpl::*)(uint8_t*, uint32_t, platform::Event*);
  HRESULT pinCall(uint8_t* buffer, uint32_t size, HANDLE cancelEvent, PinCall call);

  // The pin's worker and the filter's callers are COM code: nothing thrown may reach them.
  template <class Call>
  static HRESULT guarded(Call&& call) noexcept {
    try {
      return call();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }

  BaseImpl* camera_;
};

HRESULT CoreCamera::pinCall(uint8_t* buffer, uint32_t size, HANDLE cancelEvent, PinCall call) {
  if (!buffer || size == 0) return E_POINTER;
  // A view of the pin's command event: a command ends the camera's wait for a frame.
  platform::Event cancel = platform::Event::wrap(cancelEvent);
  const HRESULT hr =
      guarded([&] { return (camera_->*call)(buffer, size, cancelEvent ? &cancel : nullptr); });
  if (hr == S_OK || hr == S_FALSE) return hr;
  // Any other success code is no frame the pin may deliver.
  return FAILED(hr) ? hr : E_UNEXPECTED;
}

std::unique_ptr<FilterCamera> wrap(BaseImpl* camera) {
  if (!camera) return nullptr;
  std::unique_ptr<FilterCamera> opened(new (std::nothrow) CoreCamera(camera));
  if (!opened) delete camera;
  return opened;
}

class CoreProvider : public CameraProvider {
 public:
  uint32_t enumerate(CameraDeviceRecord (&records)[kMaxCameraRecords]) override {
    return EnumerateCamerasV1(records);
  }
  std::unique_ptr<FilterCamera> open(const WCHAR16* id) override {
    return wrap(OpenCameraById(id));
  }
  std::unique_ptr<FilterCamera> openFirst(WCHAR16 prefix) override {
    return wrap(OpenFirstCamera(prefix));
  }
};

}  // namespace

CameraProvider& CoreCameraProvider() {
  static CoreProvider provider;
  return provider;
}
