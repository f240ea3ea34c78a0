// The Preset page over the real filter and its camera double: the name dialog, the list edits
// and the order the camera receives, loading, and the exchange with preset files.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>

#include "pages/framework/page_messages.h"
#include "pages/preset_file_chooser.h"
#include "pages/preset_page.h"
#include "pipeline/store/preset_store.h"
#include "tests/pages/settings_page_host.h"

namespace {

constexpr int kList = 1005, kLoad = 1113, kSave = 1112, kOverwrite = 1114, kRename = 1120;
constexpr int kRemove = 1121, kDown = 1119, kUp = 1118, kExport = 1117, kImport = 1116;
constexpr int kNameEdit = 1044;

PresetRecord Named(const wchar_t* name, uint32_t expoTimeUs = 1000) {
  PresetRecord r = {};
  wcsncpy(r.name, name, 127);
  r.settings.expoTime = expoTimeUs;
  return r;
}

std::vector<std::wstring> Names(const std::vector<PresetRecord>& records) {
  std::vector<std::wstring> names;
  for (const PresetRecord& r : records) names.emplace_back(r.name);
  return names;
}

// What the name dialog is given while it is open: each step types a text and presses a button.
// The dialog each step found is kept: two steps in one dialog mean it stayed open.
struct NameStep {
  std::wstring text;
  int button;  // IDOK or IDCANCEL
};
std::vector<NameStep> gNameSteps;
std::vector<HWND> gStepDialogs;

HWND FindNameDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM out) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(window, cls, 16);
        if (std::wstring(cls) == L"#32770" && GetDlgItem(window, kNameEdit) &&
            GetDlgItem(window, IDOK)) {
          *reinterpret_cast<HWND*>(out) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void CALLBACK DriveNameDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindNameDialog();
  if (!dialog) return;
  if (gNameSteps.empty()) return;
  const NameStep step = gNameSteps.front();
  gNameSteps.erase(gNameSteps.begin());
  gStepDialogs.push_back(dialog);
  SetDlgItemTextW(dialog, kNameEdit, step.text.c_str());
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(step.button, BN_CLICKED), 0);
}

// The chooser the page asks for a path: the request is kept, the path handed back.
std::wstring gChosenPath;
std::vector<OPENFILENAMEW> gRequests;
BOOL ChooseForTest(OPENFILENAMEW* request, PresetFileDialog) {
  gRequests.push_back(*request);
  if (gChosenPath.empty()) return FALSE;
  wcsncpy(request->lpstrFile, gChosenPath.c_str(), request->nMaxFile - 1);
  return TRUE;
}

std::wstring TempPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"i34_" + name;
}

