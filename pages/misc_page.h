// The Misc pages: speed, flips, colour or grey, anti-flicker, bin or skip, contrast and gamma,
// bit depth. Eight page classes share this body and differ in dialog and feature flags.
#pragma once

#include <cstdint>

#include "pages/framework/cmuipropertypage.h"

// What a Misc dialog offers beyond speed and flips (each a 32-bit flag).
struct MiscFeatures {
  uint32_t colourGrey;
  uint32_t binSkip;
  uint32_t powerFrequency;
  uint32_t contrastGamma;
};

class CMiscPropertyPage : public CMuiPropertyPage {
 public:
  CMiscPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId,
                    MiscFeatures features);

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnActivate() override;
  INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void RefreshMiscPage();
  void RefreshBitDepth();
  // Enables the anti-flicker radios only while auto exposure is off.
  void FollowAutoExposure();
  void OnCommand(int id);
  void OnScroll(HWND bar);
  void ShowGamma(int32_t gamma);
  void ShowContrast(int32_t contrast);

  MiscFeatures m_features;
  uint32_t m_highBitDepth = 0;  // the camera offers more than 8 bits
};
