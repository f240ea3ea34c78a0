// IVideoProcAmp and ICameraControl of the kernel-streaming proxy, which mingw-w64 does not declare.
#pragma once

#include <windows.h>
#include <unknwn.h>

// Methods in the published slot order: per property get_, put_, getRange_.
struct IVideoProcAmp : public IUnknown {
#define ZX_VPA_PROPERTY(name)                                                                  \
  virtual HRESULT STDMETHODCALLTYPE get_##name(long* value, long* flags) = 0;                  \
  virtual HRESULT STDMETHODCALLTYPE put_##name(long value, long flags) = 0;                    \
  virtual HRESULT STDMETHODCALLTYPE getRange_##name(long* min, long* max, long* steppingDelta, \
                                                    long* defaultValue, long* capsFlags) = 0;
  ZX_VPA_PROPERTY(BacklightCompensation)
  ZX_VPA_PROPERTY(Brightness)
  ZX_VPA_PROPERTY(ColorEnable)
  ZX_VPA_PROPERTY(Contrast)
  ZX_VPA_PROPERTY(Gamma)
  ZX_VPA_PROPERTY(Saturation)
  ZX_VPA_PROPERTY(Sharpness)
  ZX_VPA_PROPERTY(WhiteBalance)
  ZX_VPA_PROPERTY(Gain)
  ZX_VPA_PROPERTY(Hue)
  ZX_VPA_PROPERTY(DigitalMultiplier)
  ZX_VPA_PROPERTY(PowerlineFrequency)
#undef ZX_VPA_PROPERTY
  virtual HRESULT STDMETHODCALLTYPE get_WhiteBalanceComponent(long* value1, long* value2,
                                                              long* flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WhiteBalanceComponent(long value1, long value2,
                                                              long flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE getRange_WhiteBalanceComponent(long* min, long* max,
                                                                   long* steppingDelta,
                                                                   long* defaultValue,
                                                                   long* capsFlags) = 0;
};

#define ZX_CC_GET(name) virtual HRESULT STDMETHODCALLTYPE get_##name(long* value, long* flags) = 0;
#define ZX_CC_PUT(name) virtual HRESULT STDMETHODCALLTYPE put_##name(long value, long flags) = 0;
#define ZX_CC_RANGE(name)                                                                      \
  virtual HRESULT STDMETHODCALLTYPE getRange_##name(long* min, long* max, long* steppingDelta, \
                                                    long* defaultValue, long* capsFlags) = 0;
#define ZX_CC_PROPERTY(name) ZX_CC_GET(name) ZX_CC_PUT(name) ZX_CC_RANGE(name)

// Methods in the published slot order, irregular where the published interface is.
struct ICameraControl : public IUnknown {
  ZX_CC_PROPERTY(Exposure)
  ZX_CC_PROPERTY(Focus)
  ZX_CC_PROPERTY(Iris)
  ZX_CC_PROPERTY(Zoom)
  virtual HRESULT STDMETHODCALLTYPE get_FocalLengths(long* ocularFocalLength,
                                                     long* objectiveFocalLengthMin,
                                                     long* objectiveFocalLengthMax) = 0;
  ZX_CC_PROPERTY(Pan)
  ZX_CC_PROPERTY(Tilt)
  virtual HRESULT STDMETHODCALLTYPE get_PanTilt(long* panValue, long* tiltValue, long* flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PanTilt(long panValue, long tiltValue, long flags) = 0;
  ZX_CC_PROPERTY(Roll)
  ZX_CC_PROPERTY(ExposureRelative)
  ZX_CC_PROPERTY(FocusRelative)
  ZX_CC_PROPERTY(IrisRelative)
  ZX_CC_PROPERTY(ZoomRelative)
  ZX_CC_GET(PanRelative)
  ZX_CC_PUT(PanRelative)
  ZX_CC_PROPERTY(TiltRelative)
  virtual HRESULT STDMETHODCALLTYPE get_PanTiltRelative(long* panValue, long* tiltValue,
                                                        long* flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_PanTiltRelative(long panValue, long tiltValue,
                                                        long flags) = 0;
  ZX_CC_RANGE(PanRelative)
  ZX_CC_PROPERTY(RollRelative)
  ZX_CC_GET(ScanMode)
  ZX_CC_PUT(ScanMode)
  ZX_CC_GET(PrivacyMode)
  ZX_CC_PUT(PrivacyMode)
};

#undef ZX_CC_PROPERTY
#undef ZX_CC_RANGE
#undef ZX_CC_PUT
#undef ZX_CC_GET

extern "C" const IID IID_IVideoProcAmp;   // {4050560E-42A7-413A-85C2-09269A2D0F44}
extern "C" const IID IID_ICameraControl;  // {2BA1785D-4D1B-44EF-85E8-C7F1D3F20184}

__CRT_UUID_DECL(IVideoProcAmp, 0x4050560E, 0x42A7, 0x413A, 0x85, 0xC2, 0x09, 0x26, 0x9A, 0x2D, 0x0F,
                0x44)
__CRT_UUID_DECL(ICameraControl, 0x2BA1785D, 0x4D1B, 0x44EF, 0x85, 0xE8, 0xC7, 0xF1, 0xD3, 0xF2,
                0x01, 0x84)
