// The Cooling page: switch and target of the cooler, fan speed, status lines each second.
#include "pages/cooling_page.h"

#include <commctrl.h>

#include <cwchar>
#include <string>

#include "core/lumorix_options.h"
#include "pages/framework/page_messages.h"
#include "pages/message_box_translated.h"
#include "pages/mui_resources.h"
#include "pages/page_controls.h"
#include "pages/radio_group.h"
#include "pages/rules/cooling_rules.h"

namespace {

constexpr int kTecOn = 1036;
constexpr int kTecOff = 1038;
constexpr int kTarget = 1044;
constexpr int kFanBar = 1445;
constexpr int kTemperatureLine = 1453;
constexpr int kPowerLine = 1454;
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusPeriodMs = 1000;
constexpr size_t kTargetChars = 256;

constexpr RadioChoice kTecRadios[] = {{kTecOff, 0}, {kTecOn, 1}};

}  // namespace

CCoolingPropertyPage::CCoolingPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId,
                                           int titleId)
    : CMuiPropertyPage(name, outer, dialogId, titleId) {}

bool CCoolingPropertyPage::HasTec() const {
  return m_lumorix->get_Tec(nullptr) != E_NOTIMPL;
}

HRESULT CCoolingPropertyPage::OnActivate() {
  TranslatePage();
  if (m_lumorix) RefreshCoolingPage();
  SetTimer(m_Dlg, kStatusTimer, kStatusPeriodMs, nullptr);
  m_active = 1;
  return S_OK;
}

void CCoolingPropertyPage::RefreshCoolingPage() {
  uint16_t speed = 0;
  HWND fan = GetDlgItem(m_Dlg, kFanBar);
  if (m_lumorix->get_FanSpeed(&speed) != E_NOTIMPL) {
    EnableWindow(fan, TRUE);
    SendMessageW(fan, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(fan, TBM_SETRANGEMAX, TRUE, static_cast<LPARAM>(m_lumorix->get_FanMaxSpeed()));
    SendMessageW(fan, TBM_SETPOS, TRUE, speed);
  } else {
    EnableWindow(fan, FALSE);
  }
  uint32_t on = 0;
  const bool supported = m_lumorix->get_Tec(&on) != E_NOTIMPL;
  CheckRadioOf(m_Dlg, kTecRadios, on ? 1 : 0);
  EnableRadios(m_Dlg, kTecRadios, supported);
  EnableWindow(GetDlgItem(m_Dlg, kTarget), supported && on);
  if (supported) {
    int32_t target = 0;
    m_lumorix->get_TecTarget(&target);
    SetDlgItemTextW(m_Dlg, kTarget, FormatNumber(L"%.1f", target / 10.0).c_str());
  } else {
    SetDlgItemTextW(m_Dlg, kTarget, L"");
  }
  ShowCoolingStatus();
}

void CCoolingPropertyPage::ShowCoolingStatus() {
  int16_t tenths = 0;
  if (SUCCEEDED(m_lumorix->get_Temperature(&tenths))) {
    const std::wstring line =
        CoolingStatusLine(TranslateString(langId(), L"Current Temperature"), tenths / 10.0);
    SetDlgItemTextW(m_Dlg, kTemperatureLine, line.c_str());
  } else {
    SetDlgItemTextW(m_Dlg, kTemperatureLine, L"");
  }
  int32_t maximum = 0, power = 0;
  m_lumorix->get_Option(LUMORIX_OPTION_TEC_INFO, &maximum);
  if (maximum < 1) return;
  m_lumorix->get_Option(LUMORIX_OPTION_TEC_READING, &power);
  if (const auto percent = CoolingPowerPercent(maximum, power)) {
    const std::wstring line =
        CoolingStatusLine(TranslateString(langId(), L"Cooling Power"), *percent);
    SetDlgItemTextW(m_Dlg, kPowerLine, line.c_str());
  }
}

void CCoolingPropertyPage::ShowTecState() {
  uint32_t on = 1;
  if (m_lumorix->get_Tec(&on) == E_NOTIMPL) return;
  CheckRadioOf(m_Dlg, kTecRadios, on ? 1 : 0);
  EnableWindow(GetDlgItem(m_Dlg, kTarget), on != 0);
}

HRESULT CCoolingPropertyPage::ApplyTecTarget() {
  uint32_t on = 1;
  m_lumorix->get_Tec(&on);
  if (!on) return S_OK;
  if (m_lumorix->get_TecTarget(nullptr) == E_NOTIMPL) return S_OK;
  wchar_t text[kTargetChars] = {};
  GetDlgItemTextW(m_Dlg, kTarget, text, static_cast<int>(kTargetChars));
  const TecTarget target = ParseTecTarget(text);
  switch (target.status) {
    case TecTargetStatus::Empty:
      return S_OK;
    case TecTargetStatus::Ok:
      m_lumorix->put_TecTarget(target.tenths);
      return S_OK;
    case TecTargetStatus::Invalid:
      FocusItem(m_Dlg, kTarget);
      MessageBoxTranslated(langId(), m_Dlg, L"The input value is invalid.", L"Error",
                           MB_ICONEXCLAMATION);
      return E_UNEXPECTED;
    case TecTargetStatus::OutOfRange:
      FocusItem(m_Dlg, kTarget);
      MessageBoxTranslated(langId(), m_Dlg, L"The input value is out of range [%.1f, %.1f].",
                           L"Error", MB_ICONEXCLAMATION, kTecTargetMinC, kTecTargetMaxC);
      return E_UNEXPECTED;
  }
  return S_OK;
}

HRESULT CCoolingPropertyPage::OnApplyChanges() {
  if (!m_lumorix) return E_POINTER;
  return m_Dlg ? ApplyTecTarget() : S_OK;
}

void CCoolingPropertyPage::OnCommand(int id, int code) {
  if (id == kTarget && code == EN_CHANGE) MarkDirty();
  if (code != BN_CLICKED || (id != kTecOn && id != kTecOff) || !HasTec()) return;
  const bool on = id == kTecOn;
  m_lumorix->put_Tec(on ? 1 : 0);
  EnableWindow(GetDlgItem(m_Dlg, kTarget), on);
  uint16_t speed = 0;
  if (on && SUCCEEDED(m_lumorix->get_FanSpeed(&speed)))
    SendDlgItemMessageW(m_Dlg, kFanBar, TBM_SETPOS, TRUE, speed);
}

INT_PTR CCoolingPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      m_targetEnter.message = kMsgEnterKey1;
      SubclassEnterKey(&m_targetEnter, hwnd, GetDlgItem(hwnd, kTarget));
      break;
    case WM_TIMER:
      if (wParam == kStatusTimer && m_lumorix) ShowCoolingStatus();
      return 0;
    case WM_HSCROLL:
      if (m_lumorix && lParam && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kFanBar) {
        const auto position = SendMessageW(reinterpret_cast<HWND>(lParam), TBM_GETPOS, 0, 0);
        m_lumorix->put_FanSpeed(static_cast<uint16_t>(position & 0xFFFF));
        ShowTecState();
      }
      break;
    case WM_COMMAND:
      if (isActive() && m_lumorix) OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 1;
    case kMsgEnterKey1:
      if (m_lumorix) ApplyTecTarget();
      return 1;
    case kMsgSettingsChanged:
      if (m_lumorix) RefreshCoolingPage();
      return 1;
    default:
      break;
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
