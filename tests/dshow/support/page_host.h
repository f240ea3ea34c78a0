// A host of property pages as a property frame holds them: a site, a frame window, the thread's
// messages, the user's drags and the lifecycle every page the module offers goes through.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <cstddef>
#include <string>
#include <vector>

// A page site with a chosen locale (0: it reports none) that counts the status changes it is told
// and keeps their flags.
class TestSite : public IPropertyPageSite {
 public:
  explicit TestSite(LCID lcid) : lcid_(lcid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown && riid != IID_IPropertyPageSite) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    ++statusChanges;
    statuses.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
    if (!lcid_) return E_NOTIMPL;
    *lcid = lcid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  ULONG refs = 1;
  int statusChanges = 0;
  std::vector<DWORD> statuses;

 private:
  LCID lcid_;
};

// A frame with a container, so that the page's grandparent is the frame.
struct Frame {
  // shown: visible on the display, for pictures. Hidden by default: under a display without a
  // window manager, destroying a shown top-level window waits seconds for the display to confirm.
  explicit Frame(bool shown = false) {
    frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | (shown ? WS_VISIBLE : 0),
                            0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    container = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                780, 560, frame, nullptr, nullptr, nullptr);
  }
  ~Frame() { DestroyWindow(frame); }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  HWND frame;
  HWND container;
};

// Runs the thread's messages for ms milliseconds (at least one pass).
void PumpFor(DWORD ms);

// A page dialog's item text, up to 511 characters.
std::wstring ItemText(HWND dialog, int id);
// Moves a trackbar as a drag would, tells the dialog and runs the messages that follow.
void DragTrackbar(HWND dialog, int id, int position);

// Creates every page `owner` offers from the loaded zerithal.ax, connects it to owner, activates
// and deactivates it, and checks it leaves no reference behind; counts them into *pages. Runs in
// an apartment set up with OleInitialize.
void DrivePagesOf(IUnknown* owner, size_t* pages);
