// How filters find and open cameras: the camera core in the module, a camera double in tests.
#include "dshow/filter/camera_provider.h"

#include <atomic>

namespace {

class NoCameras : public CameraProvider {
 public:
  uint32_t enumerate(CameraDeviceRecord (&)[kMaxCameraRecords]) override { return 0; }
  std::unique_ptr<FilterCamera> open(const WCHAR16*) override { return nullptr; }
  std::unique_ptr<FilterCamera> openFirst(WCHAR16) override { return nullptr; }
};

NoCameras g_noCameras;
std::atomic<CameraProvider*> g_provider{nullptr};

}  // namespace

CameraProvider& ActiveCameraProvider() {
  CameraProvider* provider = g_provider.load();
  return provider ? *provider : g_noCameras;
}

void SetCameraProvider(CameraProvider* provider) {
  g_provider.store(provider);
}
