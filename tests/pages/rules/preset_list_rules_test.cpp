// The preset page's buttons by selection, its list edits and its messages by code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/rules/preset_list_rules.h"

namespace {

struct ButtonCase {
  const char* name;
  uint32_t selected;
  int32_t row;
  size_t records;
  PresetButtons expected;
};

class PresetButtonRows : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(PresetButtonRows, EnabledBySelection) {
  const ButtonCase& c = GetParam();
  const PresetButtons b = EnablePresetButtons(c.selected, c.row, c.records);
  const PresetButtons& e = c.expected;
  EXPECT_EQ(b.load, e.load);
  EXPECT_EQ(b.overwrite, e.overwrite);
  EXPECT_EQ(b.rename, e.rename);
  EXPECT_EQ(b.remove, e.remove);
  EXPECT_EQ(b.up, e.up);
  EXPECT_EQ(b.down, e.down);
  EXPECT_EQ(b.exportFile, e.exportFile);
}

//                                     load  overw rename remove up     down   export
INSTANTIATE_TEST_SUITE_P(
    Rows, PresetButtonRows,
    ::testing::Values(
        ButtonCase{
            "factory_row_only_load", 1, 0, 3, {true, false, false, false, false, false, true}},
        ButtonCase{"record_of_three", 1, 2, 3, {true, true, true, true, true, true, true}},
        ButtonCase{
            "one_record_no_up_or_down", 1, 1, 1, {true, true, true, true, false, false, true}},
        ButtonCase{
            "no_records_no_export", 1, 0, 0, {true, false, false, false, false, false, false}},
        ButtonCase{"nothing_selected", 0, -1, 2, {false, false, false, false, false, false, true}}),
    [](const auto& row) { return std::string(row.param.name); });

struct EditCase {
  const char* name;
  PresetEdit edit;
  int32_t row;
  std::optional<int32_t> selectAfter;
  std::vector<int> after;
};

class PresetEditRows : public ::testing::TestWithParam<EditCase> {};

// Three records 10, 20, 30 in rows 1 to 3.
TEST_P(PresetEditRows, EditsTheListOrLeavesIt) {
  const EditCase& c = GetParam();
  std::vector<int> records = {10, 20, 30};
  EXPECT_EQ(ApplyPresetEdit(c.edit, records, c.row), c.selectAfter);
  EXPECT_EQ(records, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PresetEditRows,
    ::testing::Values(
        EditCase{"up_second", PresetEdit::Up, 2, 1, {20, 10, 30}},
        EditCase{"up_first_does_nothing", PresetEdit::Up, 1, std::nullopt, {10, 20, 30}},
        EditCase{"down_first", PresetEdit::Down, 1, 2, {20, 10, 30}},
        EditCase{"down_last_does_nothing", PresetEdit::Down, 3, std::nullopt, {10, 20, 30}},
        EditCase{"remove_last", PresetEdit::Remove, 3, -1, {10, 20}},
        EditCase{"remove_factory_does_nothing", PresetEdit::Remove, 0, std::nullopt, {10, 20, 30}},
        EditCase{"remove_past_the_end", PresetEdit::Remove, 4, std::nullopt, {10, 20, 30}},
        EditCase{"down_past_the_end", PresetEdit::Down, 4, std::nullopt, {10, 20, 30}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PresetErrors, EachCodeItsMessageOthersGeneric) {
  const std::pair<int32_t, std::wstring> cases[] = {
      {-2, L"Name cannot be empty."},  {-3, L"Same name exist."},
      {-4, L"Failed to open file."},   {-5, L"Bad file format."},
      {-6, L"Camera model mismatch."}, {-1, L"Generic error."},
      {0, L"Generic error."},          {-7, L"Generic error."},
      {INT32_MIN, L"Generic error."},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(PresetErrorText(code), text) << code;
}

}  // namespace
