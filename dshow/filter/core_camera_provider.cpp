// The module's camera provider: enumeration and opening through the camera core.
#include "dshow/filter/core_camera_provider.h"

#include <new>

#include "core/base_impl.h"
#include "core/camera_enumeration.h"
#include "core/camera_opening.h"

namespace {

// An opened camera object of the core, owned and deleted through its virtual destructor.
class CoreCamera : public FilterCamera {
 public:
  explicit CoreCamera(BaseImpl* camera) : camera_(camera) {}
  ~CoreCamera() override { delete camera_; }

  ILumorix* lumorix() override { return camera_; }
  // The camera object has no pull-mode streaming of its own yet: a pin that asks for it fails
  // its activation instead of waiting for frames that never come.
  HRESULT start() override { return E_NOTIMPL; }
  HRESULT stop() override { return S_OK; }
  HRESULT PullFrameForPin(uint8_t*, uint32_t, HANDLE) override { return E_NOTIMPL; }

 private:
  BaseImpl* camera_;
};

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
