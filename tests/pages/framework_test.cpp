// The pages' shared machinery on plain windows: the frame broadcast, the camera callbacks and the
// Enter-key edit.
#include <gtest/gtest.h>

#include <windows.h>
#include <malloc.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "core/testing/recording_lumorix.h"
#include "dshow/base/moduleinstance.h"
#include "pages/framework/cmuipropertypage.h"
#include "pages/framework/enter_key_subclass.h"
#include "pages/framework/page_broadcast.h"
#include "pages/framework/page_callbacks.h"
#include "pages/framework/page_messages.h"
#include "resources/resource_ids.h"
#include "tests/wine/heap_in_use.h"

namespace {

// The recording camera as the object a frame hands to a page.
struct RecordingLumorixHolder {
  RecordingLumorix camera;
  IUnknown* unknown() { return static_cast<ILumorix*>(&camera); }
};

// Every window of the test class counts the private messages it receives; a histogram block
// that arrives is checked and freed as the page would.
std::map<HWND, std::vector<UINT>> g_received;
std::vector<float> g_lastHistogram;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_APP || (message >= 1034 && message <= 2027)) {
    g_received[window].push_back(message);
    if (message == kMsgHistogram) {
      auto* block = reinterpret_cast<float*>(wParam);
      g_lastHistogram.assign(block, block + 4 * kHistogramBins);
      std::free(block);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

constexpr wchar_t kClass[] = L"ZxPageFrameworkTest";

void RegisterTestClass() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = RecordingProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
}

HWND Make(HWND parent, DWORD style = WS_CHILD) {
  return CreateWindowExW(0, kClass, L"", style, 0, 0, 50, 50, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

size_t Count(HWND window, UINT message) {
  size_t n = 0;
  for (UINT m : g_received[window]) n += m == message ? 1 : 0;
  return n;
}

class PageFramework : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hInst = GetModuleHandleW(nullptr);
    RegisterTestClass();
    g_received.clear();
  }
  void TearDown() override {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) DestroyWindow(*it);
    Pump();
  }
  HWND Keep(HWND window) {
    windows_.push_back(window);
    return window;
  }
  std::vector<HWND> windows_;
};

// The frame hears, through every descendant: frame → container → page and a sibling page with
// a control. A top-level window outside the frame hears nothing.
TEST_F(PageFramework, BroadcastReachesTheSiblingPagesAndNothingOutsideTheFrame) {
  HWND outside = Keep(Make(nullptr, WS_OVERLAPPEDWINDOW));
  HWND frame = Keep(Make(nullptr, WS_OVERLAPPEDWINDOW));
  HWND container = Keep(Make(frame));
  HWND page = Keep(Make(container));
  HWND sibling = Keep(Make(container));
  HWND control = Keep(Make(sibling));
  BroadcastToFrame(page, kMsgSettingsChanged);
  Pump();
  for (HWND window : {container, page, sibling, control})
    EXPECT_EQ(Count(window, kMsgSettingsChanged), 1u);
  EXPECT_EQ(Count(outside, kMsgSettingsChanged), 0u);
  EXPECT_EQ(Count(frame, kMsgSettingsChanged), 0u) << "descendants only";
}

// A host that embeds the page one level shallower: the page's parent is a top-level window, whose
// "parent" is null or its owner. Nothing at all is posted, in particular not to every top-level
// window of the desktop.
TEST_F(PageFramework, BroadcastFromAShallowHostPostsNothing) {
  HWND owner = Keep(Make(nullptr, WS_OVERLAPPEDWINDOW));
  HWND ownersChild = Keep(Make(owner));  // would hear it if the owner were taken for a frame
  HWND other = Keep(Make(nullptr, WS_OVERLAPPEDWINDOW));
  struct Case {
    const char* name;
    HWND host;
  };
  const Case cases[] = {
      {"unowned host", Keep(Make(nullptr, WS_OVERLAPPEDWINDOW))},
      {"owned host", Keep(CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 50, 50, owner, nullptr,
                                          GetModuleHandleW(nullptr), nullptr))},
  };
  for (const Case& c : cases) {
    g_received.clear();
    HWND page = Keep(Make(c.host));
    HWND neighbour = Keep(Make(c.host));
    BroadcastToFrame(page, kMsgBitDepthChanged);
    Pump();
    for (HWND window : {owner, ownersChild, other, c.host, page, neighbour})
      EXPECT_EQ(Count(window, kMsgBitDepthChanged), 0u) << c.name;
  }
  BroadcastToFrame(nullptr, kMsgBitDepthChanged);  // no page: nothing, no crash
}

