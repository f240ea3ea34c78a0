// Message boxes in the process's language, shown through a presenter tests can replace.
#pragma once

#include <windows.h>

// Shows a message box; the default is MessageBoxW.
using MessagePresenter = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption,
                                 UINT type);

// Installs `presenter` (null restores the default) and returns the one it replaces.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

// Translates the format and the caption, formats the text with the arguments and shows it. A
// translated format is used only when it takes the English format's arguments in the same
// order; otherwise the English format is used, so a bad translation cannot misread arguments.
int MessageBoxTranslated(LANGID langId, HWND owner, const wchar_t* format, const wchar_t* caption,
                         UINT type, ...);
