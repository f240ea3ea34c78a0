// Return in a subclassed edit sends a message to its page instead of pressing the default button.
#pragma once

#include <windows.h>

struct EnterKeySubclass {
  HWND owner = nullptr;
  UINT message = 0;
  WNDPROC previous = nullptr;
};

// Sends record->message to owner when Return is pressed in edit; record outlives the edit.
void SubclassEnterKey(EnterKeySubclass* record, HWND owner, HWND edit);
LRESULT CALLBACK EnterKeyWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