// The callbacks post to a live page with their arguments; once the dialog is gone they post
// nothing.
TEST_F(PageFramework, CallbacksPostToALivePageOnly) {
  HWND page = Make(nullptr, WS_OVERLAPPEDWINDOW);
  AcceptHistograms(page);
  float arrays[4][kHistogramBins];
  for (size_t a = 0; a < 4; ++a)
    for (size_t i = 0; i < kHistogramBins; ++i) arrays[a][i] = float(a * 1000 + i);

  PageNotifyCallback(page);
  TempTintCallback(-6500, -42, page);
  HistogramDataCallback(arrays[0], arrays[1], arrays[2], arrays[3], page);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, page, kMsgTempTint, kMsgTempTint, PM_NOREMOVE));
  EXPECT_EQ(static_cast<int32_t>(msg.wParam), -6500);
  EXPECT_EQ(static_cast<int32_t>(msg.lParam), -42);
  Pump();
  EXPECT_EQ(Count(page, kMsgCameraNotify), 1u);
  EXPECT_EQ(Count(page, kMsgTempTint), 1u);
  ASSERT_EQ(g_lastHistogram.size(), 4 * kHistogramBins);
  for (size_t a = 0; a < 4; ++a)  // luminance, red, green, blue at 0, 1024, 2048, 3072 bytes
    EXPECT_EQ(g_lastHistogram[a * kHistogramBins + 7], float(a * 1000 + 7));

  DestroyWindow(page);
  g_received.clear();
  PageNotifyCallback(page);
  TempTintCallback(1, 2, page);
  HistogramDataCallback(arrays[0], arrays[1], arrays[2], arrays[3], page);
  PageNotifyCallback(nullptr);
  Pump();
  EXPECT_TRUE(g_received.empty());
}

// A poster that refuses every message and counts the histograms it was handed.
size_t g_refusedHistograms = 0;
BOOL WINAPI RefusingPoster(HWND, UINT message, WPARAM, LPARAM) {
  if (message == kMsgHistogram) ++g_refusedHistograms;
  return FALSE;
}

// A histogram that is not posted leaves no block behind: the post failed, or the window never
// took histograms or stopped taking them.
TEST_F(PageFramework, AHistogramNotPostedIsFreed) {
  struct Case {
    const char* what;
    bool accepts;
    bool refusedLater;
    bool postFails;
    size_t posts;  // the histograms that reach the poster
  };
  const Case cases[] = {
      {"the post fails", true, false, true, 1000},
      {"a window that never took histograms", false, false, false, 0},
      {"a page that stopped taking them", true, true, false, 0},
  };
  float bins[kHistogramBins] = {};
  for (const Case& c : cases) {
    HWND page = Keep(Make(nullptr, WS_OVERLAPPEDWINDOW));
    if (c.accepts) AcceptHistograms(page);
    if (c.refusedLater) RefuseHistograms(page);
    g_refusedHistograms = 0;
    const PagePoster previous = c.postFails ? SetPagePoster(RefusingPoster) : nullptr;
    const size_t before = HeapInUse();
    for (int i = 0; i < 1000; ++i) HistogramDataCallback(bins, bins, bins, bins, page);
    const size_t after = HeapInUse();
    if (previous) SetPagePoster(previous);
    MSG queued;
    EXPECT_FALSE(PeekMessageW(&queued, page, kMsgHistogram, kMsgHistogram, PM_NOREMOVE)) << c.what;
    EXPECT_EQ(g_refusedHistograms, c.posts) << c.what;
    EXPECT_LT(after, before + 100 * kHistogramBlockBytes) << c.what;
  }
}

// The exposure-time dialog has an edit and a default OK button. Return in the edit, as the
// dialog manager routes it, sends the edit's message when the edit is subclassed and presses the
// default button when it is not.
INT_PTR CALLBACK RecordingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == kMsgEnterKey2 || (message == WM_COMMAND && LOWORD(wParam) == IDOK)) {
    g_received[dialog].push_back(message == WM_COMMAND ? WM_COMMAND : message);
    return TRUE;
  }
  return message == WM_INITDIALOG;
}

