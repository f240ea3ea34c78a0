// The colour page: white balance with one push, hue, saturation, brightness, contrast and gamma;
// every trackbar movement reaches the camera at once.
#pragma once

#include <windows.h>

#include "pages/page_table.h"

class CColorBasePropertyPage : public CMuiPropertyPage {
 public:
  CColorBasePropertyPage(const PageRow& row, IUnknown* outer);
};

class CColorPropertyPage : public CColorBasePropertyPage {
 public:
  CColorPropertyPage(const PageRow& row, IUnknown* outer);

  HRESULT OnActivate() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // Every trackbar and label from the camera; a failing read leaves its controls.
  void RefreshColourPage();
  void Show(int trackbarId, int32_t value);
  void OnScroll(HWND trackbar);
  bool OnButton(int id);
};
