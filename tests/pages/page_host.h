// A page hosted as a property frame hosts it, on the real filter over the filter tests' camera
// double: frame and container windows, a site that records status changes, message boxes
// captured instead of shown, and helpers that drive controls as a user would.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pages/page_table.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/page_host.h"
#include "tests/pages/captured_messages.h"

class PageHost {
 public:
  // A filter over one camera of setup whose values prepare sets; the page of row is created,
  // connected to the filter and activated in a frame.
  using Prepare = std::function<void(CameraValues&)>;
  explicit PageHost(PageRowId row, const CameraSetup& setup = CameraSetup{},
                    const Prepare& prepare = {});
  ~PageHost();

  bool ready() const { return dialog_ != nullptr; }
  CameraValues& camera() { return filter_->values(); }
  CDcm* filter() { return filter_->filter(); }
  IPropertyPage* page() { return page_; }
  HWND dialog() const { return dialog_; }
  HWND frame() const { return frame_ ? frame_->frame : nullptr; }
  HWND container() const { return frame_ ? frame_->container : nullptr; }
  TestSite& site() { return site_; }
  static std::vector<ShownMessage>& messages() { return CapturedMessages::shown(); }

  // Shows the frame and paints the page, for pictures (a shown frame closes slowly under wine).
  void show();
  // The locale every host's site reports; the process keeps the language of its first page.
  static LCID& siteLcid();

  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  std::wstring text(int id) const { return ItemText(dialog_, id); }
  void setText(int id, const wchar_t* text);
  // Moves a trackbar as a drag would and tells the page.
  void scrollTo(int id, int pos) { DragTrackbar(dialog_, id, pos); }
  // A button click as the button reports it; a check box or radio is toggled or checked first.
  void click(int id);
  // Return pressed in an edit, as the dialog manager routes it.
  void pressReturn(int id);
  int trackbar(int id) const;
  static void pump() { PumpFor(0); }

 private:
  CapturedMessages messages_;
  std::optional<FilterWithDouble> filter_;
  IPropertyPage* page_ = nullptr;
  TestSite site_;
  std::optional<Frame> frame_;
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
