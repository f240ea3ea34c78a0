// The page host of the settings page tests.
#include "tests/pages/settings_page_host.h"

#include "pages/message_box_translated.h"

namespace {

constexpr wchar_t kListenerClass[] = L"ZxSettingsPageListener";
PageFrame* gFrame = nullptr;
std::vector<ShownMessage> gShown;

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= 2024 && message <= 42848 && gFrame) gFrame->heard.push_back(message);
  return DefWindowProcW(window, message, wParam, lParam);
}

int CapturePresenter(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  gShown.push_back({text ? text : L"", caption ? caption : L"", type});
  return IDOK;
}

// One apartment for the whole run: the pages and the filter live on the test's thread.
class OleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
  void TearDown() override { OleUninitialize(); }
};
const auto* const gOle = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

}  // namespace

LCID RunLanguage() {
  return GetEnvironmentVariableW(L"ZX_PAGES_GERMAN", nullptr, 0) ? 0x0407 : 0x0409;
}

PageFrame::PageFrame(bool shown) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ListenerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kListenerClass;
  RegisterClassW(&wc);
  // Hidden: under a display without a window manager, destroying a shown top-level window waits
  // seconds for the display to confirm it.
  frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | (shown ? WS_VISIBLE : 0), 0,
                          0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  container = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 780,
                              560, frame, nullptr, nullptr, nullptr);
  listener = CreateWindowExW(0, kListenerClass, L"", WS_CHILD, 0, 0, 1, 1, container, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  gFrame = this;
}

PageFrame::~PageFrame() {
  gFrame = nullptr;
  DestroyWindow(frame);
}

HostedPage::HostedPage(PageRowId row, IUnknown* object, PageFrame& frame, LCID lcid) : site_(lcid) {
  HRESULT hr = S_OK;
  CUnknown* unknown = PageRowOf(row).create(nullptr, &hr);
  if (!unknown) {
    ADD_FAILURE() << "no page";
    return;
  }
  unknown->NonDelegatingQueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page_));
  EXPECT_EQ(page_->SetPageSite(&site_), S_OK);
  EXPECT_EQ(page_->SetObjects(1, &object), S_OK);
  HWND before = GetWindow(frame.container, GW_CHILD);
  RECT rect = {0, 0, 700, 500};
  EXPECT_EQ(page_->Activate(frame.container, &rect, FALSE), S_OK);
  // The newest child of the container is the page dialog.
  dialog_ = GetWindow(frame.container, GW_CHILD);
  if (dialog_ == before) dialog_ = GetWindow(before, GW_HWNDLAST);
  active_ = true;
  PumpFor(0);
}

void HostedPage::deactivate() {
  if (!active_ || !page_) return;
  page_->Deactivate();
  active_ = false;
}

HostedPage::~HostedPage() {
  if (!page_) return;
  deactivate();
  page_->SetObjects(0, nullptr);
  page_->SetPageSite(nullptr);
  page_->Release();
}

void HostedPage::click(int id) {
  HWND button = item(id);
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK;
  if (style == BS_AUTORADIOBUTTON && IsWindowEnabled(button)) {
    SendMessageW(button, BM_CLICK, 0, 0);
  } else {
    if (style == BS_AUTOCHECKBOX)
      CheckDlgButton(dialog_, id, checked(id) ? BST_UNCHECKED : BST_CHECKED);
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  PumpFor(0);
}

void HostedPage::scroll(int id, int32_t position) {
  HWND bar = item(id);
  SendMessageW(bar, TBM_SETPOS, TRUE, position);
  SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
               reinterpret_cast<LPARAM>(bar));
  PumpFor(0);
}

void HostedPage::setText(int id, const std::wstring& text) {
  SetDlgItemTextW(dialog_, id, text.c_str());
}

std::wstring HostedPage::text(int id) const {
  wchar_t buffer[512] = {};
  GetDlgItemTextW(dialog_, id, buffer, 512);
  return buffer;
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (ms) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  } while (GetTickCount() - start < ms);
}

FilterWithDouble::FilterWithDouble(CameraSetup setup) : provider_({setup}) {
  HRESULT hr = S_OK;
  filter_ = new CDcm(0, &hr);
  filter_->NonDelegatingAddRef();
}

FilterWithDouble::~FilterWithDouble() {
  filter_->NonDelegatingRelease();
}

CapturedMessages::CapturedMessages() {
  gShown.clear();
  SetMessagePresenter(CapturePresenter);
}

CapturedMessages::~CapturedMessages() {
  SetMessagePresenter(nullptr);
}

std::vector<ShownMessage>& CapturedMessages::shown() {
  return gShown;
}
