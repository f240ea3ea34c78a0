// The property frame's messages and drags, and every page an object offers driven through its
// lifecycle.
#include "tests/dshow/support/page_host.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <olectl.h>

#include "tests/dshow/support/comptr.h"

void DrivePagesOf(IUnknown* owner, size_t* pages) {
  ComPtr<ISpecifyPropertyPages> specify;
  if (owner->QueryInterface(IID_ISpecifyPropertyPages, specify.outVoid()) != S_OK) return;
  CAUUID ids = {};
  ASSERT_EQ(specify->GetPages(&ids), S_OK);
  struct Ids {
    CAUUID* ids;
    ~Ids() { CoTaskMemFree(ids->pElems); }
  } const owned{&ids};
  auto getClassObject =
      reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"zerithal.ax"), "DllGetClassObject")));
  ASSERT_NE(getClassObject, nullptr);
  for (ULONG i = 0; i < ids.cElems; ++i) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(ids.pElems[i], IID_IClassFactory, factory.outVoid()), S_OK) << i;
    ComPtr<IPropertyPage> page;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page.outVoid()), S_OK) << i;
    TestSite site(0x0407);
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    const ULONG before = owner->AddRef();
    owner->Release();
    ASSERT_EQ(page->SetObjects(1, &owner), S_OK) << i;
    Frame frame;
    RECT rect = {0, 0, 400, 300};
    ASSERT_EQ(page->Activate(frame.container, &rect, FALSE), S_OK) << i;
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    const ULONG after = owner->AddRef();
    owner->Release();
    EXPECT_EQ(after, before) << "page " << i << " kept a reference to its object";
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    ++*pages;
  }
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

std::wstring ItemText(HWND dialog, int id) {
  wchar_t buffer[512] = {};
  GetDlgItemTextW(dialog, id, buffer, 512);
  return buffer;
}

void DragTrackbar(HWND dialog, int id, int position) {
  HWND bar = GetDlgItem(dialog, id);
  SendMessageW(bar, TBM_SETPOS, TRUE, position);
  SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
               reinterpret_cast<LPARAM>(bar));
  PumpFor(0);
}
