// The module's entry point: process start-up and the page spacings on load, the CPU-usage
// threads stopped on unload, and the base classes' entry last in both cases.
#include <windows.h>

#include "base/process_globals.h"
#include "core/stream/cpu_latency.h"
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

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      InitProcessGlobals();
      SetCameraProvider(&CoreCameraProvider());
      measureScreen();
    } else if (reason == DLL_PROCESS_DETACH) {
      SetCameraProvider(nullptr);
      // All cameras are closed by now, so no CPU-usage thread should be left; any that is, is
      // stopped so that none runs the module's code after it is gone. When the process ends the
      // system has ended every other thread already, maybe inside a lock: nothing is touched.
      if (reserved == nullptr) CpuLatency::stopForUnload();
    }
  } catch (...) {
    if (reason == DLL_PROCESS_ATTACH) return FALSE;
  }
  return DllEntryPoint(instance, reason, reserved);
}
