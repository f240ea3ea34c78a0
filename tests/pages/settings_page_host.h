// Hosts the module's pages in a frame over the real filter and its camera double: a site, a
// frame whose container holds every page, and helpers that click, scroll and type as a user.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "pages/page_table.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/page_host.h"
#include "tests/pages/captured_messages.h"

// A frame window with a container: the pages' grandparent is the frame, as in a property frame.
// Every window of the frame that is not a page hears the broadcasts in `heard`.
class PageFrame : public Frame {
 public:
  // shown: visible on the display, for pictures (its destruction then takes seconds).
  explicit PageFrame(bool shown = false);
  ~PageFrame();
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
  TestSite site_;
  HWND dialog_ = nullptr;
  bool active_ = false;
};

// The site's language of this run: German when ZX_PAGES_GERMAN is set (a process chooses its
// language once, so the German texts run in a process of their own), else English.
LCID RunLanguage();
