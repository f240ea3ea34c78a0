// The page host of the settings page tests.
#include "tests/pages/settings_page_host.h"

namespace {

constexpr wchar_t kListenerClass[] = L"ZxSettingsPageListener";
PageFrame* gFrame = nullptr;

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= 2024 && message <= 42848 && gFrame) gFrame->heard.push_back(message);
  return DefWindowProcW(window, message, wParam, lParam);
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

PageFrame::PageFrame(bool shown) : Frame(shown) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ListenerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kListenerClass;
  RegisterClassW(&wc);
  listener = CreateWindowExW(0, kListenerClass, L"", WS_CHILD, 0, 0, 1, 1, container, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  gFrame = this;
}

PageFrame::~PageFrame() {
  gFrame = nullptr;
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
  DragTrackbar(dialog_, id, position);
}

void HostedPage::setText(int id, const std::wstring& text) {
  SetDlgItemTextW(dialog_, id, text.c_str());
}

std::wstring HostedPage::text(int id) const {
  return ItemText(dialog_, id);
}
