// The COM server entry points over the module's factory-template table.
#pragma once

#include <windows.h>

// Each module on this base defines its DllMain, which calls DllEntryPoint last with its own
// arguments.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
BOOL WINAPI DllEntryPoint(HINSTANCE instance, ULONG reason, LPVOID reserved);

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
STDAPI DllCanUnloadNow();
