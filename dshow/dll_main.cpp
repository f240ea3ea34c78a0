// Module entry: process start-up on attach.
#include <windows.h>

#include "core/process_globals.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    InitProcessGlobals();
  }
  return TRUE;
}
