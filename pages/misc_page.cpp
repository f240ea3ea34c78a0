// The Misc pages' shared body: every control acts only when its dialog's feature flag is set.
#include "pages/misc_page.h"

#include <commctrl.h>

#include <cwchar>

#include "pages/framework/page_broadcast.h"
#include "pages/framework/page_messages.h"
#include "pages/localisation/mui_language.h"
#include "pages/mui_resources.h"
#include "pages/page_controls.h"
#include "pages/radio_group.h"

namespace {

constexpr int kSpeedBar = 1445;
constexpr int kHFlip = 1222;
constexpr int kVFlip = 1223;
constexpr int kContrastBar = 1075;
constexpr int kGammaBar = 1074;
constexpr int kContrastLabel = 1072;
constexpr int kGammaLabel = 1071;
constexpr int kContrastGammaDefaults = 1023;
constexpr int kLowBits = 1003;
constexpr int kHighBits = 1002;

constexpr int32_t kContrastMin = -100, kContrastMax = 100, kContrastDefault = 0;
constexpr int32_t kGammaMin = 20, kGammaMax = 180, kGammaDefault = 100;

constexpr RadioChoice kChromeRadios[] = {{1007, 0}, {1008, 1}};            // colour, grey
constexpr RadioChoice kLightRadios[] = {{1047, 0}, {1046, 1}, {1045, 2}};  // 60 Hz, 50 Hz, DC
constexpr RadioChoice kSkipRadios[] = {{1320, 0}, {1321, 1}};              // bin, skip
constexpr RadioChoice kBitDepthRadios[] = {{kLowBits, 0}, {kHighBits, 1}};

}  // namespace

CMiscPropertyPage::CMiscPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId,
                                     MiscFeatures features)
    : CMuiPropertyPage(name, outer, dialogId, titleId), m_features(features) {}

HRESULT CMiscPropertyPage::OnConnect(IUnknown* object) {
  const HRESULT hr = CMuiPropertyPage::OnConnect(object);
  if (FAILED(hr)) return hr;
  m_highBitDepth = m_lumorix->get_MaxBitDepth() > 8 ? 1 : 0;
  return hr;
}

HRESULT CMiscPropertyPage::OnActivate() {
  TranslatePage();
  if (m_features.contrastGamma) {
    SetTrackbarRange(m_Dlg, kContrastBar, kContrastMin, kContrastMax);
    SetTrackbarRange(m_Dlg, kGammaBar, kGammaMin, kGammaMax);
  }
  // A host may activate the page without a camera (no objects, several, or a refused one):
  // the page then shows its controls as they are.
  if (m_lumorix) {
    SetTrackbarRange(m_Dlg, kSpeedBar, 0, static_cast<int32_t>(m_lumorix->get_MaxSpeed()));
    RefreshMiscPage();
  }
  m_active = 1;
  return S_OK;
}

void CMiscPropertyPage::ShowGamma(int32_t gamma) {
  SetDlgItemTextW(m_Dlg, kGammaLabel, FormatNumber(L"%.2f", gamma / 100.0).c_str());
}

void CMiscPropertyPage::ShowContrast(int32_t contrast) {
  SetDlgItemInt(m_Dlg, kContrastLabel, static_cast<UINT>(contrast), TRUE);
}

void CMiscPropertyPage::FollowAutoExposure() {
  uint32_t autoOn = 0;
  m_lumorix->get_AutoExpoEnable(&autoOn);
  EnableRadios(m_Dlg, kLightRadios, autoOn == 0);
}

void CMiscPropertyPage::RefreshBitDepth() {
  LoadLanguage(langId());
  const WStringView format = ProcessMuiLanguage().translateFormat(L"%u Bits");
  const WString bitsFormat(format);
  wchar_t text[64];
  std::swprintf(text, 64, bitsFormat.c_str(), 8u);
  SetDlgItemTextW(m_Dlg, kLowBits, text);
  std::swprintf(text, 64, bitsFormat.c_str(), m_lumorix->get_MaxBitDepth());
  SetDlgItemTextW(m_Dlg, kHighBits, text);
  uint32_t high = 0;
  m_lumorix->get_BitDepth(&high);
  CheckRadioOf(m_Dlg, kBitDepthRadios, high != 0 ? 1 : 0);
}

