// Registration of the module's COM classes under HKEY_CLASSES_ROOT\CLSID.
//
// Only the COM server keys are written here, also for templates that carry filter setup
// data: the module registers its filter with the filter mapper itself, in the video input
// device category. A second entry in the legacy filter category would list the capture
// source among the ordinary filters that graph building tries, and twice in enumerations.
#include "dshow/base/dllsetup.h"

#include <cwchar>

#include <dshow.h>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/moduleinstance.h"

namespace {

// The mapper's answer for a filter it does not list.
constexpr HRESULT kNotRegistered = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LSTATUS create(HKEY parent, const WCHAR* path) {
    return RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr);
  }
  LSTATUS setString(const WCHAR* name, const WCHAR* value) {
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// "CLSID\{...}" for one class.
bool ClassKeyPath(const CLSID& clsid, WCHAR (&path)[64]) {
  WCHAR guid[40];
  if (StringFromGUID2(clsid, guid, 40) == 0) return false;
  swprintf(path, 64, L"CLSID\\%ls", guid);
  return true;
}

HRESULT RegisterServer(const CFactoryTemplate& templ, const WCHAR* modulePath) {
  WCHAR path[64];
  if (!ClassKeyPath(*templ.m_ClsID, path)) return E_INVALIDARG;
  RegKey classKey;
  LSTATUS rc = classKey.create(HKEY_CLASSES_ROOT, path);
  if (rc == ERROR_SUCCESS) rc = classKey.setString(nullptr, templ.m_Name ? templ.m_Name : L"");
  RegKey serverKey;
  if (rc == ERROR_SUCCESS) rc = serverKey.create(classKey.get(), L"InprocServer32");
  if (rc == ERROR_SUCCESS) rc = serverKey.setString(nullptr, modulePath);
  if (rc == ERROR_SUCCESS) rc = serverKey.setString(L"ThreadingModel", L"Both");
  return HRESULT_FROM_WIN32(rc);
}

HRESULT UnregisterServer(const CFactoryTemplate& templ) {
  WCHAR path[64];
  if (!ClassKeyPath(*templ.m_ClsID, path)) return E_INVALIDARG;
  const LSTATUS rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, path);
  // Already gone is what unregistering wants.
  return (rc == ERROR_FILE_NOT_FOUND) ? S_OK : HRESULT_FROM_WIN32(rc);
}

}  // namespace

STDAPI AMovieDllRegisterServer2(BOOL registering) {
  WCHAR modulePath[MAX_PATH];
  const DWORD length = GetModuleFileNameW(g_hInst, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;

  HRESULT result = S_OK;
  for (int i = 0; i < g_cTemplates; ++i) {
    if (!g_Templates[i].m_ClsID) continue;
    const HRESULT hr =
        registering ? RegisterServer(g_Templates[i], modulePath) : UnregisterServer(g_Templates[i]);
    if (FAILED(hr)) {
      if (registering) return hr;
      // Unregistering goes on, so that one stuck key does not leave the others behind.
      if (SUCCEEDED(result)) result = hr;
    }
  }
  return result;
}

namespace {

struct ComScope {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

HRESULT registerSource(IFilterMapper2* mapper, const CLSID& clsid, const wchar_t* name,
                       DWORD merit) {
  REGPINTYPES types = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
  REGFILTERPINS2 pin = {};
  pin.dwFlags = REG_PINFLAG_B_OUTPUT;
  pin.cInstances = 1;
  pin.nMediaTypes = 1;
  pin.lpMediaType = &types;
  pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
  REGFILTER2 record = {};
  record.dwVersion = 2;
  record.dwMerit = merit;
  record.cPins2 = 1;
  record.rgPins2 = &pin;
  return mapper->RegisterFilter(clsid, name, nullptr, &CLSID_VideoInputDeviceCategory, name,
                                &record);
}

}  // namespace

HRESULT RegisterVideoInputSource(const CLSID& clsid, const wchar_t* name, DWORD merit,
                                 bool registering) {
  ComScope com;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = registering ? registerSource(mapper, clsid, name, merit)
                   : mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, name, clsid);
  mapper->Release();
  // A filter that is already gone is what unregistering asks for, as with the COM keys.
  if (!registering && hr == kNotRegistered) return S_OK;
  return hr;
}
