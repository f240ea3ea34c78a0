// The filter's registration data: its factory-template setup and its filter-mapper record.
#include "dshow/filter_setup.h"

#include "dshow/filter/cdcm.h"

namespace {

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
const AMOVIESETUP_PIN kSetupPins[] = {{const_cast<LPWSTR>(L"Preview"), FALSE, TRUE, FALSE, FALSE,
                                       &CLSID_NULL, nullptr, 1, kPinTypes}};

struct ComScope {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

HRESULT registerWith(IFilterMapper2* mapper) {
  REGPINTYPES types = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
  REGFILTERPINS2 pin = {};
  pin.dwFlags = REG_PINFLAG_B_OUTPUT;
  pin.cInstances = 1;
  pin.nMediaTypes = 1;
  pin.lpMediaType = &types;
  pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
  REGFILTER2 record = {};
  record.dwVersion = 2;
  record.dwMerit = kFilterMerit;
  record.cPins2 = 1;
  record.rgPins2 = &pin;
  return mapper->RegisterFilter(CLSID_Zerithal, kFilterName, nullptr,
                                &CLSID_VideoInputDeviceCategory, kFilterName, &record);
}

}  // namespace

const AMOVIESETUP_FILTER kFilterSetup = {&CLSID_Zerithal, kFilterName, kFilterMerit, 1,
                                         kSetupPins};

HRESULT RegisterFilterInCategory(bool registering) {
  ComScope com;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = registering ? registerWith(mapper)
                   : mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, kFilterName,
                                              CLSID_Zerithal);
  mapper->Release();
  return hr;
}
