// The histogram page: channels, levels and the camera's notifications.
#include "pages/histogram_page.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "dshow/screen_spacing.h"
#include "pages/framework/page_callbacks.h"
#include "pages/mui_resources.h"
#include "pages/page_controls.h"

namespace {

constexpr int kRefresh = 1018;
constexpr int kDefaults = 1019;
constexpr int kAuto = 1013;
constexpr int kGraph = 1021;
constexpr int kChannelList = 1022;
constexpr int kLeft = 1044;
constexpr int kLeftUpDown = 1447;
constexpr int kRight = 1449;
constexpr int kRightUpDown = 1448;
constexpr wchar_t kGraphProperty[] = L"{76A25F6A-3920-4172-96A3-05EA24A40129}";

const wchar_t* const kColourItems[] = {L"Blue", L"Green", L"Red"};

static_assert(sizeof(float[4][kHistogramBins]) == kHistogramBlockBytes,
              "the page keeps exactly the block the callback posts");

// The 7-point menu font.
HFONT CreateLabelFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  HDC screen = GetDC(nullptr);
  metrics.lfMenuFont.lfHeight = -MulDiv(7, GetDeviceCaps(screen, LOGPIXELSX), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontIndirectW(&metrics.lfMenuFont);
}

int TextHeight(HFONT font) {
  HDC screen = GetDC(nullptr);
  const HGDIOBJ old = SelectObject(screen, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW text = {};
  GetTextMetricsW(screen, &text);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return text.tmHeight;
}

}  // namespace

CHistogramPropertyPage::CHistogramPropertyPage(const PageRow& row, IUnknown* outer)
    : CMuiPropertyPage(row.objectName, outer, row.dialogId, row.titleId, row.camera, row.apply),
      m_font(CreateLabelFont()) {
  EnsureCommonControls();
  m_labelHeight = TextHeight(m_font) + PageSpacings().large + 1;
  m_enterKeys[0].message = kMsgEnterKey1;
  m_enterKeys[1].message = kMsgEnterKey2;
}

CHistogramPropertyPage::~CHistogramPropertyPage() {
  if (m_font) DeleteObject(m_font);
}

HRESULT CHistogramPropertyPage::OnConnect(IUnknown* object) {
  const HRESULT hr = CMuiPropertyPage::OnConnect(object);
  if (FAILED(hr)) return hr;
  m_colour = m_lumorix->get_IsColor() != 0;
  if (!m_colour) m_greyMode = true;
  m_active = 0;
  return hr;
}

void CHistogramPropertyPage::ReadGreyMode() {
  if (!m_colour) return;
  uint32_t grey = m_greyMode ? 1 : 0;
  if (SUCCEEDED(m_lumorix->get_Chrome(&grey))) m_greyMode = grey != 0;
}

void CHistogramPropertyPage::RequestHistogram() {
  m_lumorix->GetHistogram(HistogramDataCallback, m_Dlg);
}

HRESULT CHistogramPropertyPage::OnActivate() {
  TranslatePage();
  if (m_lumorix) {
    SetUpDownRange(m_Dlg, kLeftUpDown, 0, kLevelTop);
    SetUpDownRange(m_Dlg, kRightUpDown, 0, kLevelTop);
    SendDlgItemMessageW(m_Dlg, kLeft, EM_LIMITTEXT, 3, 0);
    SendDlgItemMessageW(m_Dlg, kRight, EM_LIMITTEXT, 3, 0);
    ReadGreyMode();
    m_channel = m_greyMode ? kLevelGrey : kLevelRgb;
    FillChannelList();
    ShowLevels();
    HWND graph = GetDlgItem(m_Dlg, kGraph);
    RECT client = {0, 0, 0, 0};
    GetClientRect(graph, &client);
    m_graph = {client.left, client.top, client.right, client.bottom - m_labelHeight};
    SetWindowPos(graph, nullptr, 0, 0, m_graph.width() + 4, m_graph.height() + 20,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RequestHistogram();
    m_lumorix->put_ChromeCallback(PageNotifyCallback, m_Dlg);
  }
  m_active = 1;
  return S_OK;
}

void CHistogramPropertyPage::FillChannelList() {
  std::memset(m_histogram, 0, sizeof(m_histogram));
  SendDlgItemMessageW(m_Dlg, kChannelList, CB_RESETCONTENT, 0, 0);
  auto add = [this](const wchar_t* text) {
    SendDlgItemMessageW(m_Dlg, kChannelList, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(TranslateString(langId(), text)));
  };
  if (m_greyMode) {
    add(L"Gray");
    m_channel = kLevelGrey;
    SendDlgItemMessageW(m_Dlg, kChannelList, CB_SETCURSEL, 0, 0);
    return;
  }
  if (m_channel == kLevelGrey) m_channel = kLevelRgb;
  for (const wchar_t* item : kColourItems) add(item);
  add(L"RGB");
  SendDlgItemMessageW(m_Dlg, kChannelList, CB_SETCURSEL, m_channel == kLevelRgb ? 3 : m_channel, 0);
}

LevelRange CHistogramPropertyPage::ReadLevels() {
  LevelRange range;
  LevelRange read;
  if (m_lumorix && SUCCEEDED(m_lumorix->get_LevelRange(read.low, read.high))) range = read;
  return range;
}

void CHistogramPropertyPage::ShowLevels() {
  const LevelPair shown = ShownLevels(ReadLevels(), m_channel);
  ShowUnsigned(m_Dlg, kLeft, shown.low);
  ShowUnsigned(m_Dlg, kRight, shown.high);
}

void CHistogramPropertyPage::RepaintGraph() {
  InvalidateRect(GetDlgItem(m_Dlg, kGraph), nullptr, FALSE);
}

void CHistogramPropertyPage::ApplyLevelText(LevelSide side) {
  if (!m_lumorix) return;
  const std::optional<uint32_t> value =
      DialogItemUnsigned(m_Dlg, side == LevelSide::Left ? kLeft : kRight);
  if (!value) return;
  const LevelRange before = ReadLevels();
  LevelRange range = before;
  ApplyTypedLevel(range, m_channel, side, *value);
  m_lumorix->put_LevelRange(range.low, range.high);
  ShowLevels();
  if (std::memcmp(&before, &range, sizeof(range)) != 0) RepaintGraph();
}

void CHistogramPropertyPage::OnCommand(int id, int code) {
  if (id == kChannelList && code == CBN_SELCHANGE) {
    const LRESULT selection = SendDlgItemMessageW(m_Dlg, kChannelList, CB_GETCURSEL, 0, 0);
    if (m_greyMode) {
      m_channel = kLevelGrey;
    } else {
      m_channel = selection >= 0 && selection < 3 ? uint32_t(selection) : kLevelRgb;
      if (m_channel == kLevelRgb) {
        LevelRange range = ReadLevels();
        UnifyRgbLevels(range);
        m_lumorix->put_LevelRange(range.low, range.high);
      }
    }
  } else if (code != BN_CLICKED) {
    return;
  } else if (id == kAuto) {
    RequestHistogram();
    m_lumorix->LevelRangeAuto();
  } else if (id == kRefresh) {
    RequestHistogram();
    return;
  } else if (id == kDefaults) {
    const LevelRange defaults;
    m_lumorix->put_LevelRange(defaults.low, defaults.high);
  } else {
    return;
  }
  ShowLevels();
  RepaintGraph();
}

INT_PTR CHistogramPropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (HWND graph = GetDlgItem(hwnd, kGraph)) {
        SetPropW(graph, kGraphProperty, this);
        graphPrevious = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            graph, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HistogramWindowProc)));
        SetWindowLongPtrW(graph, GWL_STYLE, GetWindowLongPtrW(graph, GWL_STYLE) | SS_NOTIFY);
      }
      SubclassEnterKey(&m_enterKeys[0], hwnd, GetDlgItem(hwnd, kLeft));
      SubclassEnterKey(&m_enterKeys[1], hwnd, GetDlgItem(hwnd, kRight));
      AcceptHistograms(hwnd);
      return TRUE;
    case WM_DESTROY:
      if (m_lumorix) m_lumorix->put_ChromeCallback(nullptr, nullptr);
      // Histograms posted but not yet received would be lost with the dialog: their blocks are
      // freed, and a camera answering later finds the dialog refusing them.
      RefuseHistograms(hwnd);
      break;
    case WM_COMMAND:
      if (isActive() && m_lumorix) OnCommand(LOWORD(wParam), HIWORD(wParam));
      break;
    case WM_VSCROLL:
      if (isActive() && lParam) {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id == kLeftUpDown) ApplyLevelText(LevelSide::Left);
        if (id == kRightUpDown) ApplyLevelText(LevelSide::Right);
      }
      break;
    case kMsgEnterKey1:
      ApplyLevelText(LevelSide::Left);
      return 1;
    case kMsgEnterKey2:
      ApplyLevelText(LevelSide::Right);
      return 1;
    case kMsgHistogram:
      if (void* block = reinterpret_cast<void*>(wParam)) {
        std::memcpy(m_histogram, block, sizeof(m_histogram));
        std::free(block);
      }
      ShowLevels();
      RepaintGraph();
      return 1;
    case kMsgCameraNotify:
      if (!m_lumorix) return 1;
      ReadGreyMode();
      FillChannelList();
      ShowLevels();
      RequestHistogram();
      return 1;
    case kMsgSettingsChanged:
      if (!m_lumorix) return 1;
      ReadGreyMode();
      m_channel = m_greyMode ? kLevelGrey : kLevelRgb;
      FillChannelList();
      ShowLevels();
      return 1;
    default:
      break;
  }
  return CMuiPropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
}
