// Enumeration and opening over the process catalogue and the process device directory.
#include "models/camera_defaults.h"

#include "core/camera_enumeration.h"
#include "core/camera_opening.h"
#include "core/guide_port.h"
#include "models/catalogue_table.h"

uint32_t EnumerateCameras(CameraDeviceRecord* out) noexcept {
  return EnumerateCameras(out, ModelTable(), platform::CurrentDeviceDirectory());
}

uint32_t EnumerateCamerasV1(CameraDeviceRecord* out) noexcept {
  return EnumerateCamerasV1(out, ModelTable(), platform::CurrentDeviceDirectory());
}

BaseImpl* OpenCameraById(const WCHAR16* id) noexcept {
  return OpenCameraById(id, ModelTable());
}

BaseImpl* OpenFirstCamera(WCHAR16 prefix) noexcept {
  return OpenFirstCamera(prefix, ModelTable(), platform::CurrentDeviceDirectory());
}

GuidePort& ProcessGuidePort() {
  static GuidePort port(ModelTable(), platform::CurrentDeviceDirectory(),
                        platform::CurrentHidGuide());
  return port;
}
