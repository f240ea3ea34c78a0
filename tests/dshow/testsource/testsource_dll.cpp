// DLL entry points of the test source filter: a COM server registered as a video input device.
#include <windows.h>
#include <dshow.h>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/dllentry.h"
#include "dshow/base/dllsetup.h"
#include "tests/dshow/testsource/testsource.h"

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(L"Capture"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1,
     kPinTypes}};
const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_ZxTestSource, kTestSourceName, MERIT_DO_NOT_USE,
                                         1, kPins};

struct ComInit {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComInit() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

HRESULT WithMapper(HRESULT (*action)(IFilterMapper2*)) {
  ComInit com;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = action(mapper);
  mapper->Release();
  return hr;
}

HRESULT RegisterInCategory(IFilterMapper2* mapper) {
  REGPINTYPES types = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
  REGFILTERPINS2 pin = {};
  pin.dwFlags = REG_PINFLAG_B_OUTPUT;
  pin.cInstances = 1;
  pin.nMediaTypes = 1;
  pin.lpMediaType = &types;
  pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
  REGFILTER2 filter = {};
  filter.dwVersion = 2;
  filter.dwMerit = MERIT_DO_NOT_USE;
  filter.cPins2 = 1;
  filter.rgPins2 = &pin;
  return mapper->RegisterFilter(CLSID_ZxTestSource, kTestSourceName, nullptr,
                                &CLSID_VideoInputDeviceCategory, kTestSourceName, &filter);
}

HRESULT UnregisterFromCategory(IFilterMapper2* mapper) {
  return mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, kTestSourceName,
                                  CLSID_ZxTestSource);
}

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
  return WithMapper(RegisterInCategory);
}

STDAPI DllUnregisterServer() {
  const HRESULT hr = AMovieDllRegisterServer2(FALSE);
  if (FAILED(hr)) return hr;
  return WithMapper(UnregisterFromCategory);
}
