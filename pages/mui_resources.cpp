// Reads the string tables from the module that holds the pages.
#include "pages/mui_resources.h"

#include "dshow/base/moduleinstance.h"

std::span<const uint8_t> LoadMuiResource(HMODULE module, std::string_view code) {
  // Codes are short upper-case ASCII ("HANS"); anything longer is not one of ours.
  constexpr size_t kMaxCode = 8;
  if (code.empty() || code.size() > kMaxCode) return {};
  wchar_t name[kMaxCode + 1] = {};
  for (size_t i = 0; i < code.size(); ++i) name[i] = static_cast<unsigned char>(code[i]);
  HRSRC info = FindResourceW(module, name, L"MUI");
  if (!info) return {};
  const DWORD size = SizeofResource(module, info);
  HGLOBAL handle = size ? LoadResource(module, info) : nullptr;
  const void* bytes = handle ? LockResource(handle) : nullptr;
  if (!bytes) return {};
  return {static_cast<const uint8_t*>(bytes), size};
}

void LoadLanguage(LANGID langId) {
  ProcessMuiLanguage().load(langId, ModuleMuiSource(g_hInst));
}

const wchar_t* TranslateString(LANGID langId, const wchar_t* text) {
  if (!text) return text;
  LoadLanguage(langId);
  // Either `text` itself or a table string, which is stored zero-terminated.
  return ProcessMuiLanguage().translate(text).data();
}
