// A page hosted as a property frame hosts it, on the real filter over the camera double.
#include "tests/pages/page_host.h"

#include <commctrl.h>

#include <map>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/moduleinstance.h"
#include "dshow/filter/cdcm.h"

// The test executable is its own COM server for the filter's class.
CFactoryTemplate g_Templates[] = {
    {kFilterName, &CLSID_Zerithal, CDcm::CreateInstance, nullptr, nullptr}};
int g_cTemplates = 1;

namespace {

std::map<HWND, std::vector<UINT>>& Heard() {
  static std::map<HWND, std::vector<UINT>> heard;
  return heard;
}

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) Heard()[window].push_back(message);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

PageHost::PageHost(PageRowId row, const CameraSetup& setup, const Prepare& prepare)
    : site_(siteLcid()) {
  g_hInst = GetModuleHandleW(nullptr);
  filter_.emplace(setup, prepare);
  HRESULT hr = S_OK;
  const PageRow& pageRow = PageRowOf(row);
  CUnknown* created = pageRow.create(nullptr, &hr);
  if (!created) return;
  created->NonDelegatingQueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page_));
  frame_.emplace();
  page_->SetPageSite(&site_);
  IUnknown* object = filter_->object();
  if (FAILED(page_->SetObjects(1, &object))) return;
  RECT rect = {0, 0, 700, 500};
  if (FAILED(page_->Activate(frame_->container, &rect, FALSE))) return;
  page_->Show(SW_SHOW);
  dialog_ = GetWindow(frame_->container, GW_CHILD);
  pump();
}

PageHost::~PageHost() {
  if (page_) {
    page_->Deactivate();
    page_->SetObjects(0, nullptr);
    page_->SetPageSite(nullptr);
    page_->Release();
  }
  frame_.reset();
  filter_.reset();
  pump();
}

LCID& PageHost::siteLcid() {
  static LCID lcid = 0x0409;
  return lcid;
}

void PageHost::show() {
  ShowWindow(frame(), SW_SHOWNA);
  UpdateWindow(frame());
  RedrawWindow(frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pump();
}

void PageHost::setText(int id, const wchar_t* value) {
  SetDlgItemTextW(dialog_, id, value);
  pump();
}

void PageHost::click(int id) {
  // The button checks itself (and unchecks its group) and reports the click, as for a user.
  SendMessageW(item(id), BM_CLICK, 0, 0);
  pump();
}

void PageHost::pressReturn(int id) {
  HWND edit = item(id);
  SetFocus(edit);
  MSG msg = {};
  msg.hwnd = edit;
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_RETURN;
  msg.lParam = 0x001C0001;
  if (!IsDialogMessageW(dialog_, &msg)) DispatchMessageW(&msg);
  pump();
}

int PageHost::trackbar(int id) const {
  return static_cast<int>(SendMessageW(item(id), TBM_GETPOS, 0, 0));
}

FrameListener::FrameListener(HWND parent) {
  static const bool registered = [] {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZxPageListener";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  window_ = CreateWindowExW(0, L"ZxPageListener", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  Heard()[window_].clear();
}

FrameListener::~FrameListener() {
  Heard().erase(window_);
  DestroyWindow(window_);
}

size_t FrameListener::count(UINT message) const {
  size_t n = 0;
  for (UINT m : Heard()[window_]) n += m == message ? 1 : 0;
  return n;
}
