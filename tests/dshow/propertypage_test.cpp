// CBasePropertyPage in a real window under wine: lifecycle, page info, apply and a saved picture.
#include <gtest/gtest.h>

#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <cstdio>

#include "dshow/base/cbasepropertypage.h"
#include "dshow/base/moduleinstance.h"
#include "tests/dshow/propertypage_test.h"
#include "tests/dshow/support/comptr.h"
#include "tests/wine/regsvr32.h"
#include "tests/wine/windowpicture.h"

namespace {

class TestPage : public CBasePropertyPage {
 public:
  TestPage() : CBasePropertyPage(L"TestPage", nullptr, IDD_TEST_PAGE, IDS_TEST_TITLE) {}
  HRESULT OnConnect(IUnknown*) override { return ++connects, S_OK; }
  HRESULT OnDisconnect() override { return ++disconnects, S_OK; }
  HRESULT OnActivate() override { return ++activations, S_OK; }
  HRESULT OnDeactivate() override { return ++deactivations, S_OK; }
  HRESULT OnApplyChanges() override { return ++applies, S_OK; }
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_INITDIALOG) initDialogSeen = true;
    return CBasePropertyPage::OnReceiveMessage(hwnd, message, wParam, lParam);
  }
  void MakeDirty() { m_bDirty = TRUE; }
  HWND Window() const { return m_hwnd; }

  int connects = 0, disconnects = 0, activations = 0, deactivations = 0, applies = 0;
  bool initDialogSeen = false;
};

class Site : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IPropertyPageSite) {
      *ppv = static_cast<IPropertyPageSite*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  std::atomic<ULONG> refs{1};
};

void PumpMessages() {
  MSG msg;
  for (int i = 0; i < 20; ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
}

class PropertyPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_hInst = GetModuleHandleW(nullptr);
    page_ = new TestPage;
    page_->NonDelegatingAddRef();
    frame_ = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 480,
                             320, nullptr, nullptr, g_hInst, nullptr);
    ASSERT_NE(frame_, nullptr);
  }
  void TearDown() override {
    page_->NonDelegatingRelease();
    DestroyWindow(frame_);
    EXPECT_EQ(site_.refs.load(), 1u);
  }
  TestPage* page_ = nullptr;
  HWND frame_ = nullptr;
  Site site_;
  ComScope com_;
};

TEST_F(PropertyPageTest, LifecycleAsThePropertyFrameDrivesIt) {
  IUnknown* object = &site_;
  RECT rect = {8, 8, 408, 208};
  EXPECT_EQ(page_->SetObjects(1, nullptr), E_POINTER);
  EXPECT_EQ(page_->SetObjects(2, &object), E_UNEXPECTED);
  EXPECT_EQ(page_->Apply(), E_UNEXPECTED);  // nothing to apply to yet
  EXPECT_EQ(page_->Show(SW_SHOW), E_UNEXPECTED);
  EXPECT_EQ(page_->Deactivate(), E_UNEXPECTED);

  ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  EXPECT_EQ(page_->SetPageSite(&site_), E_UNEXPECTED);
  ASSERT_EQ(page_->SetObjects(1, &object), S_OK);
  EXPECT_EQ(page_->connects, 1);

  ASSERT_EQ(page_->Activate(frame_, &rect, FALSE), S_OK);
  EXPECT_EQ(page_->Activate(frame_, &rect, FALSE), E_UNEXPECTED);
  EXPECT_TRUE(page_->initDialogSeen);
  EXPECT_EQ(page_->activations, 1);
  EXPECT_EQ(GetParent(page_->Window()), frame_);
  EXPECT_TRUE(IsWindowVisible(page_->Window()));
  EXPECT_NE(GetDlgItem(page_->Window(), IDC_TEST_BUTTON), nullptr);

  EXPECT_EQ(page_->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(IsWindowVisible(page_->Window()));
  EXPECT_EQ(page_->Show(SW_MAXIMIZE), E_INVALIDARG);
  EXPECT_EQ(page_->Show(SW_SHOWNORMAL), S_OK);
  RECT moved = {20, 30, 220, 130};
  EXPECT_EQ(page_->Move(&moved), S_OK);
  RECT now;
  GetWindowRect(page_->Window(), &now);
  MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&now), 2);
  EXPECT_EQ(now.left, 20);
  EXPECT_EQ(now.bottom - now.top, 100);

  // The frame clearing WS_EX_CONTROLPARENT does not stick.
  SetWindowLongPtrW(page_->Window(), GWL_EXSTYLE, 0);
  EXPECT_TRUE(GetWindowLongPtrW(page_->Window(), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);

  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(page_->applies, 0);  // not dirty: nothing to apply
  page_->MakeDirty();
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(page_->applies, 1);
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page_->Help(nullptr), E_NOTIMPL);
  EXPECT_EQ(page_->TranslateAccelerator(nullptr), E_NOTIMPL);

  HWND window = page_->Window();
  ASSERT_EQ(page_->Deactivate(), S_OK);
  EXPECT_EQ(page_->deactivations, 1);
  EXPECT_FALSE(IsWindow(window));
  ASSERT_EQ(page_->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(page_->disconnects, 1);
  ASSERT_EQ(page_->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(page_->SetPageSite(nullptr), E_UNEXPECTED);
}

// The page's info comes from the module's resources; the active page is saved as a picture.
TEST_F(PropertyPageTest, PageInfoAndAPictureOfTheActivePage) {
  PROPPAGEINFO info = {};  // asked for before the page has a window, as a frame does
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_STREQ(info.pszTitle, L"Test Title");
  CoTaskMemFree(info.pszTitle);
  RECT rect = {0, 0, 400, 200};
  ASSERT_EQ(page_->Activate(frame_, &rect, FALSE), S_OK);
  RECT dialogUnits = {0, 0, 200, 100};  // the template's size, in pixels
  MapDialogRect(page_->Window(), &dialogUnits);
  EXPECT_EQ(info.size.cx, dialogUnits.right);
  EXPECT_EQ(info.size.cy, dialogUnits.bottom);
  EXPECT_EQ(page_->GetPageInfo(nullptr), E_POINTER);
  UpdateWindow(frame_);
  PumpMessages();
  const std::wstring path = BesideExecutable(L"propertypage_test.png");
  const WindowPixels picture = CaptureWindowPixels(frame_);
  ASSERT_TRUE(SaveWindowPicture(frame_, path));
  page_->Deactivate();

  RECT frameRect;
  GetWindowRect(frame_, &frameRect);
  EXPECT_EQ(LONG(picture.width), frameRect.right - frameRect.left);
  EXPECT_EQ(LONG(picture.height), frameRect.bottom - frameRect.top);
  const std::vector<uint8_t>& pixels = picture.rgb;
  // A drawn page is not one flat colour.
  int distinct = 0;
  for (size_t i = 3; i < pixels.size() && distinct < 2; i += 3) {
    if (pixels[i] != pixels[0]) ++distinct;
  }
  EXPECT_EQ(distinct, 2);
  printf("[picture] property page saved for review: %ls\n", path.c_str());
}

}  // namespace
