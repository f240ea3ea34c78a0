// The colour page.
#include "pages/colour_page.h"

#include <commctrl.h>

#include <cstdio>

#include "pages/framework/page_callbacks.h"
#include "pages/framework/page_messages.h"
#include "pages/page_controls.h"

namespace {

constexpr int kTemperature = 1062;
constexpr int kTint = 1066;
constexpr int kHue = 1156;
constexpr int kSaturation = 1076;
constexpr int kBrightness = 1157;
constexpr int kContrast = 1075;
constexpr int kGamma = 1074;
constexpr int kOnePush = 1055;
constexpr int kWhiteBalanceDefaults = 1060;
constexpr int kHueDefaults = 1010;
constexpr int kContrastDefaults = 1023;

constexpr int32_t kDefaultTemperature = 6503;
constexpr int32_t kDefaultTint = 1000;
constexpr int32_t kDefaultSaturation = 128;
constexpr int32_t kDefaultGamma = 100;

// One trackbar: its value label, range and the setter a movement calls (null: white balance,
// whose two trackbars go together).
struct ColourControl {
  int trackbar;
  int label;
  int32_t lowest;
  int32_t highest;
  HRESULT (*put)(ILumorix* camera, int32_t value);
};

const ColourControl kControls[] = {
    {kTemperature, 1065, 2000, 15000, nullptr},
    {kTint, 1068, 200, 2500, nullptr},
    {kHue, 1160, -180, 180, [](ILumorix* c, int32_t v) { return c->put_Hue(v); }},
    {kSaturation, 1073, 0, 255,
     [](ILumorix* c, int32_t v) { return c->put_Saturation(uint32_t(v)); }},
    {kBrightness, 1164, -64, 64, [](ILumorix* c, int32_t v) { return c->put_Brightness(v); }},
    {kContrast, 1072, -100, 100, [](ILumorix* c, int32_t v) { return c->put_Contrast(v); }},
    {kGamma, 1071, 20, 180, [](ILumorix* c, int32_t v) { return c->put_Gamma(v); }},
};

const ColourControl* ControlOf(int trackbar) {
  for (const ColourControl& control : kControls)
    if (control.trackbar == trackbar) return &control;
  return nullptr;
}

}  // namespace

CColorBasePropertyPage::CColorBasePropertyPage(const PageRow& row, IUnknown* outer)
    : CMuiPropertyPage(row.objectName, outer, row.dialogId, row.titleId, row.camera, row.apply) {
  EnsureCommonControls();
}

CColorPropertyPage::CColorPropertyPage(const PageRow& row, IUnknown* outer)
    : CColorBasePropertyPage(row, outer) {}

void CColorPropertyPage::Show(int trackbarId, int32_t value) {
  const ColourControl* control = ControlOf(trackbarId);
  if (!control) return;
  SetTrackbarPos(m_Dlg, trackbarId, value);
  wchar_t text[32];
  if (trackbarId == kGamma)
    std::swprintf(text, 32, L"%.2f", value / 100.0);
  else
    std::swprintf(text, 32, L"%d", value);
  SetDlgItemTextW(m_Dlg, control->label, text);
}

void CColorPropertyPage::RefreshColourPage() {
  if (!m_lumorix) return;
  int32_t temperature = kDefaultTemperature;
  int32_t tint = kDefaultTint;
  if (SUCCEEDED(m_lumorix->get_TempTint(&temperature, &tint))) {
    Show(kTemperature, temperature);
    Show(kTint, tint);
  }
  int32_t value = 0;
  if (SUCCEEDED(m_lumorix->get_Hue(&value))) Show(kHue, value);
  uint32_t saturation = kDefaultSaturation;
  if (SUCCEEDED(m_lumorix->get_Saturation(&saturation))) Show(kSaturation, int32_t(saturation));
  value = 0;
  if (SUCCEEDED(m_lumorix->get_Brightness(&value))) Show(kBrightness, value);
  value = 0;
  if (SUCCEEDED(m_lumorix->get_Contrast(&value))) Show(kContrast, value);
  value = kDefaultGamma;
  if (SUCCEEDED(m_lumorix->get_Gamma(&value))) Show(kGamma, value);
}

HRESULT CColorPropertyPage::OnActivate() {
  TranslatePage();
  for (const ColourControl& control : kControls)
    SetTrackbarRange(m_Dlg, control.trackbar, control.lowest, control.highest);
  RefreshColourPage();
  m_active = 1;
  return S_OK;
}

void CColorPropertyPage::OnScroll(HWND trackbar) {
  const ColourControl* control = ControlOf(GetDlgCtrlID(trackbar));
  if (!control || !m_lumorix) return;
  const int32_t pos = TrackbarPos(m_Dlg, control->trackbar);
  Show(control->trackbar, pos);
  if (control->put) {
    control->put(m_lumorix.get(), pos);
    return;
  }
  m_lumorix->put_TempTint(TrackbarPos(m_Dlg, kTemperature), TrackbarPos(m_Dlg, kTint));
}

bool CColorPropertyPage::OnButton(int id) {
  switch (id) {
    case kOnePush:
      m_lumorix->AwbOnePush(TempTintCallback, m_Dlg);
      return true;
    case kWhiteBalanceDefaults:
      Show(kTemperature, kDefaultTemperature);
      Show(kTint, kDefaultTint);
      m_lumorix->put_TempTint(kDefaultTemperature, kDefaultTint);
      return true;
    case kHueDefaults:
      Show(kHue, 0);
      Show(kSaturation, kDefaultSaturation);
      Show(kBrightness, 0);
      m_lumorix->put_Hue(0);
      m_lumorix->put_Saturation(kDefaultSaturation);
      m_lumorix->put_Brightness(0);
      return true;
    case kContrastDefaults:
      Show(kContrast, 0);
      Show(kGamma, kDefaultGamma);
      m_lumorix->put_Contrast(0);
      m_lumorix->put_Gamma(kDefaultGamma);
      return true;
    default:
      return false;
  }
}

INT_PTR CColorPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  switch (message) {
    case WM_HSCROLL:
      if (isActive() && lParam) OnScroll(reinterpret_cast<HWND>(lParam));
      break;
    case WM_COMMAND:
      if (isActive() && m_lumorix && HIWORD(wParam) == BN_CLICKED && OnButton(LOWORD(wParam)))
        return 1;
      break;
    case kMsgTempTint:
      // The camera has applied the one-push result already.
      Show(kTemperature, static_cast<int32_t>(wParam));
      Show(kTint, static_cast<int32_t>(lParam));
      return 1;
    case kMsgSettingsChanged:
      RefreshColourPage();
      return 1;
    default:
      break;
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
