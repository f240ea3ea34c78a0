// The seven resolution pages.
#include "pages/size_page.h"

#include <cstdio>
#include <algorithm>

#include "pages/page_controls.h"
#include "pages/rules/size_rules.h"

namespace {

constexpr int kOne[] = {1034};
constexpr int kTwo[] = {1034, 1035};
constexpr int kThree[] = {1034, 1035, 1036};
constexpr int kFour[] = {1034, 1035, 1036, 1038};
constexpr int kTwoStill[] = {1038, 1039};
constexpr int kThreeStill[] = {1038, 1039, 1042};
constexpr int kEight[] = {1451, 1452, 1453, 1454, 1455, 1456, 1457, 1458};
constexpr int kEightStill[] = {1461, 1462, 1463, 1464, 1465, 1466, 1467, 1468};

// The first checked radio of a group, in id order; current when none is.
uint32_t CheckedIndex(HWND dialog, std::span<const int> ids, uint32_t current) {
  bool checked[16] = {};
  const size_t n = std::min<size_t>(ids.size(), 16);
  for (size_t i = 0; i < n; ++i) checked[i] = IsChecked(dialog, ids[i]);
  return FirstCheckedIndex(std::span<const bool>(checked, n), current);
}

}  // namespace

CSizePropertyPage::CSizePropertyPage(const PageRow& row, IUnknown* outer, const SizeRadios& radios)
    : CMuiPropertyPage(row.objectName, outer, row.dialogId, row.titleId, row.camera, row.apply),
      m_radios(radios) {}

HRESULT CSizePropertyPage::OnConnect(IUnknown* object) {
  const HRESULT hr = CMuiPropertyPage::OnConnect(object);
  if (FAILED(hr)) return hr;
  uint32_t index = 0;
  if (SUCCEEDED(m_lumorix->get_eSize(&index))) m_previewIndex = index;
  index = 0;
  if (m_still && SUCCEEDED(m_still->get_eStillSize(&index))) m_stillIndex = index;
  return hr;
}

void CSizePropertyPage::CheckRadios(std::span<const int> ids, uint32_t index) {
  for (size_t i = 0; i < ids.size(); ++i) SetChecked(m_Dlg, ids[i], i == index);
}

void CSizePropertyPage::LabelRadios(std::span<const int> ids) {
  for (size_t i = 0; i < ids.size(); ++i) {
    int32_t width = 0;
    int32_t height = 0;
    if (FAILED(m_lumorix->get_Resolution(uint32_t(i), &width, &height))) continue;
    wchar_t text[48];
    std::swprintf(text, 48, L"%d * %d", width, height);
    SetDlgItemTextW(m_Dlg, ids[i], text);
  }
}

void CSizePropertyPage::OfferUsableStills() {
  if (m_radios.still.empty() || !m_still) return;
  const uint32_t stills = m_still->get_StillResolutionNumber();
  for (size_t i = 0; i < m_radios.still.size(); ++i)
    EnableItem(m_Dlg, m_radios.still[i], StillRadioEnabled(uint32_t(i), stills));
  ReadCheckedRadios();
  const uint32_t usable = UsableStillIndex(m_stillIndex, stills);
  if (usable != m_stillIndex) {
    m_stillIndex = usable;
    CheckRadios(m_radios.still, m_stillIndex);
  }
}

HRESULT CSizePropertyPage::OnActivate() {
  TranslatePage();
  if (m_lumorix) {
    if (m_still && !m_radios.still.empty())
      m_stillIndex =
          StillIndexAtActivation(m_previewIndex, m_stillIndex, m_still->get_StillResolutionNumber(),
                                 m_radios.twoSizeStill);
    CheckRadios(m_radios.preview, m_previewIndex);
    CheckRadios(m_radios.still, m_stillIndex);
    LabelRadios(m_radios.preview);
    LabelRadios(m_radios.still);  // the still group is labelled from the preview sizes
    OfferUsableStills();
  }
  m_active = 1;
  return S_OK;
}

void CSizePropertyPage::ReadCheckedRadios() {
  if (!m_Dlg) return;
  m_previewIndex = CheckedIndex(m_Dlg, m_radios.preview, m_previewIndex);
  m_stillIndex = CheckedIndex(m_Dlg, m_radios.still, m_stillIndex);
}

HRESULT CSizePropertyPage::OnApplyChanges() {
  if (!m_lumorix || (!m_radios.still.empty() && !m_still)) return E_POINTER;
  ReadCheckedRadios();
  // A size the camera or a connected pin refuses (0x80040204 while the pin's size is fixed) is no
  // error of the page: its radios go back to the size that stays, so none shows one not taken.
  uint32_t kept = 0;
  if (FAILED(m_lumorix->put_eSize(m_previewIndex)) && SUCCEEDED(m_lumorix->get_eSize(&kept))) {
    m_previewIndex = kept;
    if (m_Dlg) CheckRadios(m_radios.preview, m_previewIndex);
  }
  if (m_radios.still.empty()) return S_OK;
  if (FAILED(m_still->put_eStillSize(m_stillIndex)) && SUCCEEDED(m_still->get_eStillSize(&kept))) {
    m_stillIndex = kept;
    if (m_Dlg) CheckRadios(m_radios.still, m_stillIndex);
  }
  return S_OK;
}

INT_PTR CSizePropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Choosing a preview size on the two-size still page re-checks which stills are usable.
  if (message == WM_COMMAND && isActive() && m_radios.twoSizeStill &&
      HIWORD(wParam) == BN_CLICKED) {
    for (int id : m_radios.preview)
      if (LOWORD(wParam) == id) OfferUsableStills();
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}

#define ZX_SIZE_PAGE_BODY(Name, Base, ...) \
  Name::Name(const PageRow& row, IUnknown* outer) : Base(row, outer, SizeRadios{__VA_ARGS__}) {}
ZX_SIZE_PAGE_BODY(CSize10PropertyPage, CPreviewSizePropertyPage, kOne, {}, false)
ZX_SIZE_PAGE_BODY(CSize20PropertyPage, CPreviewSizePropertyPage, kTwo, {}, false)
ZX_SIZE_PAGE_BODY(CSize30PropertyPage, CPreviewSizePropertyPage, kThree, {}, false)
ZX_SIZE_PAGE_BODY(CSize40PropertyPage, CPreviewSizePropertyPage, kFour, {}, false)
ZX_SIZE_PAGE_BODY(CSize22PropertyPage, CStillSizePropertyPage, kTwo, kTwoStill, true)
ZX_SIZE_PAGE_BODY(CSize33PropertyPage, CStillSizePropertyPage, kThree, kThreeStill, false)
ZX_SIZE_PAGE_BODY(CSize88PropertyPage, CStillSizePropertyPage, kEight, kEightStill, false)
#undef ZX_SIZE_PAGE_BODY
