// Re-texts a window in the process's language: the first table entry whose English matches its
// text decides.
#pragma once

#include <windows.h>

void TranslateWindow(HWND window);
// For EnumChildWindows: translates each window and always continues.
BOOL CALLBACK TranslateWindowCallback(HWND window, LPARAM unused);