class PresetPage : public ::testing::Test {
 protected:
  void SetUp() override {
    camera_ = std::make_unique<FilterWithDouble>();
    values().presets = {Named(L"A", 1000), Named(L"B", 2000), Named(L"C", 3000)};
    frame_ = std::make_unique<PageFrame>();
    page_ = std::make_unique<HostedPage>(PageRowId::Preset, camera_->object(), *frame_);
    previousChooser_ = SetFileChooser(ChooseForTest);
    gChosenPath.clear();
    gRequests.clear();
    gNameSteps.clear();
  }
  void TearDown() override {
    SetFileChooser(previousChooser_);
    page_.reset();
    frame_.reset();
    camera_.reset();
  }
  CameraValues& values() { return camera_->values(); }
  HWND list() { return page_->item(kList); }
  void select(int row) {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list(), LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (row >= 0) SendMessageW(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    PumpFor(0);
  }
  int selected() {
    return static_cast<int>(SendMessageW(list(), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
  }
  int rows() { return static_cast<int>(SendMessageW(list(), LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring rowName(int row) {
    wchar_t text[256] = {};
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  // Clicks while the name dialog is driven through steps.
  void clickWithName(int id, std::vector<NameStep> steps) {
    gNameSteps = std::move(steps);
    gStepDialogs.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, DriveNameDialog);
    page_->click(id);
    KillTimer(nullptr, timer);
  }

  std::unique_ptr<FilterWithDouble> camera_;
  std::unique_ptr<PageFrame> frame_;
  std::unique_ptr<HostedPage> page_;
  FileChooser previousChooser_ = nullptr;
};

TEST_F(PresetPage, ListsFactorySettingsAndTheRecords) {
  ASSERT_EQ(rows(), 4);
  EXPECT_EQ(rowName(0), L"Factory Settings");
  EXPECT_EQ(rowName(3), L"C");
  select(0);
  for (const auto& [id, enabled] : {std::pair{kLoad, true},
                                    {kOverwrite, false},
                                    {kRename, false},
                                    {kRemove, false},
                                    {kUp, false},
                                    {kDown, false}})
    EXPECT_EQ(page_->enabled(id), enabled) << id;
  EXPECT_TRUE(page_->enabled(kExport));
}

// Up, Down and Remove hand the reordered list to the camera and select where the record went;
// Up on the first record and Down on the last hand nothing over.
TEST_F(PresetPage, ListEditsReachTheCameraInOrder) {
  struct Case {
    int button, row;
    std::vector<std::wstring> order;
    int selectedAfter;
  };
  const Case cases[] = {
      {kUp, 2, {L"B", L"A", L"C"}, 1}, {kDown, 1, {L"A", L"B", L"C"}, 2},
      {kUp, 1, {L"A", L"B", L"C"}, 1}, {kDown, 3, {L"A", L"B", L"C"}, 3},
      {kRemove, 2, {L"A", L"C"}, -1},
  };
  for (const Case& c : cases) {
    const size_t before = values().count("put_Presets");
    select(c.row);
    page_->click(c.button);
    EXPECT_EQ(Names(values().presets), c.order) << c.button << " on " << c.row;
    const bool edited = c.selectedAfter != c.row;
    EXPECT_EQ(values().count("put_Presets"), before + (edited ? 1 : 0)) << c.button;
    EXPECT_EQ(selected(), c.selectedAfter) << c.button;
  }
}

TEST_F(PresetPage, SaveRenameAndTheNameDialog) {
  CapturedMessages messages;
  // A taken name: the camera's message, the list unchanged.
  clickWithName(kSave, {{L"B", IDOK}});
  ASSERT_EQ(messages.shown().size(), 1u);
  EXPECT_EQ(messages.shown()[0].text, L"Same name exist.");
  EXPECT_EQ(messages.shown()[0].caption, L"Error");
  EXPECT_EQ(messages.shown()[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(Names(values().presets), (std::vector<std::wstring>{L"A", L"B", L"C"}));
  // An empty name keeps the dialog open; a 300-character paste keeps 127.
  clickWithName(kSave, {{L"", IDOK}, {std::wstring(300, L'x'), IDOK}});
  ASSERT_EQ(gStepDialogs.size(), 2u);
  EXPECT_EQ(gStepDialogs[0], gStepDialogs[1]) << "the empty name kept the dialog open";
  ASSERT_EQ(values().presets.size(), 4u);
  EXPECT_EQ(std::wstring(values().presets[3].name), std::wstring(127, L'x'));
  EXPECT_EQ(rows(), 5);
  // Rename edits the record in place and hands the list over; Cancel changes nothing.
  select(2);
  clickWithName(kRename, {{L"Bee", IDOK}});
  EXPECT_EQ(std::wstring(values().presets[1].name), L"Bee");
  EXPECT_EQ(rowName(2), L"Bee");
  const size_t stores = values().count("put_Presets");
  clickWithName(kRename, {{L"Nope", IDCANCEL}});
  EXPECT_EQ(values().count("put_Presets"), stores);
}

// Load tells the frame's pages to refill (the Colour and Misc pages beside it read the camera
// again and show the loaded values); the factory row loads index -1; Overwrite stores the
// current settings into the record.
TEST_F(PresetPage, LoadTellsTheOtherPagesAndOverwriteStores) {
  values().presets[1].settings.hue = 42;
  HostedPage misc(PageRowId::Misc5, camera_->object(), *frame_);
  HostedPage colour(PageRowId::Colour, camera_->object(), *frame_);
  values().clearCalls();
  select(2);
  page_->click(kLoad);
  EXPECT_EQ(values().expoTimeUs, 2000u);
  EXPECT_EQ(values().hue, 42);
  PumpFor(50);
  EXPECT_GE(values().count("get_Speed"), 1u) << "the Misc page refilled";
  EXPECT_GE(values().count("get_Hue"), 1u) << "the Colour page refilled";
  select(0);
  page_->click(kLoad);
  EXPECT_EQ(values().last("LoadPreset"), std::vector<int64_t>{-1});
  EXPECT_EQ(values().expoTimeUs, values().expoTimeDefaultUs);
  values().expoTimeUs = 777;
  select(3);
  page_->click(kOverwrite);
  EXPECT_EQ(values().presets[2].settings.expoTime, 777u);
}

TEST_F(PresetPage, ExportWritesAFileThatReadsBack) {
  CapturedMessages messages;
  gChosenPath = TempPath(L"export.pgt");
  page_->click(kExport);
  ASSERT_EQ(gRequests.size(), 1u);
  const OPENFILENAMEW& r = gRequests[0];
  EXPECT_STREQ(r.lpstrTitle, L"Export");
  EXPECT_EQ(std::wstring(r.lpstrFilter, 45),
            std::wstring(L"Preset Files (*.pgt)\0*.pgt\0All Files (*.*)\0*.*\0", 45));
  EXPECT_TRUE(r.Flags & OFN_OVERWRITEPROMPT);
  EXPECT_TRUE(r.Flags & OFN_EXPLORER);
  EXPECT_EQ(r.nMaxFile, 260u);
  EXPECT_TRUE(messages.shown().empty());
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(gChosenPath.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 84u + 456u * 3u);
  std::vector<PresetRecord> back;
  EXPECT_EQ(LoadPresetFile(gChosenPath.c_str(), values().presetModel, back), kPresetOk);
  EXPECT_EQ(Names(back), (std::vector<std::wstring>{L"A", L"B", L"C"}));
  DeleteFileW(gChosenPath.c_str());
}

// Writes half the bytes, as a disk that fills up part-way.
size_t WriteHalf(const void* bytes, size_t size, size_t count, FILE* file) {
  return fwrite(bytes, size, count / 2, file);
}

// A file that cannot be opened, one that opens but takes no bytes, and one that takes half:
// each its message, no list handed to the camera, no partial file left behind.
TEST_F(PresetPage, ExportFailuresAreReported) {
  struct Case {
    std::wstring path;
    const wchar_t* message;
    PresetByteWriter writer;  // null: the page's own
    bool leftBehindChecked;   // a path the test may look for afterwards
  };
  const Case cases[] = {
      {L"Z:\\i34_no_such_folder\\x.pgt", L"Failed to open file.", nullptr, true},
      {L"Z:\\dev\\full", L"Generic error.", nullptr, false},
      {TempPath(L"partial.pgt"), L"Generic error.", WriteHalf, true},
  };
  for (const Case& c : cases) {
    CapturedMessages messages;
    const size_t stores = values().count("put_Presets");
    gChosenPath = c.path;
    const PresetByteWriter previous = c.writer ? SetPresetByteWriter(c.writer) : nullptr;
    page_->click(kExport);
    if (previous) SetPresetByteWriter(previous);
    ASSERT_EQ(messages.shown().size(), 1u) << c.message;
    EXPECT_EQ(messages.shown()[0].text, c.message);
    EXPECT_EQ(values().count("put_Presets"), stores) << c.message;
    if (c.leftBehindChecked) {
      EXPECT_EQ(GetFileAttributesW(c.path.c_str()), INVALID_FILE_ATTRIBUTES) << c.message;
      DeleteFileW(c.path.c_str());
    }
  }
}

TEST_F(PresetPage, ImportReplacesTheListOnlyForThisModel) {
  struct Case {
    const wchar_t* model;
    const wchar_t* message;  // null: imported
  };
  const Case cases[] = {{L"OtherCam", L"Camera model mismatch."}, {L"FakeCam", nullptr}};
  for (const Case& c : cases) {
    CapturedMessages messages;
    WCHAR16 model[kPresetNameUnits] = {};
    wcsncpy(model, c.model, kPresetNameUnits - 1);
    const std::vector<uint8_t> image = SavePresetBuffer({Named(L"X"), Named(L"Y")}, model);
    gChosenPath = TempPath(L"import.pgt");
    FILE* file = _wfopen(gChosenPath.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(image.data(), 1, image.size(), file);
    fclose(file);
    page_->click(kImport);
    EXPECT_TRUE(gRequests.back().Flags & OFN_FILEMUSTEXIST);
    EXPECT_STREQ(gRequests.back().lpstrTitle, L"Import");
    if (c.message) {
      ASSERT_EQ(messages.shown().size(), 1u);
      EXPECT_EQ(messages.shown()[0].text, c.message);
      EXPECT_EQ(Names(values().presets), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    } else {
      EXPECT_TRUE(messages.shown().empty());
      EXPECT_EQ(Names(values().presets), (std::vector<std::wstring>{L"X", L"Y"}));
      EXPECT_EQ(rows(), 3);
    }
    DeleteFileW(gChosenPath.c_str());
  }
}

TEST_F(PresetPage, WithoutRecordsExportIsDisabled) {
  select(1);
  page_->click(kRemove);
  select(1);
  page_->click(kRemove);
  select(1);
  page_->click(kRemove);
  EXPECT_TRUE(values().presets.empty());
  EXPECT_FALSE(page_->enabled(kExport));
}

}  // namespace
