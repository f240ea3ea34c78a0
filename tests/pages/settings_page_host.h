// Hosts the module's pages in a frame over the real filter and its camera double: a site, a
// frame whose container holds every page, and helpers that click, scroll and type as a user.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <vector>

#include "dshow/filter/cdcm.h"
#include "pages/page_table.h"
#include "tests/dshow/filter/camera_double.h"

class HostSite : public IPropertyPageSite {
 public:
  explicit HostSite(LCID lcid) : lcid_(lcid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IPropertyPageSite) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
    *lcid = lcid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

 private:
  LCID lcid_;
};

// A frame window with a container: the pages' grandparent is the frame, as in a property frame.
// Every window of the frame that is not a page hears the broadcasts in `heard`.
class PageFrame {
 public:
  // shown: visible on the display, for pictures (its destruction then takes seconds).
  explicit PageFrame(bool shown = false);
  ~PageFrame();
  HWND frame = nullptr;
  HWND container = nullptr;
  HWND listener = nullptr;  // a sibling of the pages that records the private messages
  std::vector<UINT> heard;
};

// One page of a row, connected to the filter and shown in the frame.
class HostedPage {
 public:
  HostedPage(PageRowId row, IUnknown* object, PageFrame& frame, LCID lcid = 0x0409);
  ~HostedPage();
  HostedPage(const HostedPage&) = delete;
  HostedPage& operator=(const HostedPage&) = delete;

  HWND dialog() const { return dialog_; }
  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  // A button clicked as the dialog manager reports it (also when the button is disabled, as a
  // keyboard accelerator would).
  void click(int id);
  void scroll(int id, int32_t position);
  void setText(int id, const std::wstring& text);
  std::wstring text(int id) const;
  bool checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
  IPropertyPage* page() const { return page_; }
  void deactivate();

 private:
  IPropertyPage* page_ = nullptr;
  HostSite site_;
  HWND dialog_ = nullptr;
  bool active_ = false;
};

// The site's language of this run: German when ZX_PAGES_GERMAN is set (a process chooses its
// language once, so the German texts run in a process of their own), else English.
LCID RunLanguage();

// Runs the thread's messages for ms milliseconds (at least one pass).
void PumpFor(DWORD ms);

// The filter over one camera double; the double's values are shared with the test.
class FilterWithDouble {
 public:
  explicit FilterWithDouble(CameraSetup setup = {});
  ~FilterWithDouble();
  IUnknown* object() const { return static_cast<ILumorix*>(filter_); }
  CameraValues& values() { return *provider_.log->values; }

 private:
  DoubleProvider provider_;
  CDcm* filter_ = nullptr;
};

// Message boxes the pages show, captured instead of shown.
struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  UINT type;
};
class CapturedMessages {
 public:
  CapturedMessages();
  ~CapturedMessages();
  std::vector<ShownMessage>& shown();
};
