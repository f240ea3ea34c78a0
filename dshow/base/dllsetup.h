// Registration of the module's COM classes under HKEY_CLASSES_ROOT\CLSID.
#pragma once

#include <windows.h>

// TRUE writes, FALSE removes, the COM server keys of every factory template.
STDAPI AMovieDllRegisterServer2(BOOL registering);

// Lists (or removes) a capture source with one RGB24 output pin of the capture category in the
// video input device category, through the filter mapper.
HRESULT RegisterVideoInputSource(const CLSID& clsid, const wchar_t* name, DWORD merit,
                                 bool registering);
