// The conversion-gain page: high, low or HDR conversion gain through camera option 25; HDR only
// on models whose flag word offers it.
#pragma once

#include "pages/framework/cmuipropertypage.h"

class CCgPropertyPage : public CMuiPropertyPage {
 public:
  CCgPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId);

  HRESULT OnActivate() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void RefreshCgPage();
  // Asks the model record each time: a page never keeps the internal interface.
  bool ModelOffersHdr() const;
};
