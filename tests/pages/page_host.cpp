// A page hosted as a property frame hosts it, on the real filter over the camera double.
#include "tests/pages/page_host.h"

#include <commctrl.h>

#include <map>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/moduleinstance.h"
#include "dshow/filter/cdcm.h"
#include "pages/message_box_translated.h"

// The test executable is its own COM server for the filter's class.
CFactoryTemplate g_Templates[] = {
    {kFilterName, &CLSID_Zerithal, CDcm::CreateInstance, nullptr, nullptr}};
int g_cTemplates = 1;

HRESULT RecordingSite::QueryInterface(REFIID riid, void** ppv) {
  if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IPropertyPageSite*>(this);
  AddRef();
  return S_OK;
}

HRESULT RecordingSite::OnStatusChange(DWORD flags) {
  statuses.push_back(flags);
  return S_OK;
}

HRESULT RecordingSite::GetLocaleID(LCID* out) {
  *out = lcid;
  return S_OK;
}

namespace {

int CaptureMessage(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  PageHost::messages().push_back({text, caption, type});
  return IDOK;
}

std::map<HWND, std::vector<UINT>>& Heard() {
  static std::map<HWND, std::vector<UINT>> heard;
  return heard;
}

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) Heard()[window].push_back(message);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::vector<ShownMessage>& PageHost::messages() {
  static std::vector<ShownMessage> shown;
  return shown;
}

PageHost::PageHost(PageRowId row, const CameraSetup& setup, const Prepare& prepare)
    : provider_({setup}) {
  g_hInst = GetModuleHandleW(nullptr);
  if (prepare) prepare(camera());
  site_.lcid = siteLcid();
  messages().clear();
  SetMessagePresenter(CaptureMessage);
  HRESULT hr = S_OK;
  auto* filter = new CDcm(0, &hr);
  filter->NonDelegatingAddRef();
  filter->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&filter_));
  filter->NonDelegatingRelease();
  const PageRow& pageRow = PageRowOf(row);
  CUnknown* created = pageRow.create(nullptr, &hr);
  if (!created) return;
  created->NonDelegatingQueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page_));
  frame_ = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                           nullptr, nullptr, nullptr);
  container_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                               780, 560, frame_, nullptr, nullptr, nullptr);
  page_->SetPageSite(&site_);
  if (FAILED(page_->SetObjects(1, &filter_))) return;
  RECT rect = {0, 0, 700, 500};
  if (FAILED(page_->Activate(container_, &rect, FALSE))) return;
  page_->Show(SW_SHOW);
  dialog_ = GetWindow(container_, GW_CHILD);
  pump();
}

PageHost::~PageHost() {
  if (page_) {
    page_->Deactivate();
    page_->SetObjects(0, nullptr);
    page_->SetPageSite(nullptr);
    page_->Release();
  }
  if (frame_) DestroyWindow(frame_);
  if (filter_) filter_->Release();
  pump();
  SetMessagePresenter(nullptr);
}

LCID& PageHost::siteLcid() {
  static LCID lcid = 0x0409;
  return lcid;
}

void PageHost::show() {
  ShowWindow(frame_, SW_SHOWNA);
  UpdateWindow(frame_);
  RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pump();
}

void PageHost::pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::wstring PageHost::text(int id) const {
  wchar_t buffer[512] = {};
  GetDlgItemTextW(dialog_, id, buffer, 512);
  return buffer;
}

void PageHost::setText(int id, const wchar_t* value) {
  SetDlgItemTextW(dialog_, id, value);
  pump();
}

void PageHost::scrollTo(int id, int pos) {
  HWND bar = item(id);
  SendMessageW(bar, TBM_SETPOS, TRUE, pos);
  SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos),
               reinterpret_cast<LPARAM>(bar));
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
