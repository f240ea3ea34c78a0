// IVideoProcAmp and ICameraControl methods sit in the published vtable slots.
// Hand-aligned tables read better as columns.
// clang-format off
#include <gtest/gtest.h>

#include <windows.h>
#include <msxml2.h>

#include <cstddef>
#include <cstring>

#include "dshow/base/kscontrols.h"

namespace {

// A pointer to a virtual member holds 1 + the byte offset of its vtable slot (Itanium ABI).
template <typename F>
size_t SlotOf(F method) {
  static_assert(sizeof(F) == 2 * sizeof(void*));
  ptrdiff_t raw;
  std::memcpy(&raw, &method, sizeof(raw));
  return static_cast<size_t>(raw - 1) / sizeof(void*);
}

constexpr size_t kFirst = 3;  // after QueryInterface, AddRef, Release

#define SLOT(iface, name) {#name, SlotOf(&iface::name)}

TEST(KsControlLayoutTest, VideoProcAmpSlots) {
  const struct {
    const char* name;
    size_t slot;
  } order[] = {
      SLOT(IVideoProcAmp, get_BacklightCompensation), SLOT(IVideoProcAmp, put_BacklightCompensation),
      SLOT(IVideoProcAmp, getRange_BacklightCompensation), SLOT(IVideoProcAmp, get_Brightness),
      SLOT(IVideoProcAmp, put_Brightness), SLOT(IVideoProcAmp, getRange_Brightness),
      SLOT(IVideoProcAmp, get_ColorEnable), SLOT(IVideoProcAmp, put_ColorEnable),
      SLOT(IVideoProcAmp, getRange_ColorEnable), SLOT(IVideoProcAmp, get_Contrast),
      SLOT(IVideoProcAmp, put_Contrast), SLOT(IVideoProcAmp, getRange_Contrast),
      SLOT(IVideoProcAmp, get_Gamma), SLOT(IVideoProcAmp, put_Gamma),
      SLOT(IVideoProcAmp, getRange_Gamma), SLOT(IVideoProcAmp, get_Saturation),
      SLOT(IVideoProcAmp, put_Saturation), SLOT(IVideoProcAmp, getRange_Saturation),
      SLOT(IVideoProcAmp, get_Sharpness), SLOT(IVideoProcAmp, put_Sharpness),
      SLOT(IVideoProcAmp, getRange_Sharpness), SLOT(IVideoProcAmp, get_WhiteBalance),
      SLOT(IVideoProcAmp, put_WhiteBalance), SLOT(IVideoProcAmp, getRange_WhiteBalance),
      SLOT(IVideoProcAmp, get_Gain), SLOT(IVideoProcAmp, put_Gain),
      SLOT(IVideoProcAmp, getRange_Gain), SLOT(IVideoProcAmp, get_Hue),
      SLOT(IVideoProcAmp, put_Hue), SLOT(IVideoProcAmp, getRange_Hue),
      SLOT(IVideoProcAmp, get_DigitalMultiplier), SLOT(IVideoProcAmp, put_DigitalMultiplier),
      SLOT(IVideoProcAmp, getRange_DigitalMultiplier), SLOT(IVideoProcAmp, get_PowerlineFrequency),
      SLOT(IVideoProcAmp, put_PowerlineFrequency), SLOT(IVideoProcAmp, getRange_PowerlineFrequency),
      SLOT(IVideoProcAmp, get_WhiteBalanceComponent), SLOT(IVideoProcAmp, put_WhiteBalanceComponent),
      SLOT(IVideoProcAmp, getRange_WhiteBalanceComponent),
  };
  for (size_t i = 0; i < std::size(order); ++i) EXPECT_EQ(order[i].slot, kFirst + i) << order[i].name;
  EXPECT_EQ(sizeof(void*), sizeof(IVideoProcAmp));  // one vtable pointer, no data
}

TEST(KsControlLayoutTest, CameraControlSlots) {
  const struct {
    const char* name;
    size_t slot;
  } order[] = {
      SLOT(ICameraControl, get_Exposure), SLOT(ICameraControl, put_Exposure),
      SLOT(ICameraControl, getRange_Exposure), SLOT(ICameraControl, get_Focus),
      SLOT(ICameraControl, put_Focus), SLOT(ICameraControl, getRange_Focus),
      SLOT(ICameraControl, get_Iris), SLOT(ICameraControl, put_Iris),
      SLOT(ICameraControl, getRange_Iris), SLOT(ICameraControl, get_Zoom),
      SLOT(ICameraControl, put_Zoom), SLOT(ICameraControl, getRange_Zoom),
      SLOT(ICameraControl, get_FocalLengths), SLOT(ICameraControl, get_Pan),
      SLOT(ICameraControl, put_Pan), SLOT(ICameraControl, getRange_Pan),
      SLOT(ICameraControl, get_Tilt), SLOT(ICameraControl, put_Tilt),
      SLOT(ICameraControl, getRange_Tilt), SLOT(ICameraControl, get_PanTilt),
      SLOT(ICameraControl, put_PanTilt), SLOT(ICameraControl, get_Roll),
      SLOT(ICameraControl, put_Roll), SLOT(ICameraControl, getRange_Roll),
      SLOT(ICameraControl, get_ExposureRelative), SLOT(ICameraControl, put_ExposureRelative),
      SLOT(ICameraControl, getRange_ExposureRelative), SLOT(ICameraControl, get_FocusRelative),
      SLOT(ICameraControl, put_FocusRelative), SLOT(ICameraControl, getRange_FocusRelative),
      SLOT(ICameraControl, get_IrisRelative), SLOT(ICameraControl, put_IrisRelative),
      SLOT(ICameraControl, getRange_IrisRelative), SLOT(ICameraControl, get_ZoomRelative),
      SLOT(ICameraControl, put_ZoomRelative), SLOT(ICameraControl, getRange_ZoomRelative),
      SLOT(ICameraControl, get_PanRelative), SLOT(ICameraControl, put_PanRelative),
      SLOT(ICameraControl, get_TiltRelative), SLOT(ICameraControl, put_TiltRelative),
      SLOT(ICameraControl, getRange_TiltRelative), SLOT(ICameraControl, get_PanTiltRelative),
      SLOT(ICameraControl, put_PanTiltRelative), SLOT(ICameraControl, getRange_PanRelative),
      SLOT(ICameraControl, get_RollRelative), SLOT(ICameraControl, put_RollRelative),
      SLOT(ICameraControl, getRange_RollRelative), SLOT(ICameraControl, get_ScanMode),
      SLOT(ICameraControl, put_ScanMode), SLOT(ICameraControl, get_PrivacyMode),
      SLOT(ICameraControl, put_PrivacyMode),
  };
  for (size_t i = 0; i < std::size(order); ++i) EXPECT_EQ(order[i].slot, kFirst + i) << order[i].name;
  EXPECT_EQ(sizeof(void*), sizeof(ICameraControl));
}

TEST(KsControlLayoutTest, InterfaceIds) {
  const IID videoProcAmp = {0x4050560E, 0x42A7, 0x413A, {0x85, 0xC2, 0x09, 0x26, 0x9A, 0x2D, 0x0F, 0x44}};
  const IID cameraControl = {0x2BA1785D, 0x4D1B, 0x44EF, {0x85, 0xE8, 0xC7, 0xF1, 0xD3, 0xF2, 0x01, 0x84}};
  EXPECT_EQ(IID_IVideoProcAmp, videoProcAmp);
  EXPECT_EQ(__uuidof(IVideoProcAmp), videoProcAmp);
  EXPECT_EQ(IID_ICameraControl, cameraControl);
  EXPECT_EQ(__uuidof(ICameraControl), cameraControl);
  const IID domDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
  EXPECT_EQ(IID_IXMLDOMDocument2, domDocument2);
}

}  // namespace
// clang-format on
