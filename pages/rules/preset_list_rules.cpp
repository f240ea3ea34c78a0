// The preset page's list rules: buttons by selection, list edits, messages by code.
#include "pages/rules/preset_list_rules.h"

PresetButtons EnablePresetButtons(uint32_t selectedCount, int32_t row, size_t recordCount) {
  PresetButtons b;
  const bool one = selectedCount == 1;
  const bool record = one && row >= 1;
  b.load = one;
  b.overwrite = b.rename = b.remove = record;
  b.up = b.down = record && recordCount > 1;
  b.exportFile = recordCount >= 1;
  return b;
}

bool PresetEditApplies(PresetEdit edit, int32_t row, size_t recordCount) {
  if (row < 1 || static_cast<size_t>(row) > recordCount) return false;
  switch (edit) {
    case PresetEdit::Up:
      return row >= 2;
    case PresetEdit::Down:
      return static_cast<size_t>(row) < recordCount;
    case PresetEdit::Remove:
      return true;
  }
  return false;
}

const wchar_t* PresetErrorText(int32_t code) {
  struct Entry {
    int32_t code;
    const wchar_t* text;
  };
  static constexpr Entry kMessages[] = {
      {kPresetErrorEmptyName, L"Name cannot be empty."},
      {kPresetErrorSameName, L"Same name exist."},
      {kPresetErrorOpenFile, L"Failed to open file."},
      {kPresetErrorBadFile, L"Bad file format."},
      {kPresetErrorModel, L"Camera model mismatch."},
  };
  for (const Entry& e : kMessages)
    if (e.code == code) return e.text;
  return L"Generic error.";
}
