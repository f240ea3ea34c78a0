// The exposure page.
#include "pages/exposure_page.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>

#include "dshow/base/moduleinstance.h"
#include "pages/framework/page_broadcast.h"
#include "pages/framework/page_callbacks.h"
#include "pages/framework/page_messages.h"
#include "pages/message_box_translated.h"
#include "pages/mui_resources.h"
#include "pages/page_controls.h"
#include "pages/rules/ae_limits.h"
#include "pages/rules/exposure_scale.h"
#include "pages/rules/range_label.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kExposureDefaults = 1006;
constexpr int kAutoExposure = 1048;
constexpr int kTarget = 1049;
constexpr int kTargetLabel = 1052;
constexpr int kExposure = 1051;
constexpr int kExposureButton = 1054;
constexpr int kGain = 1053;
constexpr int kGainLabel = 1058;
constexpr int kPolicy = 1108;
constexpr int kMaxTime = 1044;
constexpr int kMaxTimeUpDown = 1447;
constexpr int kMaxTimeRange = 1453;
constexpr int kMaxGain = 1449;
constexpr int kMaxGainUpDown = 1448;
constexpr int kMaxGainRange = 1454;
constexpr int kThreshold = 1107;
constexpr int kThresholdUpDown = 1109;
constexpr int kThresholdRange = 1463;
constexpr int kAeDefaults = 1110;

constexpr int32_t kTargetLowest = 16;
constexpr int32_t kTargetHighest = 220;
constexpr uint16_t kTargetDefault = 120;

const wchar_t* const kPolicies[] = {L"Exposure Only", L"Exposure Preferred", L"Gain Only",
                                    L"Gain Preferred"};

}  // namespace

CExposureBasePropertyPage::CExposureBasePropertyPage(const PageRow& row, IUnknown* outer)
    : CMuiPropertyPage(row.objectName, outer, row.dialogId, row.titleId, row.camera, row.apply) {
  EnsureCommonControls();
}

CExposurePropertyPage::CExposurePropertyPage(const PageRow& row, IUnknown* outer)
    : CExposureBasePropertyPage(row, outer) {
  for (UINT i = 0; i < 3; ++i) m_enterKeys[i].message = kMsgEnterKey1 + i;
}

