// The exposure page: auto exposure and its target, the exposure time on a cube-root trackbar
// (with a dialog for typing it), the gain and the auto-exposure limits.
#pragma once

#include <windows.h>

#include <cstdint>

#include "pages/framework/enter_key_subclass.h"
#include "pages/page_table.h"

class CExposureBasePropertyPage : public CMuiPropertyPage {
 public:
  CExposureBasePropertyPage(const PageRow& row, IUnknown* outer);
};

class CExposurePropertyPage : public CExposureBasePropertyPage {
 public:
  CExposurePropertyPage(const PageRow& row, IUnknown* outer);

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  // For the exposure-time dialog and the exposure button.
  ILumorix* camera() const { return m_lumorix.get(); }
  LANGID language() const { return langId(); }
  uint32_t timeMinUs() const { return m_timeMinUs; }
  uint32_t timeMaxUs() const { return m_timeMaxUs; }
  uint32_t currentTimeUs() const { return m_timeUs; }
  // A time typed in the dialog: stored, sent to the camera, label and trackbar moved.
  void ExposureTimeChosen(uint32_t timeUs);
  bool buttonHot = false;
  WNDPROC buttonPrevious = nullptr;

 private:
  void RefreshExposurePage();
  void EnableForAutoExposure(bool on);
  HRESULT ApplyAeLimits();
  HRESULT ApplyAeThreshold();
  void ShowRangeLabels();
  void ShowExposureLabel();
  void ShowGain(uint16_t gain);
  void ShowTarget(uint16_t target);
  void OnScroll(int id);
  void OnCommand(int id, int code);
  void OnCameraNotify();
  void ExposureDefaults();
  void AutoExposureDefaults();
  void RefuseInput(int id);

  EnterKeySubclass m_enterKeys[3];
  uint32_t m_timeUs = 0;
  uint32_t m_shownRealUs = UINT32_MAX;
  uint32_t m_timeMinUs = 0;
  uint32_t m_timeMaxUs = 0;
  uint32_t m_timeDefaultUs = 0;
  uint16_t m_gainMin = 0;
  uint16_t m_gainMax = 0;
  uint16_t m_gainDefault = 0;
};

// Dialog 143, "Exposure Time": the exact time in ms; its parameter is the page.
INT_PTR CALLBACK ExposureTimeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The dialog's edit as a time within minUs..maxUs; on failure, when asked, the translated message
// is shown with the focus on the edit.
bool ValidateExposureTimeText(LANGID langId, HWND dialog, uint32_t* timeUs, bool showErrors,
                              uint32_t minUs, uint32_t maxUs);
// Button 1054: plain right-aligned text until the mouse is over it, a push button while it is.
LRESULT CALLBACK ExposureButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
void SubclassExposureButton(CExposurePropertyPage* page, HWND button);
