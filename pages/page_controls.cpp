// Registers the page dialogs' common-control classes once.
#include "pages/page_controls.h"

#include <windows.h>
#include <commctrl.h>

#include <mutex>

void LoadPageControlClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
  });
}
