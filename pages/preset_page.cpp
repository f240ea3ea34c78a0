// The Preset page: a list view over the camera's presets and the buttons that edit them.
#include "pages/preset_page.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>

#include "pages/framework/page_broadcast.h"
#include "pages/framework/page_messages.h"
#include "pages/message_box_translated.h"
#include "pages/mui_resources.h"
#include "pages/preset_file_chooser.h"
#include "pages/preset_name_dialog.h"
#include "pages/rules/preset_list_rules.h"
#include "pipeline/store/preset_store.h"

namespace {

constexpr int kList = 1005;
constexpr int kLoad = 1113, kSave = 1112, kOverwrite = 1114, kRename = 1120, kRemove = 1121;
constexpr int kDown = 1119, kUp = 1118, kExport = 1117, kImport = 1116;
constexpr int kIndexColumnWidth = 50;
constexpr int kNameColumnMargin = 60;
constexpr size_t kSaveNameChars = 256;
constexpr int32_t kGenericError = -1;

void SetRowText(HWND list, int row, int column, const wchar_t* text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text);
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void AddRow(HWND list, int row, const wchar_t* name) {
  wchar_t index[16];
  std::swprintf(index, 16, L"%u", static_cast<unsigned>(row + 1));
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = index;
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  SetRowText(list, row, 1, name);
}

void AddColumn(HWND list, int column, const wchar_t* title, int width) {
  LVCOLUMNW c = {};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  c.pszText = const_cast<wchar_t*>(title);
  c.cx = width;
  c.iSubItem = column;
  SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&c));
}

std::atomic<PresetByteWriter> gByteWriter{nullptr};

// Writes the whole image and closes the file; false when any byte or the close failed.
bool WriteWhole(FILE* file, const std::vector<uint8_t>& image) {
  const PresetByteWriter writer = gByteWriter.load();
  const size_t written = (writer ? writer : std::fwrite)(image.data(), 1, image.size(), file);
  // Buffered bytes may fail only at the flush; a close does not always report it.
  const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
  const bool closed = std::fclose(file) == 0;
  return written == image.size() && flushed && closed;
}

}  // namespace

PresetByteWriter SetPresetByteWriter(PresetByteWriter writer) {
  const PresetByteWriter old = gByteWriter.exchange(writer);
  return old ? old : std::fwrite;
}

CPresetPropertyPage::CPresetPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId,
                                         int titleId)
    : CMuiPropertyPage(name, outer, dialogId, titleId, PageCamera::Preset) {}

HWND CPresetPropertyPage::List() const {
  return m_Dlg ? GetDlgItem(m_Dlg, kList) : nullptr;
}

HRESULT CPresetPropertyPage::OnConnect(IUnknown* object) {
  const HRESULT hr = CMuiPropertyPage::OnConnect(object);
  if (FAILED(hr)) return hr;
  m_preset->get_PresetModel(m_model);
  m_model[kPresetNameUnits - 1] = 0;
  RefillPresetList(-1);
  return hr;
}

HRESULT CPresetPropertyPage::OnActivate() {
  TranslatePage();
  m_active = 1;
  HWND list = List();
  if (list) {
    RECT client = {};
    GetClientRect(list, &client);
    AddColumn(list, 0, TranslateString(langId(), L"Index"), kIndexColumnWidth);
    AddColumn(list, 1, TranslateString(langId(), L"Name"), client.right - kNameColumnMargin);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  }
  if (m_preset) RefillPresetList(-1);
  return S_OK;
}

void CPresetPropertyPage::ReloadPresets() {
  m_presets.clear();
  // No camera holds more records than one preset buffer carries; a larger count is not believed.
  constexpr uint32_t kMaxRecords = kPresetMaxBytes / sizeof(PresetRecord);
  const uint32_t count = std::min(m_preset->get_PresetCount(), kMaxRecords);
  for (uint32_t i = 0; i < count; ++i) {
    PresetRecord record = {};
    if (FAILED(m_preset->get_Preset(i, &record))) break;
    record.name[std::size(record.name) - 1] = 0;
    m_presets.push_back(record);
  }
}

void CPresetPropertyPage::RefillPresetList(int32_t select) {
  ReloadPresets();
  HWND list = List();
  if (!list) return;
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  AddRow(list, 0, TranslateString(langId(), L"Factory Settings"));
  for (size_t i = 0; i < m_presets.size(); ++i)
    AddRow(list, static_cast<int>(i + 1), m_presets[i].name);
  if (select >= 0) {
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, select, reinterpret_cast<LPARAM>(&state));
  }
  EnablePresetButtons();
}

