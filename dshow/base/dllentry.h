// The COM server entry points over the module's factory-template table.
#pragma once

#include <windows.h>

// The module's DllMain calls this last, with its own arguments.
BOOL WINAPI DllEntryPoint(HINSTANCE instance, ULONG reason, LPVOID reserved);

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
STDAPI DllCanUnloadNow();
