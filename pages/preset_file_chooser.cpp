// Preset file dialogs: one request, the chooser decides how it is shown.
#include "pages/preset_file_chooser.h"

#include <atomic>

#include "pages/mui_resources.h"

namespace {

std::atomic<FileChooser> gChooser{nullptr};

BOOL DefaultChooser(OPENFILENAMEW* request, PresetFileDialog dialog) {
  return dialog == PresetFileDialog::Import ? GetOpenFileNameW(request) : GetSaveFileNameW(request);
}

// Pairs of description and pattern, each terminated, the list ending with an empty string.
constexpr wchar_t kFilter[] = L"Preset Files (*.pgt)\0*.pgt\0All Files (*.*)\0*.*\0";

}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
  const FileChooser old = gChooser.exchange(chooser);
  return old ? old : DefaultChooser;
}

bool ChoosePresetFile(HWND owner, LANGID langId, PresetFileDialog dialog,
                      wchar_t (&path)[kPresetPathChars]) {
  path[0] = L'\0';
  const bool import = dialog == PresetFileDialog::Import;
  OPENFILENAMEW request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = kFilter;
  request.nFilterIndex = 1;
  request.lpstrFile = path;
  request.nMaxFile = kPresetPathChars;
  request.lpstrTitle = TranslateString(langId, import ? L"Import" : L"Export");
  request.lpstrDefExt = L"pgt";
  request.Flags = OFN_EXPLORER | OFN_ENABLESIZING |
                  (import ? OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST : OFN_OVERWRITEPROMPT);
  const FileChooser chooser = gChooser.load();
  const BOOL chosen = (chooser ? chooser : DefaultChooser)(&request, dialog);
  path[kPresetPathChars - 1] = L'\0';
  return chosen && path[0] != L'\0';
}