HRESULT CExposurePropertyPage::OnConnect(IUnknown* object) {
  HRESULT hr = CMuiPropertyPage::OnConnect(object);
  if (FAILED(hr)) return hr;
  hr = m_lumorix->get_ExpTimeRange(&m_timeMinUs, &m_timeMaxUs, &m_timeDefaultUs);
  if (FAILED(hr)) return hr;
  hr = m_lumorix->get_ExpoAGainRange(&m_gainMin, &m_gainMax, &m_gainDefault);
  m_active = 0;
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CExposurePropertyPage::OnActivate() {
  TranslatePage();
  if (m_lumorix) {
    m_lumorix->put_ExpoCallback(PageNotifyCallback, m_Dlg);
    SetTrackbarRange(m_Dlg, kTarget, kTargetLowest, kTargetHighest);
    SendDlgItemMessageW(m_Dlg, kPolicy, CB_RESETCONTENT, 0, 0);
    for (const wchar_t* policy : kPolicies)
      SendDlgItemMessageW(m_Dlg, kPolicy, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(TranslateString(langId(), policy)));
    const ExposureScale scale = ExposureScaleOf(m_timeMinUs, m_timeMaxUs);
    SetTrackbarRange(m_Dlg, kExposure, int32_t(scale.minPos), int32_t(scale.maxPos));
    SetTrackbarRange(m_Dlg, kGain, m_gainMin, m_gainMax);
    RefreshExposurePage();
  }
  m_active = 1;
  return S_OK;
}

HRESULT CExposurePropertyPage::OnDeactivate() {
  if (m_lumorix) m_lumorix->put_ExpoCallback(nullptr, nullptr);
  m_active = 0;
  return S_OK;
}

HRESULT CExposurePropertyPage::OnApplyChanges() {
  if (!m_lumorix) return E_POINTER;
  HRESULT hr = ApplyAeLimits();
  if (FAILED(hr)) return hr;
  hr = ApplyAeThreshold();
  if (FAILED(hr)) return hr;
  const LRESULT policy = SendDlgItemMessageW(m_Dlg, kPolicy, CB_GETCURSEL, 0, 0);
  m_lumorix->put_Option(LUMORIX_OPTION_AUTOEXP_POLICY, static_cast<int32_t>(policy));
  return S_OK;
}

void CExposurePropertyPage::ShowTarget(uint16_t target) {
  SetTrackbarPos(m_Dlg, kTarget, target);
  SetDlgItemInt(m_Dlg, kTargetLabel, target, FALSE);
}

void CExposurePropertyPage::ShowGain(uint16_t gain) {
  SetTrackbarPos(m_Dlg, kGain, gain);
  // A camera that reports no minimum gain shows the gain in percent of 100.
  const double unit = m_gainMin ? m_gainMin : 100.0;
  SetDialogItemText(m_Dlg, kGainLabel, FormatNumber(L"%.2f", gain / unit));
}

void CExposurePropertyPage::ShowExposureLabel() {
  uint32_t realUs = m_timeUs;
  if (!m_lumorix || FAILED(m_lumorix->get_RealExpoTime(&realUs))) return;
  if (realUs == m_shownRealUs) return;
  m_shownRealUs = realUs;
  SetDialogItemText(m_Dlg, kExposureButton, FormatNumber(L"%.3fms", realUs / 1000.0));
  InvalidateRect(GetDlgItem(m_Dlg, kExposureButton), nullptr, TRUE);
}

void CExposurePropertyPage::ShowRangeLabels() {
  const WString range = TranslateString(langId(), L"Range:");
  const WString word = TranslateString(langId(), L"Default");
  uint32_t minUs = m_timeMinUs;
  uint32_t maxUs = m_timeMaxUs;
  uint32_t defaultUs = m_timeDefaultUs;
  if (SUCCEEDED(m_lumorix->get_ExpTimeRange(&minUs, &maxUs, &defaultUs))) {
    const AeTimeSpanMs span = AeMaxTimeSpanMs(minUs, maxUs);
    SetDialogItemText(
        m_Dlg, kMaxTimeRange,
        FieldRangeLabel(range, span.lowest, span.highest, word, kAeMaxTimeDefaultMs, "ms"));
    SetUpDownRange(m_Dlg, kMaxTimeUpDown, int32_t(span.lowest), int32_t(span.highest));
  }
  uint16_t gainMin = m_gainMin;
  uint16_t gainMax = m_gainMax;
  uint16_t gainDefault = m_gainDefault;
  if (SUCCEEDED(m_lumorix->get_ExpoAGainRange(&gainMin, &gainMax, &gainDefault))) {
    SetDialogItemText(
        m_Dlg, kMaxGainRange,
        FieldRangeLabel(range, kAeMaxGainLowest, gainMax, word, AeDefaultMaxGain(gainMax), ""));
    SetUpDownRange(m_Dlg, kMaxGainUpDown, int32_t(kAeMaxGainLowest), gainMax);
  }
  SetDialogItemText(m_Dlg, kThresholdRange,
                    FieldRangeLabel(range, kAeThresholdLowest, kAeThresholdHighest, word,
                                    kAeThresholdDefault, ""));
  SetUpDownRange(m_Dlg, kThresholdUpDown, int32_t(kAeThresholdLowest),
                 int32_t(kAeThresholdHighest));
}

void CExposurePropertyPage::RefreshExposurePage() {
  if (!m_lumorix) return;
  uint32_t on = 0;
  if (SUCCEEDED(m_lumorix->get_AutoExpoEnable(&on))) {
    SetChecked(m_Dlg, kAutoExposure, on != 0);
    EnableForAutoExposure(on != 0);
  }
  uint16_t target = kTargetDefault;
  if (SUCCEEDED(m_lumorix->get_AutoExpoTarget(&target))) ShowTarget(target);
  ShowRangeLabels();
  int32_t policy = kAePolicyDefault;
  if (FAILED(m_lumorix->get_Option(LUMORIX_OPTION_AUTOEXP_POLICY, &policy)))
    policy = kAePolicyDefault;
  SendDlgItemMessageW(m_Dlg, kPolicy, CB_SETCURSEL, static_cast<WPARAM>(policy), 0);
  uint32_t maxTimeUs = kAeMaxTimeDefaultMs * 1000;
  uint16_t maxGain = 0;
  if (SUCCEEDED(m_lumorix->get_AutoExpoMaxTimeAGain(&maxTimeUs, &maxGain))) {
    SetDlgItemInt(m_Dlg, kMaxTime, maxTimeUs / 1000, FALSE);
    SetDlgItemInt(m_Dlg, kMaxGain, maxGain, FALSE);
  }
  int32_t threshold = int32_t(kAeThresholdDefault);
  if (FAILED(m_lumorix->get_Option(LUMORIX_OPTION_AUTOEXP_THRESHOLD, &threshold)))
    threshold = int32_t(kAeThresholdDefault);
  SetDlgItemInt(m_Dlg, kThreshold, UINT(threshold), FALSE);
  uint32_t timeUs = m_timeUs;
  if (SUCCEEDED(m_lumorix->get_ExpoTime(&timeUs))) {
    m_timeUs = timeUs;
    ShowExposureLabel();
    SetTrackbarPos(m_Dlg, kExposure,
                   int32_t(ExposureTimeToSliderPos(timeUs, m_timeMinUs, m_timeMaxUs)));
  }
  uint16_t gain = m_gainMin;
  if (SUCCEEDED(m_lumorix->get_ExpoAGain(&gain))) ShowGain(gain);
  PostMessageW(m_Dlg, kMsgWriteAutoExposure, 0, 0);
}

void CExposurePropertyPage::EnableForAutoExposure(bool on) {
  EnableItem(m_Dlg, kTarget, on);
  EnableItem(m_Dlg, kExposure, !on);
  EnableItem(m_Dlg, kExposureButton, !on);
  EnableItem(m_Dlg, kGain, !on);
  PostMessageW(m_Dlg, kMsgRefreshExposureLabel, 0, 0);
  BroadcastToFrame(m_Dlg, kMsgAutoExposureChanged);
}

void CExposurePropertyPage::RefuseInput(int id) {
  FocusItem(m_Dlg, id);
  MessageBoxTranslated(langId(), m_Dlg, L"The input value is invalid.", L"Error",
                       MB_OK | MB_ICONEXCLAMATION);
}

HRESULT CExposurePropertyPage::ApplyAeLimits() {
  if (!m_lumorix) return E_POINTER;
  const std::optional<uint32_t> ms = DialogItemUnsigned(m_Dlg, kMaxTime);
  uint32_t minUs = m_timeMinUs;
  uint32_t maxUs = m_timeMaxUs;
  uint32_t defaultUs = 0;
  m_lumorix->get_ExpTimeRange(&minUs, &maxUs, &defaultUs);
  if (!AeMaxTimeValid(ms, minUs, maxUs)) {
    RefuseInput(kMaxTime);
    return E_UNEXPECTED;
  }
  const std::optional<uint32_t> gain = DialogItemUnsigned(m_Dlg, kMaxGain);
  uint16_t gainMin = m_gainMin;
  uint16_t gainMax = m_gainMax;
  uint16_t gainDefault = 0;
  m_lumorix->get_ExpoAGainRange(&gainMin, &gainMax, &gainDefault);
  if (!AeMaxGainValid(gain, gainMax)) {
    RefuseInput(kMaxGain);
    return E_UNEXPECTED;
  }
  m_lumorix->put_AutoExpoMaxTimeAGain(*ms * 1000, static_cast<uint16_t>(*gain));
  return S_OK;
}

HRESULT CExposurePropertyPage::ApplyAeThreshold() {
  if (!m_lumorix) return E_POINTER;
  const std::optional<uint32_t> threshold = DialogItemUnsigned(m_Dlg, kThreshold);
  if (!AeThresholdValid(threshold)) {
    RefuseInput(kThreshold);
    return E_UNEXPECTED;
  }
  m_lumorix->put_Option(LUMORIX_OPTION_AUTOEXP_THRESHOLD, static_cast<int32_t>(*threshold));
  return S_OK;
}

void CExposurePropertyPage::ExposureTimeChosen(uint32_t timeUs) {
  m_timeUs = timeUs;
  if (m_lumorix) m_lumorix->put_ExpoTime(timeUs);
  ShowExposureLabel();
  SetTrackbarPos(m_Dlg, kExposure,
                 int32_t(ExposureTimeToSliderPos(timeUs, m_timeMinUs, m_timeMaxUs)));
}

void CExposurePropertyPage::OnScroll(int id) {
  const int32_t pos = TrackbarPos(m_Dlg, id);
  if (id == kExposure) {
    m_timeUs = SliderPosToExposureTime(uint32_t(std::max(pos, 0)), m_timeMinUs, m_timeMaxUs);
    m_lumorix->put_ExpoTime(m_timeUs);
    ShowExposureLabel();
  } else if (id == kGain) {
    const uint16_t gain = static_cast<uint16_t>(pos);
    ShowGain(gain);
    m_lumorix->put_ExpoAGain(gain);
  } else if (id == kTarget) {
    const uint16_t target = static_cast<uint16_t>(pos & 0xFF);
    SetDlgItemInt(m_Dlg, kTargetLabel, target, FALSE);
    m_lumorix->put_AutoExpoTarget(target);
  }
}

void CExposurePropertyPage::ExposureDefaults() {
  m_timeUs = m_timeDefaultUs;
  m_lumorix->put_AutoExpoTarget(kTargetDefault);
  SetDlgItemInt(m_Dlg, kTargetLabel, kTargetDefault, FALSE);
  m_lumorix->put_ExpoTime(m_timeDefaultUs);
  m_lumorix->put_ExpoAGain(m_gainDefault);
  ShowExposureLabel();
  ShowGain(m_gainDefault);
  SetTrackbarPos(m_Dlg, kTarget, kTargetDefault);
  SetTrackbarPos(m_Dlg, kExposure,
                 int32_t(ExposureTimeToSliderPos(m_timeDefaultUs, m_timeMinUs, m_timeMaxUs)));
}

void CExposurePropertyPage::AutoExposureDefaults() {
  SendDlgItemMessageW(m_Dlg, kPolicy, CB_SETCURSEL, kAePolicyDefault, 0);
  m_lumorix->put_Option(LUMORIX_OPTION_AUTOEXP_POLICY, kAePolicyDefault);
  m_lumorix->put_Option(LUMORIX_OPTION_AUTOEXP_THRESHOLD, int32_t(kAeThresholdDefault));
  SetDlgItemInt(m_Dlg, kMaxTime, kAeMaxTimeDefaultMs, FALSE);
  SetDlgItemInt(m_Dlg, kThreshold, kAeThresholdDefault, FALSE);
  uint16_t gainMin = m_gainMin;
  uint16_t gainMax = m_gainMax;
  uint16_t gainDefault = m_gainDefault;
  m_lumorix->get_ExpoAGainRange(&gainMin, &gainMax, &gainDefault);
  const uint16_t gain = AeDefaultMaxGain(gainMax);
  SetDlgItemInt(m_Dlg, kMaxGain, gain, FALSE);
  m_lumorix->put_AutoExpoMaxTimeAGain(kAeMaxTimeDefaultMs * 1000, gain);
  MarkDirty();
}

void CExposurePropertyPage::OnCommand(int id, int code) {
  if (id == kPolicy && code == CBN_SELCHANGE) {
    const LRESULT policy = SendDlgItemMessageW(m_Dlg, kPolicy, CB_GETCURSEL, 0, 0);
    m_lumorix->put_Option(LUMORIX_OPTION_AUTOEXP_POLICY, static_cast<int32_t>(policy));
  } else if ((id == kMaxTime || id == kMaxGain || id == kThreshold) && code == EN_CHANGE) {
    MarkDirty();
  } else if (code != BN_CLICKED) {
    return;
  } else if (id == kAutoExposure) {
    const bool on = IsChecked(m_Dlg, kAutoExposure);
    m_lumorix->put_AutoExpoEnable(on ? 1 : 0);
    EnableForAutoExposure(on);
  } else if (id == kExposureButton) {
    DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_EXPOSURE_TIME), m_Dlg, ExposureTimeDialogProc,
                    reinterpret_cast<LPARAM>(this));
  } else if (id == kExposureDefaults) {
    ExposureDefaults();
  } else if (id == kAeDefaults) {
    AutoExposureDefaults();
  }
}