void CMiscPropertyPage::RefreshMiscPage() {
  uint16_t speed = 0;
  m_lumorix->get_Speed(&speed);
  SetTrackbarPos(m_Dlg, kSpeedBar, speed);
  uint32_t value = 0;
  if (m_features.powerFrequency && m_lumorix->get_LightFrequency(&value) == S_OK) {
    CheckRadioOf(m_Dlg, kLightRadios, static_cast<int32_t>(value));
    FollowAutoExposure();
  }
  if (m_features.colourGrey && SUCCEEDED(m_lumorix->get_Chrome(&value)))
    CheckRadioOf(m_Dlg, kChromeRadios, value != 0 ? 1 : 0);
  uint32_t flip = 0;
  m_lumorix->get_VFlip(&flip);
  CheckDlgButton(m_Dlg, kVFlip, flip ? BST_CHECKED : BST_UNCHECKED);
  flip = 0;
  m_lumorix->get_HFlip(&flip);
  CheckDlgButton(m_Dlg, kHFlip, flip ? BST_CHECKED : BST_UNCHECKED);
  if (m_features.binSkip && SUCCEEDED(m_lumorix->get_Skip(&value)))
    CheckRadioOf(m_Dlg, kSkipRadios, value != 0 ? 1 : 0);
  if (m_features.contrastGamma) {
    int32_t contrast = kContrastDefault, gamma = kGammaDefault;
    m_lumorix->get_Contrast(&contrast);
    m_lumorix->get_Gamma(&gamma);
    SetTrackbarPos(m_Dlg, kContrastBar, contrast);
    ShowContrast(contrast);
    SetTrackbarPos(m_Dlg, kGammaBar, gamma);
    ShowGamma(gamma);
  }
  if (m_highBitDepth) RefreshBitDepth();
}

void CMiscPropertyPage::OnCommand(int id) {
  ILumorix* camera = m_lumorix.get();
  const bool checked = IsDlgButtonChecked(m_Dlg, id) == BST_CHECKED;
  if (id == kHFlip) camera->put_HFlip(checked ? 1 : 0);
  if (id == kVFlip) camera->put_VFlip(checked ? 1 : 0);
  if (const RadioChoice* c = RadioOf(kBitDepthRadios, id); c && m_highBitDepth) {
    camera->put_BitDepth(c->value);
    BroadcastToFrame(m_Dlg, kMsgBitDepthChanged);
  }
  if (const RadioChoice* c = RadioOf(kChromeRadios, id); c && m_features.colourGrey)
    camera->put_Chrome(static_cast<uint32_t>(c->value));
  if (const RadioChoice* c = RadioOf(kLightRadios, id); c && m_features.powerFrequency) {
    camera->put_LightFrequency(static_cast<uint32_t>(c->value));
    BroadcastToFrame(m_Dlg, kMsgRefreshExposureLabel);
  }
  if (const RadioChoice* c = RadioOf(kSkipRadios, id); c && m_features.binSkip)
    camera->put_Skip(static_cast<uint32_t>(c->value));
  if (id == kContrastGammaDefaults && m_features.contrastGamma) {
    SetTrackbarPos(m_Dlg, kContrastBar, kContrastDefault);
    ShowContrast(kContrastDefault);
    SetTrackbarPos(m_Dlg, kGammaBar, kGammaDefault);
    ShowGamma(kGammaDefault);
    camera->put_Contrast(kContrastDefault);
    camera->put_Gamma(kGammaDefault);
  }
}

void CMiscPropertyPage::OnScroll(HWND bar) {
  const int id = GetDlgCtrlID(bar);
  const int32_t position = TrackbarPos(m_Dlg, id);
  if (id == kSpeedBar) m_lumorix->put_Speed(static_cast<uint16_t>(position & 0xFF));
  if (!m_features.contrastGamma) return;
  if (id == kGammaBar) {
    ShowGamma(position);
    m_lumorix->put_Gamma(position);
  }
  if (id == kContrastBar) {
    ShowContrast(position);
    m_lumorix->put_Contrast(position);
  }
}

INT_PTR CMiscPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (isActive() && m_lumorix && HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return 1;
    case WM_HSCROLL:
      if (isActive() && m_lumorix && lParam) OnScroll(reinterpret_cast<HWND>(lParam));
      break;
    case kMsgAutoExposureChanged:
      if (m_lumorix && m_features.powerFrequency) {
        uint32_t value = 0;
        if (m_lumorix->get_LightFrequency(&value) == S_OK) FollowAutoExposure();
      }
      return 1;
    case kMsgSettingsChanged:
      if (m_lumorix && m_Dlg) RefreshMiscPage();
      return 1;
    default:
      break;
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
