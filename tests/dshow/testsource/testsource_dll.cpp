// DLL entry points of the test source filter: a COM server registered as a video input device.
#include <windows.h>
#include <dshow.h>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/dllentry.h"
#include "dshow/base/dllsetup.h"
#include "tests/dshow/testsource/testsource.h"

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const AMOVIESETUP_PIN kPins[] = {{const_cast<LPWSTR>(L"Capture"), FALSE, TRUE, FALSE, FALSE,
                                  &CLSID_NULL, nullptr, 1, kPinTypes}};
const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_ZxTestSource, kTestSourceName, MERIT_DO_NOT_USE, 1,
                                         kPins};

}  // namespace

CFactoryTemplate g_Templates[] = {
    {kTestSourceName, &CLSID_ZxTestSource, TestSourceFilter::CreateInstance, nullptr,
     &kFilterSetup},
};
int g_cTemplates = 1;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return DllEntryPoint(instance, reason, reserved);
}

STDAPI DllRegisterServer() {
  const HRESULT hr = AMovieDllRegisterServer2(TRUE);
  if (FAILED(hr)) return hr;
  return RegisterVideoInputSource(CLSID_ZxTestSource, kTestSourceName, MERIT_DO_NOT_USE, true);
}

STDAPI DllUnregisterServer() {
  const HRESULT hr = AMovieDllRegisterServer2(FALSE);
  if (FAILED(hr)) return hr;
  return RegisterVideoInputSource(CLSID_ZxTestSource, kTestSourceName, MERIT_DO_NOT_USE, false);
}
