// The modal "Name" dialog: translated, an empty name keeps it open.
#include "pages/preset_name_dialog.h"

#include "dshow/base/moduleinstance.h"
#include "pages/mui_resources.h"
#include "pages/translate_window.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kNameEdit = 1044;

struct NameDialogParam {
  LANGID langId;
  wchar_t* name;
};

INT_PTR CALLBACK PresetNameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const auto* param = reinterpret_cast<const NameDialogParam*>(lParam);
      LoadLanguage(param->langId);
      if (ProcessMuiLanguage().translationLoaded()) {
        TranslateWindow(dialog);
        EnumChildWindows(dialog, TranslateWindowCallback, 0);
      }
      if (param->name[0] != L'\0') SetDlgItemTextW(dialog, kNameEdit, param->name);
      return TRUE;
    }
    case WM_COMMAND: {
      auto* param = reinterpret_cast<NameDialogParam*>(GetWindowLongPtrW(dialog, DWLP_USER));
      if (LOWORD(wParam) == IDOK && param) {
        wchar_t text[kPresetNameChars] = {};
        GetDlgItemTextW(dialog, kNameEdit, text, static_cast<int>(kPresetNameChars));
        if (text[0] == L'\0') return TRUE;  // a preset needs a name
        for (size_t i = 0; i < kPresetNameChars; ++i) param->name[i] = text[i];
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

bool EditPresetName(HWND owner, LANGID langId, wchar_t* name) {
  NameDialogParam param = {langId, name};
  return DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_PRESET_NAME), owner, PresetNameDialogProc,
                         reinterpret_cast<LPARAM>(&param)) == IDOK;
}