void CExposurePropertyPage::OnCameraNotify() {
  uint16_t target = 0;
  if (SUCCEEDED(m_lumorix->get_AutoExpoTarget(&target))) ShowTarget(target);
  uint32_t timeUs = m_timeUs;
  if (SUCCEEDED(m_lumorix->get_ExpoTime(&timeUs))) {
    ShowExposureLabel();
    if (timeUs != m_timeUs) {
      m_timeUs = timeUs;
      SetTrackbarPos(m_Dlg, kExposure,
                     int32_t(ExposureTimeToSliderPos(timeUs, m_timeMinUs, m_timeMaxUs)));
    }
  }
  uint16_t gain = 0;
  if (SUCCEEDED(m_lumorix->get_ExpoAGain(&gain))) ShowGain(gain);
}

INT_PTR CExposurePropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SubclassExposureButton(this, GetDlgItem(hwnd, kExposureButton));
      SubclassEnterKey(&m_enterKeys[0], hwnd, GetDlgItem(hwnd, kMaxTime));
      SubclassEnterKey(&m_enterKeys[1], hwnd, GetDlgItem(hwnd, kMaxGain));
      SubclassEnterKey(&m_enterKeys[2], hwnd, GetDlgItem(hwnd, kThreshold));
      return TRUE;
    case WM_HSCROLL:
      if (isActive() && m_lumorix && lParam) OnScroll(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      break;
    case WM_COMMAND:
      if (isActive() && m_lumorix) OnCommand(LOWORD(wParam), HIWORD(wParam));
      break;
    case kMsgEnterKey1:
    case kMsgEnterKey2:
      ApplyAeLimits();
      return 1;
    case kMsgEnterKey3:
      ApplyAeThreshold();
      return 1;
    case kMsgCameraNotify:
      if (m_lumorix) OnCameraNotify();
      return 1;
    case kMsgWriteAutoExposure:
      if (m_lumorix) m_lumorix->put_AutoExpoEnable(IsChecked(hwnd, kAutoExposure) ? 1 : 0);
      return 1;
    case kMsgSettingsChanged:
      RefreshExposurePage();
      return 1;
    case kMsgRefreshExposureLabel:
      ShowExposureLabel();
      return 1;
    default:
      break;
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
