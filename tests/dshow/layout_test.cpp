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
// A property's getter, setter and range, in that order.
#define GET_PUT_RANGE(iface, p) SLOT(iface, get_##p), SLOT(iface, put_##p), SLOT(iface, getRange_##p)

struct Slot {
  const char* name;
  size_t slot;
};

template <size_t N>
void ExpectInOrder(const Slot (&order)[N]) {
  for (size_t i = 0; i < N; ++i) EXPECT_EQ(order[i].slot, kFirst + i) << order[i].name;
}

TEST(KsControlLayoutTest, VideoProcAmpSlots) {
#define P(p) GET_PUT_RANGE(IVideoProcAmp, p)
  const Slot order[] = {
      P(BacklightCompensation), P(Brightness), P(ColorEnable), P(Contrast), P(Gamma), P(Saturation),
      P(Sharpness), P(WhiteBalance), P(Gain), P(Hue), P(DigitalMultiplier), P(PowerlineFrequency),
      P(WhiteBalanceComponent),
  };
#undef P
  ExpectInOrder(order);
  EXPECT_EQ(sizeof(void*), sizeof(IVideoProcAmp));  // one vtable pointer, no data
}

TEST(KsControlLayoutTest, CameraControlSlots) {
#define P(p) GET_PUT_RANGE(ICameraControl, p)
#define S(name) SLOT(ICameraControl, name)
  const Slot order[] = {
      P(Exposure), P(Focus), P(Iris), P(Zoom), S(get_FocalLengths), P(Pan), P(Tilt),
      S(get_PanTilt), S(put_PanTilt), P(Roll), P(ExposureRelative), P(FocusRelative),
      P(IrisRelative), P(ZoomRelative), S(get_PanRelative), S(put_PanRelative),
      P(TiltRelative), S(get_PanTiltRelative), S(put_PanTiltRelative), S(getRange_PanRelative),
      P(RollRelative), S(get_ScanMode), S(put_ScanMode), S(get_PrivacyMode), S(put_PrivacyMode),
  };
#undef S
#undef P
  ExpectInOrder(order);
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
