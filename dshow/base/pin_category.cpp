// The one property of the pin property set that capture pins answer: their category.
#include "dshow/base/pin_category.h"

#include <cstring>

HRESULT GetPinCategoryProperty(REFGUID set, DWORD id, LPVOID data, DWORD dataLength,
                               DWORD* returned, const GUID& category) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!data && !returned) return E_POINTER;
  if (returned) *returned = sizeof(GUID);
  if (!data) return S_OK;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(data, &category, sizeof(GUID));
  return S_OK;
}
