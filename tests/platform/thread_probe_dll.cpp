// A DLL that starts a detached thread waiting on its caller's event, so that a test can unload the
// DLL while the thread still runs its code.
#include <windows.h>

#include "platform/thread.h"

extern "C" __declspec(dllexport) BOOL WINAPI StartLingeringThread(HANDLE release);

BOOL WINAPI StartLingeringThread(HANDLE release) {
  platform::Thread thread;
  if (!thread.start([release] { WaitForSingleObject(release, INFINITE); })) return FALSE;
  thread.detach();
  return TRUE;
}
