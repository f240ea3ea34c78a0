// The Cooling page: the cooler's switch and target temperature, the fan speed, and the sensor
// temperature and cooling power refreshed each second.
#pragma once

#include "pages/framework/cmuipropertypage.h"
#include "pages/framework/enter_key_subclass.h"

class CCoolingPropertyPage : public CMuiPropertyPage {
 public:
  CCoolingPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId);

  HRESULT OnActivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void RefreshCoolingPage();
  void ShowCoolingStatus();
  // Shows the cooler's state after a fan change, unless the camera has no cooler.
  void ShowTecState();
  HRESULT ApplyTecTarget();
  void OnCommand(int id, int code);
  bool HasTec() const;

  EnterKeySubclass m_targetEnter;
};
