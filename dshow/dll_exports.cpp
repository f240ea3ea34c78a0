// The module's exported functions: COM registration and the camera functions for programs
// that are no COM hosts.
#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "core/guide_port.h"
#include "dshow/base/dllsetup.h"
#include "dshow/dll_exports.h"
#include "dshow/filter/camera_provider.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter_setup.h"
#include "dshow/screen_spacing.h"
#include "models/camera_defaults.h"

STDAPI DllRegisterServer() {
  const HRESULT hr = AMovieDllRegisterServer2(TRUE);
  if (FAILED(hr)) return hr;
  return RegisterFilterInCategory(true);
}

STDAPI DllUnregisterServer() {
  const HRESULT hr = AMovieDllRegisterServer2(FALSE);
  if (FAILED(hr)) return hr;
  return RegisterFilterInCategory(false);
}

// The number of connected cameras, 0 to 16.
extern "C" uint32_t WINAPI DshowEnumCamera() {
  try {
    CameraDeviceRecord records[kMaxCameraRecords] = {};
    const uint32_t count = ActiveCameraProvider().enumerate(records);
    return count < kMaxCameraRecords ? count : kMaxCameraRecords;
  } catch (...) {
    return 0;
  }
}

// A filter for camera index, holding one reference for the caller, or null.
extern "C" IUnknown* WINAPI DshowOpenCamera(uint32_t index) {
  return CDcm::OpenForCaller(index);
}

// The page spacings measured when the module was loaded. Exported by ordinal only (see the
// .def file): the module's own tests read it, no program is meant to.
extern "C" void WINAPI ZxPageSpacings(int32_t* small, int32_t* large) {
  const ScreenSpacings spacings = PageSpacings();
  if (small) *small = spacings.small;
  if (large) *large = spacings.large;
}

extern "C" int WINAPI AscomST4Connect(int connect) {
  try {
    return ProcessGuidePort().connect(connect);
  } catch (...) {
    return 0;
  }
}

extern "C" int WINAPI AscomST4PlusGuide(unsigned direction, unsigned ms) {
  try {
    return ProcessGuidePort().pulse(direction, ms);
  } catch (...) {
    return 0;
  }
}

extern "C" int WINAPI AscomST4PlusGuideState() {
  try {
    return ProcessGuidePort().state();
  } catch (...) {
    return 0;
  }
}
