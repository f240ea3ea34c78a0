// The module handle of the DLL this layer is linked into, kept for its resources.
#pragma once

#include <windows.h>

// Set by DllEntryPoint; a test executable sets it to its own module.
extern HINSTANCE g_hInst;
