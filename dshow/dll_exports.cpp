// The module's exported functions: COM registration and the camera functions for programs
// that are no COM hosts.
#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "dshow/base/dllsetup.h"
#include "dshow/filter/camera_provider.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter_setup.h"

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
extern "C" IUnknown* WINAPI DshowOpenCamera(uint32_t index) { return CDcm::OpenForCaller(index); }
