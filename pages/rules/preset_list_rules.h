// The preset page's list rules: which buttons a selection enables, how Up, Down and Remove edit
// the page's copy of the list, and the message each preset result code shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// Row 0 of the page's list is the factory settings; row k >= 1 is record k - 1.
struct PresetButtons {
  bool load = false;
  bool overwrite = false;
  bool rename = false;
  bool remove = false;
  bool up = false;
  bool down = false;
  bool exportFile = false;
};

// selectedCount: rows selected; row: the selected row (meaningful when one is).
PresetButtons EnablePresetButtons(uint32_t selectedCount, int32_t row, size_t recordCount);

enum class PresetEdit : uint8_t { Up, Down, Remove };

// Whether edit applies to row of a list of recordCount records.
bool PresetEditApplies(PresetEdit edit, int32_t row, size_t recordCount);

// Applies edit to the records for the selected row; the row to select afterwards (-1 for none),
// or nothing when the edit does not apply and the records are untouched.
template <class Record>
std::optional<int32_t> ApplyPresetEdit(PresetEdit edit, std::vector<Record>& records, int32_t row) {
  if (!PresetEditApplies(edit, row, records.size())) return std::nullopt;
  const auto index = static_cast<size_t>(row - 1);
  switch (edit) {
    case PresetEdit::Up:
      std::swap(records[index - 1], records[index]);
      return row - 1;
    case PresetEdit::Down:
      std::swap(records[index], records[index + 1]);
      return row + 1;
    case PresetEdit::Remove:
      records.erase(records.begin() + static_cast<ptrdiff_t>(index));
      return -1;
  }
  return std::nullopt;
}

// Codes the preset calls and files answer, as the page names them.
inline constexpr int32_t kPresetErrorEmptyName = -2;
inline constexpr int32_t kPresetErrorSameName = -3;
inline constexpr int32_t kPresetErrorOpenFile = -4;
inline constexpr int32_t kPresetErrorBadFile = -5;
inline constexpr int32_t kPresetErrorModel = -6;

// The English message for a code; "Generic error." for any code without its own.
const wchar_t* PresetErrorText(int32_t code);
