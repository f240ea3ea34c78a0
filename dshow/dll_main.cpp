// The module's entry point: process start-up and the page spacings on load, the CPU-usage
// threads stopped on unload, and the base classes' entry last in both cases.
#include <windows.h>

#include <mutex>

#include "base/process_globals.h"
#include "dshow/base/dllentry.h"
#include "dshow/filter/core_camera_provider.h"
#include "dshow/screen_spacing.h"

namespace {

void measureScreen() {
  HDC screen = GetDC(nullptr);
  // Without a display the pages are laid out for 96 dots per inch.
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  PageSpacings() = spacingsForDpi(dpi);
}

// All cameras are closed by now, so no CPU-usage thread should be left; any that is, is joined
// and dropped here, with the count cleared, so that none outlives the module's code. When the
// process ends the system has ended them already and joining returns at once.
void stopCpuUsageThreads() {
  ProcessGlobals& globals = Globals();
  std::lock_guard<platform::RecursiveLock> guard(globals.spinLock);
  globals.spinRefCount = 0;
  for (auto& thread : globals.spinThreads) thread.reset();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      InitProcessGlobals();
      SetCameraProvider(&CoreCameraProvider());
      measureScreen();
    } else if (reason == DLL_PROCESS_DETACH) {
      SetCameraProvider(nullptr);
      stopCpuUsageThreads();
    }
  } catch (...) {
    if (reason == DLL_PROCESS_ATTACH) return FALSE;
  }
  return DllEntryPoint(instance, reason, reserved);
}