int32_t CPresetPropertyPage::SelectedRow() const {
  HWND list = List();
  if (!list || SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1) return -1;
  return static_cast<int32_t>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

void CPresetPropertyPage::EnablePresetButtons() {
  HWND list = List();
  if (!list) return;
  const auto selected = static_cast<uint32_t>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
  const auto row = static_cast<int32_t>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
  const PresetButtons b = ::EnablePresetButtons(selected, row, m_presets.size());
  const std::pair<int, bool> states[] = {
      {kLoad, b.load}, {kOverwrite, b.overwrite}, {kRename, b.rename},    {kRemove, b.remove},
      {kUp, b.up},     {kDown, b.down},           {kExport, b.exportFile}};
  for (const auto& [id, enabled] : states) EnableWindow(GetDlgItem(m_Dlg, id), enabled);
}

void CPresetPropertyPage::ShowPresetError(int32_t code) {
  MessageBoxTranslated(langId(), m_Dlg, L"%s", L"Error", MB_ICONEXCLAMATION,
                       TranslateString(langId(), PresetErrorText(code)));
}

bool CPresetPropertyPage::StorePresets() {
  const HRESULT hr =
      m_preset->put_Presets(m_presets.data(), static_cast<uint32_t>(m_presets.size()));
  if (FAILED(hr)) ShowPresetError(hr);
  return SUCCEEDED(hr);
}

void CPresetPropertyPage::Load(int32_t row) {
  if (row < 0) return;
  const HRESULT hr = m_preset->LoadPreset(static_cast<uint32_t>(row - 1));
  if (FAILED(hr)) return ShowPresetError(hr);
  BroadcastToFrame(m_Dlg, kMsgSettingsChanged);
}

void CPresetPropertyPage::Save(int32_t row) {
  wchar_t name[kSaveNameChars] = {};
  if (!EditPresetName(m_Dlg, langId(), name)) return;
  const HRESULT hr = m_preset->AddPreset(name);
  if (FAILED(hr)) return ShowPresetError(hr);
  RefillPresetList(row);
}

void CPresetPropertyPage::Overwrite(int32_t row) {
  if (row < 1) return;
  const HRESULT hr = m_preset->OverwritePreset(static_cast<uint32_t>(row - 1));
  if (FAILED(hr)) return ShowPresetError(hr);
  ReloadPresets();
}

void CPresetPropertyPage::Rename(int32_t row) {
  if (row < 1 || static_cast<size_t>(row) > m_presets.size()) return;
  PresetRecord& record = m_presets[static_cast<size_t>(row - 1)];
  if (!EditPresetName(m_Dlg, langId(), record.name)) return;
  if (StorePresets()) SetRowText(List(), row, 1, record.name);
}

void CPresetPropertyPage::Import() {
  wchar_t path[kPresetPathChars];
  if (!ChoosePresetFile(m_Dlg, langId(), PresetFileDialog::Import, path)) return;
  const int32_t result = LoadPresetFile(path, m_model, m_presets);
  if (result != kPresetOk) return ShowPresetError(result);
  StorePresets();
  RefillPresetList(-1);
}

void CPresetPropertyPage::Export() {
  wchar_t path[kPresetPathChars];
  if (!ChoosePresetFile(m_Dlg, langId(), PresetFileDialog::Export, path)) return;
  const std::vector<uint8_t> image = SavePresetBuffer(m_presets, m_model);
  if (image.empty()) return ShowPresetError(kGenericError);
  FILE* file = _wfopen(path, L"wb");
  if (!file) return ShowPresetError(kPresetNoFile);
  if (!WriteWhole(file, image)) {
    _wremove(path);  // a truncated file must not pass for an export
    return ShowPresetError(kGenericError);
  }
  StorePresets();
  RefillPresetList(-1);
}

void CPresetPropertyPage::OnButton(int id) {
  const int32_t row = SelectedRow();
  switch (id) {
    case kLoad:
      return Load(row);
    case kSave:
      return Save(row);
    case kOverwrite:
      return Overwrite(row);
    case kRename:
      return Rename(row);
    case kImport:
      return Import();
    case kExport:
      return Export();
    default:
      break;
  }
  const PresetEdit edit = id == kUp     ? PresetEdit::Up
                          : id == kDown ? PresetEdit::Down
                                        : PresetEdit::Remove;
  if (id != kUp && id != kDown && id != kRemove) return;
  const auto next = ApplyPresetEdit(edit, m_presets, row);
  if (!next) return;
  StorePresets();
  RefillPresetList(*next);
}

INT_PTR CPresetPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->idFrom == kList && header->code == LVN_ITEMCHANGED)
        EnablePresetButtons();
      break;
    }
    case WM_COMMAND:
      if (isActive() && m_preset && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= kSave &&
          LOWORD(wParam) <= kRemove)
        OnButton(LOWORD(wParam));
      return 1;
    default:
      break;
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
