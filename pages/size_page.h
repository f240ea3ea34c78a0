// The seven resolution pages: radio buttons labelled with the camera's sizes, applied when the
// frame applies the page (even though they never mark themselves dirty).
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "pages/page_table.h"

// The radio ids of one page, in index order.
struct SizeRadios {
  std::span<const int> preview;
  std::span<const int> still;  // empty on the preview pages
  bool twoSizeStill = false;   // the two-size still page and its single-still rule
};

class CSizePropertyPage : public CMuiPropertyPage {
 public:
  CSizePropertyPage(const PageRow& row, IUnknown* outer, const SizeRadios& radios);

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnActivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
  // Reads the checked radio of each group into the pending indices.
  virtual void ReadCheckedRadios();

 protected:
  void CheckRadios(std::span<const int> ids, uint32_t index);
  void LabelRadios(std::span<const int> ids);
  // Still radios past the camera's still resolutions stay disabled; a checked one moves to the
  // first.
  void OfferUsableStills();

  SizeRadios m_radios;
  uint32_t m_previewIndex = 0;
  uint32_t m_stillIndex = 0;
};

class CPreviewSizePropertyPage : public CSizePropertyPage {
 public:
  using CSizePropertyPage::CSizePropertyPage;
};

class CStillSizePropertyPage : public CSizePropertyPage {
 public:
  using CSizePropertyPage::CSizePropertyPage;
};

#define ZX_SIZE_PAGE(Name, Base)               \
  class Name : public Base {                   \
   public:                                     \
    Name(const PageRow& row, IUnknown* outer); \
  };
ZX_SIZE_PAGE(CSize10PropertyPage, CPreviewSizePropertyPage)
ZX_SIZE_PAGE(CSize20PropertyPage, CPreviewSizePropertyPage)
ZX_SIZE_PAGE(CSize30PropertyPage, CPreviewSizePropertyPage)
ZX_SIZE_PAGE(CSize40PropertyPage, CPreviewSizePropertyPage)
ZX_SIZE_PAGE(CSize22PropertyPage, CStillSizePropertyPage)
ZX_SIZE_PAGE(CSize33PropertyPage, CStillSizePropertyPage)
ZX_SIZE_PAGE(CSize88PropertyPage, CStillSizePropertyPage)
#undef ZX_SIZE_PAGE
