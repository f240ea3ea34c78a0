// Registration of the module's COM classes under HKEY_CLASSES_ROOT\CLSID.
#pragma once

#include <windows.h>

// TRUE writes, FALSE removes, the COM server keys of every factory template.
STDAPI AMovieDllRegisterServer2(BOOL registering);
