// Pictures of the settings pages for review (the Misc pages by class, ROI with a window, Preset
// with three records, Cooling and conversion gain from the double), in the run's language; and
// the texts the pages build at run time, in German.
#include <gtest/gtest.h>

#include "core/lumorix_options.h"
#include "tests/pages/settings_page_host.h"
#include "tests/wine/windowpicture.h"

namespace {

struct PictureRow {
  PageRowId row;
  const wchar_t* name;
};

const PictureRow kPictureRows[] = {
    {PageRowId::Misc2, L"misc2"},     {PageRowId::Misc2BitDepth, L"misc2_bitdepth"},
    {PageRowId::Misc3, L"misc3"},     {PageRowId::Misc3BitDepth, L"misc3_bitdepth"},
    {PageRowId::Misc4, L"misc4"},     {PageRowId::Misc4BitDepth, L"misc4_bitdepth"},
    {PageRowId::Misc5, L"misc5"},     {PageRowId::Misc5BitDepth, L"misc5_bitdepth"},
    {PageRowId::Roi, L"roi"},         {PageRowId::Preset, L"preset"},
    {PageRowId::Cooling, L"cooling"}, {PageRowId::Cg, L"cg"},
};

PresetRecord Named(const wchar_t* name) {
  PresetRecord r = {};
  wcsncpy(r.name, name, 127);
  return r;
}

// The test runs in tests/pages of the build tree; the pictures go to pictures/pages of it.
TEST(SettingsPictures, EveryPageInTheRunLanguage) {
  const std::wstring folder = L"..\\..\\pictures\\pages\\";
  CreateDirectoryW(L"..\\..\\pictures", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring language = RunLanguage() == 0x0407 ? L"de" : L"en";
  CameraSetup setup;
  setup.maxBitDepth = 12;
  FilterWithDouble camera(setup);
  CameraValues& v = camera.values();
  v.presets = {Named(L"Daylight"), Named(L"Night sky"), Named(L"Microscope")};
  v.options[LUMORIX_OPTION_TEC_INFO] = 200;
  v.options[LUMORIX_OPTION_TEC_READING] = 50;
  v.options[LUMORIX_OPTION_CG] = 1;
  PageFrame frame(true);
  for (const PictureRow& r : kPictureRows) {
    HostedPage page(r.row, camera.object(), frame, RunLanguage());
    ASSERT_NE(page.dialog(), nullptr);
    RedrawWindow(frame.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(100);
    const std::wstring path = folder + L"settings_" + r.name + L"_" + language + L".png";
    EXPECT_TRUE(SaveWindowPicture(page.dialog(), path)) << static_cast<int>(r.row);
  }
}

// In German, the bit-depth radios come from the translated "%u Bits" and the cooler's range
// message from its translation, formatted with the same numbers.
TEST(GermanTexts, BitLabelsAndTheRangeMessage) {
  if (RunLanguage() != 0x0407) GTEST_SKIP() << "runs in the German process";
  CameraSetup setup;
  setup.maxBitDepth = 12;
  FilterWithDouble camera(setup);
  PageFrame frame;
  {
    HostedPage misc(PageRowId::Misc5BitDepth, camera.object(), frame, 0x0407);
    EXPECT_EQ(misc.text(1003), L"8 Bit");
    EXPECT_EQ(misc.text(1002), L"12 Bit");
  }
  HostedPage cooling(PageRowId::Cooling, camera.object(), frame, 0x0407);
  CapturedMessages messages;
  cooling.setText(1044, L"30.1");
  SendMessageW(cooling.item(1044), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(messages.shown().size(), 1u);
  EXPECT_EQ(messages.shown()[0].text,
            L"Der Eingabewert liegt au\u00dferhalb des Bereichs [-30.0, 30.0].");
  EXPECT_EQ(cooling.text(1453).rfind(L"Aktuelle Temperatur: ", 0), 0u);
}

}  // namespace
