// A page hosted as a property frame hosts it, on the real filter over the filter tests' camera
// double: frame and container windows, a site that records status changes, message boxes
// captured instead of shown, and helpers that drive controls as a user would.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/page_table.h"
#include "tests/dshow/filter/camera_double.h"

class RecordingSite : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override;
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  ULONG refs = 1;
  LCID lcid = 0x0409;
  std::vector<DWORD> statuses;
};

// One message box the page asked for.
struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class PageHost {
 public:
  // A filter over one camera of setup whose values prepare sets; the page of row is created,
  // connected to the filter and activated in a frame.
  using Prepare = std::function<void(CameraValues&)>;
  explicit PageHost(PageRowId row, const CameraSetup& setup = CameraSetup{},
                    const Prepare& prepare = {});
  ~PageHost();

  bool ready() const { return dialog_ != nullptr; }
  CameraValues& camera() { return *provider_.log->values; }
  IPropertyPage* page() { return page_; }
  HWND dialog() const { return dialog_; }
  HWND frame() const { return frame_; }
  HWND container() const { return container_; }
  RecordingSite& site() { return site_; }
  static std::vector<ShownMessage>& messages();

  // Shows the frame and paints the page, for pictures (a shown frame closes slowly under wine).
  void show();
  // The locale every host's site reports; the process keeps the language of its first page.
  static LCID& siteLcid();

  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  std::wstring text(int id) const;
  void setText(int id, const wchar_t* text);
  // Moves a trackbar as a drag would and tells the page.
  void scrollTo(int id, int pos);
  // A button click as the button reports it; a check box or radio is toggled or checked first.
  void click(int id);
  // Return pressed in an edit, as the dialog manager routes it.
  void pressReturn(int id);
  int trackbar(int id) const;
  static void pump();

 private:
  DoubleProvider provider_;
  IUnknown* filter_ = nullptr;
  IPropertyPage* page_ = nullptr;
  RecordingSite site_;
  HWND frame_ = nullptr;
  HWND container_ = nullptr;
  HWND dialog_ = nullptr;
};

// Counts the messages a window of the frame receives, as a sibling page would.
class FrameListener {
 public:
  explicit FrameListener(HWND parent);
  ~FrameListener();
  size_t count(UINT message) const;

 private:
  HWND window_ = nullptr;
};
