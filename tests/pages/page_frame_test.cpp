// Each page in the system's property frame on the filter over the camera double, closed with OK
// from a helper thread; nothing of the pages stays alive afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <olectl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "dshow/base/cclassfactory.h"
#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/cunknown.h"
#include "dshow/filter/cdcm.h"
#include "tests/pages/page_host.h"

namespace {

// The pages' class factories, registered for this process so the frame creates them by class id.
class RegisteredPageClasses {
 public:
  explicit RegisteredPageClasses(const std::vector<PageRowId>& rows) {
    templates_.reserve(rows.size());
    for (PageRowId row : rows) {
      const PageRow& page = PageRowOf(row);
      templates_.push_back({page.templateName, &page.clsid, page.create, nullptr, nullptr});
    }
    for (const CFactoryTemplate& templ : templates_) {
      auto* factory = new CClassFactory(&templ);
      factory->NonDelegatingAddRef();
      DWORD cookie = 0;
      if (SUCCEEDED(CoRegisterClassObject(*templ.m_ClsID, static_cast<IClassFactory*>(factory),
                                          CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
        cookies_.push_back(cookie);
      factory->NonDelegatingRelease();
    }
  }
  ~RegisteredPageClasses() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
  }
  size_t count() const { return cookies_.size(); }

 private:
  std::vector<CFactoryTemplate> templates_;
  std::vector<DWORD> cookies_;
};

// The property frame: the visible dialog window of thread (its caption varies by system).
HWND FindFrame(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM out) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (IsWindowVisible(window) && std::wstring(name) == L"#32770") {
          *reinterpret_cast<HWND*>(out) = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Presses OK in thread's frame once it shows; after ten seconds closes whatever it finds.
void PressOkWhenShown(DWORD thread, std::atomic<bool>* pressed) {
  for (int i = 0; i < 500; ++i) {
    if (HWND frame = FindFrame(thread)) {
      Sleep(50);  // let the page activate
      PostMessageW(frame, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      *pressed = true;
      return;
    }
    Sleep(20);
  }
}

TEST(PageFrame, EachPageOpensInTheFrameAndClosesWithOk) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  const std::vector<PageRowId> rows = {PageRowId::Exposure, PageRowId::Histogram, PageRowId::Colour,
                                       PageRowId::Size10,   PageRowId::Size20,    PageRowId::Size30,
                                       PageRowId::Size40,   PageRowId::Size22,    PageRowId::Size33,
                                       PageRowId::Size88};
  const LONG baseline = CUnknown::ObjectsActive();
  {
    RegisteredPageClasses classes(rows);
    ASSERT_EQ(classes.count(), rows.size());
    for (PageRowId row : rows) {
      CameraSetup setup;
      setup.stills = 2;
      DoubleProvider provider({setup});
      HRESULT hr = S_OK;
      auto* filter = new CDcm(0, &hr);
      filter->NonDelegatingAddRef();
      IUnknown* object = nullptr;
      filter->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&object));
      std::atomic<bool> pressed{false};
      std::thread helper(PressOkWhenShown, GetCurrentThreadId(), &pressed);
      CLSID clsid = PageRowOf(row).clsid;
      hr = OleCreatePropertyFrame(nullptr, 0, 0, L"Zerithal pages", 1, &object, 1, &clsid, 0x0409,
                                  0, nullptr);
      helper.join();
      EXPECT_EQ(hr, S_OK) << int(row);
      EXPECT_TRUE(pressed) << int(row);
      object->Release();
      filter->NonDelegatingRelease();
      PageHost::pump();
    }
  }
  // What the module's DllCanUnloadNow asks: no object, factories included, and no lock.
  EXPECT_EQ(CUnknown::ObjectsActive(), baseline);
  EXPECT_EQ(CClassFactory::ServerLocks(), 0);
  OleUninitialize();
}

}  // namespace
