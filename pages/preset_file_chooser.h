// The open and save dialogs of preset files, through a chooser tests can replace.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstddef>

enum class PresetFileDialog { Import, Export };

// Shows the dialog the request describes; nonzero when the user chose a file. The default is
// GetOpenFileNameW for Import and GetSaveFileNameW for Export.
using FileChooser = BOOL (*)(OPENFILENAMEW* request, PresetFileDialog dialog);

// Installs chooser (null restores the default) and returns the one it replaces.
FileChooser SetFileChooser(FileChooser chooser);

inline constexpr size_t kPresetPathChars = 260;

// Fills the request (translated title, ".pgt" and all-files filters, default extension; Import
// needs an existing file, Export asks before overwriting) and asks the chooser for a path.
bool ChoosePresetFile(HWND owner, LANGID langId, PresetFileDialog dialog,
                      wchar_t (&path)[kPresetPathChars]);
