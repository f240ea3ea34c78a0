// The standard DirectShow camera properties over the object's own camera interface: the
// video-amplifier and camera-control interfaces, and their kernel-streaming forms.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstdint>

#include "core/lumorix.h"
#include "dshow/base/kscontrols.h"

namespace standard_properties {

inline constexpr long kFlagAuto = 1;
inline constexpr long kFlagManual = 2;
inline constexpr long kCapsBoth = 3;
inline constexpr long kPropertyExposure = 4;  // CameraControl_Exposure
inline constexpr long kLog2Min = -19;
inline constexpr long kLog2Max = 11;

// Exposure in log2 seconds. From microseconds: the smallest v whose time holds us (so a minimum
// rounds up), 11 above the table.
long log2FromMicroseconds(uint32_t us);
// The largest v whose time is at most us, so an announced maximum can be set; kLog2Min below it.
long log2AtMost(uint32_t us);
// The microseconds of v; above 12 they no longer fit 32 bits: E_INVALIDARG.
HRESULT microsecondsFromLog2(long v, uint32_t* us);

// Standard power-line values (0 off, 1 50 Hz, 2 60 Hz) and the camera's light frequency
// (0 60 Hz, 1 50 Hz, 2 none) map onto each other the same way in both directions.
inline uint32_t mapLightFrequency(uint32_t value) {
  return 2 - value;
}

// One video-amplifier property: its fixed range, or the camera's when `fromCamera`.
struct ProcAmpRange {
  long property;
  long min, max, step, defaultValue, caps;
  bool fromCamera;
};
// The properties the camera answers, nullptr for one it does not.
const ProcAmpRange* procAmpRange(long property);

// Video amplifier over camera object `c`.
HRESULT procAmpGetRange(ILumorix* c, long property, long* min, long* max, long* step,
                        long* defaultValue, long* caps);
HRESULT procAmpGet(ILumorix* c, long property, long* value, long* flags);
HRESULT procAmpSet(ILumorix* c, long property, long value, long flags);
// Exposure in log2 seconds, and in plain microseconds for the relative form.
HRESULT exposureGetRange(ILumorix* c, bool log2, long* min, long* max, long* step,
                         long* defaultValue, long* caps);
HRESULT exposureGet(ILumorix* c, bool log2, long* value, long* flags);
HRESULT exposureSet(ILumorix* c, long log2Value, long flags);
HRESULT exposureSetMicroseconds(ILumorix* c, long us, long flags);

}  // namespace standard_properties

// Each template reaches the camera through T's own ILumorix, so a pin answers as its filter.
template <class T>
class IAMVideoProcAmpImpl : public IAMVideoProcAmp {
 public:
  HRESULT STDMETHODCALLTYPE GetRange(long property, long* min, long* max, long* step,
                                     long* defaultValue, long* caps) override {
    return standard_properties::procAmpGetRange(own(), property, min, max, step, defaultValue,
                                                caps);
  }
  HRESULT STDMETHODCALLTYPE Set(long property, long value, long flags) override {
    return standard_properties::procAmpSet(own(), property, value, flags);
  }
  HRESULT STDMETHODCALLTYPE Get(long property, long* value, long* flags) override {
    return standard_properties::procAmpGet(own(), property, value, flags);
  }

 private:
  ILumorix* own() { return static_cast<ILumorix*>(static_cast<T*>(this)); }
};

template <class T>
class IAMCameraControlImpl : public IAMCameraControl {
 public:
  HRESULT STDMETHODCALLTYPE GetRange(long property, long* min, long* max, long* step,
                                     long* defaultValue, long* caps) override {
    if (property != standard_properties::kPropertyExposure) return E_PROP_ID_UNSUPPORTED;
    return standard_properties::exposureGetRange(own(), true, min, max, step, defaultValue, caps);
  }
  HRESULT STDMETHODCALLTYPE Set(long property, long value, long flags) override {
    if (property != standard_properties::kPropertyExposure) return E_PROP_ID_UNSUPPORTED;
    return standard_properties::exposureSet(own(), value, flags);
  }
  HRESULT STDMETHODCALLTYPE Get(long property, long* value, long* flags) override {
    if (property != standard_properties::kPropertyExposure) return E_PROP_ID_UNSUPPORTED;
    return standard_properties::exposureGet(own(), true, value, flags);
  }

 private:
  ILumorix* own() { return static_cast<ILumorix*>(static_cast<T*>(this)); }
};

#define ZX_UNSUPPORTED_GET(name)                                \
  HRESULT STDMETHODCALLTYPE get_##name(long*, long*) override { \
    return E_PROP_ID_UNSUPPORTED;                               \
  }
#define ZX_UNSUPPORTED_PUT(name)                              \
  HRESULT STDMETHODCALLTYPE put_##name(long, long) override { \
    return E_PROP_ID_UNSUPPORTED;                             \
  }
#define ZX_UNSUPPORTED_RANGE(name)                                                        \
  HRESULT STDMETHODCALLTYPE getRange_##name(long*, long*, long*, long*, long*) override { \
    return E_PROP_ID_UNSUPPORTED;                                                         \
  }
#define ZX_UNSUPPORTED(name) \
  ZX_UNSUPPORTED_GET(name) ZX_UNSUPPORTED_PUT(name) ZX_UNSUPPORTED_RANGE(name)

