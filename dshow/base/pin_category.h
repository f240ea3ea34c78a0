// The one property of the pin property set that capture pins answer: their category.
#pragma once

#include "dshow/base/streams.h"

// IKsPropertySet::Get for AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY: the category's GUID; a wrong
// set or id is refused with its own code and a short buffer is never written.
HRESULT GetPinCategoryProperty(REFGUID set, DWORD id, LPVOID data, DWORD dataLength,
                               DWORD* returned, const GUID& category);
