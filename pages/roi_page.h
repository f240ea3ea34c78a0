// The ROI page: draws the frame and the measurement window, which the user moves, resizes, draws
// anew or nudges with the arrow keys; the camera marks the window in the video while it is shown.
#pragma once

#include "pages/framework/cmuipropertypage.h"
#include "pages/rules/roi_geometry.h"

class CRectPropertyPage : public CMuiPropertyPage {
 public:
  CRectPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId);

  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static LRESULT CALLBACK RoiWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  void InitSurface();
  void OnButtonDown(HWND control, int32_t x, int32_t y);
  void Drag(HWND control, int32_t x, int32_t y);
  void Nudge(HWND control, int32_t dx, int32_t dy);
  void Paint(HWND control);
  HCURSOR CursorFor(RoiHit hit) const;
  RoiFlips ReadFlips() const;
  ImageRect ReadRect() const;
  ControlRect WindowInControl() const;
  void WriteRect(HWND control, const ImageRect& window);

  WNDPROC m_previous = nullptr;
  HCURSOR m_moveCursor = nullptr;
  RoiView m_view;
  RoiDrag m_drag;
};