template <class T>
class ICameraControlImpl : public ICameraControl {
 public:
  HRESULT STDMETHODCALLTYPE get_Exposure(long* value, long* flags) override {
    return standard_properties::exposureGet(own(), true, value, flags);
  }
  HRESULT STDMETHODCALLTYPE put_Exposure(long value, long flags) override {
    return standard_properties::exposureSet(own(), value, flags);
  }
  HRESULT STDMETHODCALLTYPE getRange_Exposure(long* min, long* max, long* step, long* defaultValue,
                                              long* caps) override {
    return standard_properties::exposureGetRange(own(), true, min, max, step, defaultValue, caps);
  }
  HRESULT STDMETHODCALLTYPE get_ExposureRelative(long* value, long* flags) override {
    return standard_properties::exposureGet(own(), false, value, flags);
  }
  HRESULT STDMETHODCALLTYPE put_ExposureRelative(long value, long flags) override {
    return standard_properties::exposureSetMicroseconds(own(), value, flags);
  }
  HRESULT STDMETHODCALLTYPE getRange_ExposureRelative(long* min, long* max, long* step,
                                                      long* defaultValue, long* caps) override {
    return standard_properties::exposureGetRange(own(), false, min, max, step, defaultValue, caps);
  }
  ZX_UNSUPPORTED(Focus)
  ZX_UNSUPPORTED(Iris)
  ZX_UNSUPPORTED(Zoom)
  HRESULT STDMETHODCALLTYPE get_FocalLengths(long*, long*, long*) override {
    return E_PROP_ID_UNSUPPORTED;
  }
  ZX_UNSUPPORTED(Pan)
  ZX_UNSUPPORTED(Tilt)
  HRESULT STDMETHODCALLTYPE get_PanTilt(long*, long*, long*) override {
    return E_PROP_ID_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE put_PanTilt(long, long, long) override { return E_PROP_ID_UNSUPPORTED; }
  ZX_UNSUPPORTED(Roll)
  ZX_UNSUPPORTED(FocusRelative)
  ZX_UNSUPPORTED(IrisRelative)
  ZX_UNSUPPORTED(ZoomRelative)
  ZX_UNSUPPORTED_GET(PanRelative)
  ZX_UNSUPPORTED_PUT(PanRelative)
  ZX_UNSUPPORTED(TiltRelative)
  HRESULT STDMETHODCALLTYPE get_PanTiltRelative(long*, long*, long*) override {
    return E_PROP_ID_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE put_PanTiltRelative(long, long, long) override {
    return E_PROP_ID_UNSUPPORTED;
  }
  ZX_UNSUPPORTED_RANGE(PanRelative)
  ZX_UNSUPPORTED(RollRelative)
  ZX_UNSUPPORTED_GET(ScanMode)
  ZX_UNSUPPORTED_PUT(ScanMode)
  ZX_UNSUPPORTED_GET(PrivacyMode)
  ZX_UNSUPPORTED_PUT(PrivacyMode)

 private:
  ILumorix* own() { return static_cast<ILumorix*>(static_cast<T*>(this)); }
};

// Every property goes to the same object's IAMVideoProcAmp under its standard number, so both
// interfaces always agree; the two without a number answer unsupported and touch nothing.
#define ZX_PROCAMP_AS(name, id)                                                                   \
  HRESULT STDMETHODCALLTYPE get_##name(long* value, long* flags) override {                       \
    return amp()->Get(id, value, flags);                                                          \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE put_##name(long value, long flags) override {                         \
    return amp()->Set(id, value, flags);                                                          \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE getRange_##name(long* min, long* max, long* step, long* defaultValue, \
                                            long* caps) override {                                \
    return amp()->GetRange(id, min, max, step, defaultValue, caps);                               \
  }

template <class T>
class IVideoProcAmpImpl : public IVideoProcAmp {
 public:
  ZX_PROCAMP_AS(BacklightCompensation, 8)
  ZX_PROCAMP_AS(Brightness, 0)
  ZX_PROCAMP_AS(ColorEnable, 6)
  ZX_PROCAMP_AS(Contrast, 1)
  ZX_PROCAMP_AS(Gamma, 5)
  ZX_PROCAMP_AS(Saturation, 3)
  ZX_PROCAMP_AS(Sharpness, 4)
  ZX_PROCAMP_AS(WhiteBalance, 7)
  ZX_PROCAMP_AS(Gain, 9)
  ZX_PROCAMP_AS(Hue, 2)
  ZX_UNSUPPORTED(DigitalMultiplier)
  ZX_PROCAMP_AS(PowerlineFrequency, 13)
  HRESULT STDMETHODCALLTYPE get_WhiteBalanceComponent(long*, long*, long*) override {
    return E_PROP_ID_UNSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE put_WhiteBalanceComponent(long, long, long) override {
    return E_PROP_ID_UNSUPPORTED;
  }
  ZX_UNSUPPORTED_RANGE(WhiteBalanceComponent)

 private:
  IAMVideoProcAmp* amp() { return static_cast<IAMVideoProcAmp*>(static_cast<T*>(this)); }
};

#undef ZX_PROCAMP_AS
#undef ZX_UNSUPPORTED
#undef ZX_UNSUPPORTED_RANGE
#undef ZX_UNSUPPORTED_PUT
#undef ZX_UNSUPPORTED_GET