TEST_F(PageFramework, ReturnInASubclassedEditSendsItsMessageNotTheDefaultButton) {
  for (const bool subclassed : {true, false}) {
    g_received.clear();
    HWND dialog = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(IDD_EXPOSURE_TIME), nullptr,
                                     RecordingDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    HWND edit = GetDlgItem(dialog, 1044);
    ASSERT_NE(edit, nullptr);
    EnterKeySubclass record;
    record.message = kMsgEnterKey2;
    if (subclassed) SubclassEnterKey(&record, dialog, edit);
    SetFocus(edit);
    MSG msg = {};
    msg.hwnd = edit;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_RETURN;
    msg.lParam = 0x001C0001;
    EXPECT_TRUE(IsDialogMessageW(dialog, &msg));
    Pump();
    EXPECT_EQ(Count(dialog, kMsgEnterKey2), subclassed ? 1u : 0u) << subclassed;
    EXPECT_EQ(Count(dialog, WM_COMMAND), subclassed ? 0u : 1u) << subclassed;
    if (subclassed) {
      const LRESULT code = SendMessageW(edit, WM_GETDLGCODE, 0, 0);
      EXPECT_TRUE(code & DLGC_WANTALLKEYS);
      EXPECT_TRUE(code & DLGC_HASSETSEL) << "the edit's own answer is kept";
    }
    DestroyWindow(dialog);
  }
}

// A page of the shared base that counts what reaches it and can mark itself dirty.
class CountingPage : public CMuiPropertyPage {
 public:
  explicit CountingPage(PageApply apply)
      : CMuiPropertyPage(L"ZerithalTest", nullptr, IDD_SIZE10, IDS_TITLE_SIZE, PageCamera::Lumorix,
                         apply) {}
  HRESULT OnApplyChanges() override {
    ++applies;
    return S_OK;
  }
  void Change() { MarkDirty(); }
  LANGID language() const { return langId(); }
  int applies = 0;
};

class StatusSite : public IPropertyPageSite {
 public:
  explicit StatusSite(HRESULT localeAnswer) : localeAnswer_(localeAnswer) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    statuses.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
    *lcid = 0x0407;  // written even when the answer is a failure: only success counts
    return localeAnswer_;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  std::vector<DWORD> statuses;

 private:
  HRESULT localeAnswer_;
};

// Apply reaches a page that never marked itself dirty only when it applies always; marking dirty
// tells the site once; the site's locale is kept only when it reports one.
TEST_F(PageFramework, ApplyDirtyAndLocaleFollowThePageOptions) {
  struct Case {
    PageApply apply;
    HRESULT localeAnswer;
    int appliesWhenClean;
    LANGID language;
  };
  const Case cases[] = {
      {PageApply::Always, S_OK, 1, 0x0407},
      {PageApply::WhenDirty, S_OK, 0, 0x0407},
      {PageApply::WhenDirty, E_NOTIMPL, 0, 0},
  };
  for (const Case& c : cases) {
    CountingPage page(c.apply);
    page.NonDelegatingAddRef();
    EXPECT_EQ(page.Apply(), E_UNEXPECTED) << "no site yet";
    StatusSite site(c.localeAnswer);
    ASSERT_EQ(page.SetPageSite(&site), S_OK);
    EXPECT_EQ(page.language(), c.language);
    RecordingLumorixHolder camera;
    IUnknown* object = camera.unknown();
    ASSERT_EQ(page.SetObjects(1, &object), S_OK);
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_EQ(page.applies, c.appliesWhenClean);
    page.Change();
    page.Change();
    EXPECT_EQ(site.statuses, std::vector<DWORD>{PROPPAGESTATUS_DIRTY}) << "told once";
    EXPECT_EQ(page.IsPageDirty(), S_OK);
    EXPECT_EQ(page.Apply(), S_OK);
    EXPECT_EQ(page.applies, c.appliesWhenClean + 1);
    EXPECT_EQ(page.SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page.SetPageSite(nullptr), S_OK);
    page.NonDelegatingRelease();
  }
}

}  // namespace
