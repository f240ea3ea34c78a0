// The video input devices the system device enumerator lists.
#include "tools/capture_host/devices.h"

namespace {

std::wstring FriendlyName(IMoniker* moniker) {
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.outVoid()))) return {};
  VARIANT value;
  VariantInit(&value);
  std::wstring name;
  if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) {
    name = value.bstrVal;
  }
  VariantClear(&value);
  return name;
}

}  // namespace

bool ListVideoInputs(std::vector<VideoInput>* devices, std::string* error) {
  ComPtr<ICreateDevEnum> enumerator;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, enumerator.outVoid());
  if (FAILED(hr)) {
    *error = "no system device enumerator: " + HresultText(hr);
    return false;
  }
  ComPtr<IEnumMoniker> monikers;
  hr = enumerator->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.out(), 0);
  if (hr == S_FALSE) return true;  // the category is empty
  if (FAILED(hr)) {
    *error = "cannot list the video input devices: " + HresultText(hr);
    return false;
  }
  for (;;) {
    ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.out(), nullptr) != S_OK) break;
    std::wstring name = FriendlyName(moniker.get());
    devices->push_back({std::move(name), std::move(moniker)});
  }
  return true;
}

bool BindVideoInput(const std::vector<VideoInput>& devices, const std::wstring& name,
                    ComPtr<IBaseFilter>* filter, std::string* error) {
  for (const VideoInput& device : devices) {
    if (device.friendlyName != name) continue;
    const HRESULT hr =
        device.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter->outVoid());
    if (FAILED(hr)) {
      *error = "the device \"" + Utf8(name) + "\" cannot be created: " + HresultText(hr);
      return false;
    }
    return true;
  }
  *error = "no video input device is named \"" + Utf8(name) + "\"";
  return false;
}
