// The module handle of the DLL this layer is linked into, kept for its resources.
#include "dshow/base/moduleinstance.h"

HINSTANCE g_hInst = nullptr;
