// The standard DirectShow camera properties over the object's own camera interface: the
// video-amplifier and camera-control interfaces, and their kernel-streaming forms.
#include "dshow/filter/standard_properties.h"

#include <algorithm>
#include <array>

namespace standard_properties {
namespace {

constexpr uint32_t kOneSecondUs = 1000000;
constexpr long kLog2Limit = 12;  // the last v whose microseconds fit 32 bits

// Entry i is 2^(i-19) seconds in whole microseconds.
constexpr std::array<uint32_t, kLog2Max - kLog2Min + 1> kExposureLog2Table = [] {
  std::array<uint32_t, kLog2Max - kLog2Min + 1> table{};
  for (long v = kLog2Min; v <= kLog2Max; ++v)
    table[v - kLog2Min] = v < 0 ? kOneSecondUs >> -v : kOneSecondUs << v;
  return table;
}();

constexpr long kPowerLine = 13;
constexpr long kSaturation = 3;
constexpr long kColorEnable = 6;
constexpr long kWhiteBalance = 7;
constexpr long kGain = 9;

constexpr ProcAmpRange kProcAmpRanges[] = {{0, -64, 64, 1, 0, kFlagManual, false},
                                           {1, -100, 100, 1, 0, kFlagManual, false},
                                           {2, -180, 180, 1, 0, kFlagManual, false},
                                           {3, 0, 255, 1, 128, kFlagManual, false},
                                           {5, 20, 180, 1, 100, kFlagManual, false},
                                           {kColorEnable, 0, 1, 1, 1, kFlagManual, false},
                                           {kWhiteBalance, 2000, 15000, 1, 6503, kCapsBoth, false},
                                           {kGain, 0, 0, 1, 0, kCapsBoth, true},
                                           {kPowerLine, 0, 2, 1, 0, kFlagManual, false}};

void store(long* out, long value) {
  if (out) *out = value;
}

HRESULT autoFlags(ILumorix* c, long* flags) {
  if (!flags) return S_OK;
  uint32_t on = 0;
  const HRESULT hr = c->get_AutoExpoEnable(&on);
  if (FAILED(hr)) return hr;
  *flags = on > 0 ? kFlagAuto : kFlagManual;
  return S_OK;
}

// Power-line frequency is offered only by a camera whose light frequency can be read.
bool hasLightFrequency(ILumorix* c, uint32_t* mode) {
  return c->get_LightFrequency(mode) == S_OK;
}

HRESULT getInt(ILumorix* c, long property, long* value) {
  int32_t v = 0;
  HRESULT hr = E_PROP_ID_UNSUPPORTED;
  switch (property) {
    case 0:
      hr = c->get_Brightness(value ? &v : nullptr);
      break;
    case 1:
      hr = c->get_Contrast(value ? &v : nullptr);
      break;
    case 2:
      hr = c->get_Hue(value ? &v : nullptr);
      break;
    case 5:
      hr = c->get_Gamma(value ? &v : nullptr);
      break;
    case 3: {
      uint32_t s = 0;
      hr = c->get_Saturation(value ? &s : nullptr);
      v = static_cast<int32_t>(s);
      break;
    }
    default:
      break;
  }
  if (SUCCEEDED(hr)) store(value, v);
  return hr;
}

// The values whose camera getter takes no null pointer are asked only when wanted.
HRESULT getMapped(ILumorix* c, long property, long* value, long* flags) {
  HRESULT hr = S_OK;
  if (property == kGain) {
    uint16_t gain = 0;
    if (value && FAILED(hr = c->get_ExpoAGain(&gain))) return hr;
    store(value, gain);
    return autoFlags(c, flags);
  }
  if (value && property == kColorEnable) {
    uint32_t grey = 0;
    if (FAILED(hr = c->get_Chrome(&grey))) return hr;
    *value = grey == 0 ? 1 : 0;
  } else if (value && property == kWhiteBalance) {
    int32_t temperature = 0;
    int32_t tint = 0;
    if (FAILED(hr = c->get_TempTint(&temperature, &tint))) return hr;
    *value = temperature;
  }
  store(flags, kFlagManual);
  return S_OK;
}

// A camera without a setting (a grey camera has no colour settings, one balancing by gains no
// temperature) answers its getter E_NOTIMPL; hosts take every range they are given as usable, so
// such a property is not offered. The colour switch goes with saturation: a grey camera cannot
// turn colour on.
bool cameraLacks(ILumorix* c, long property) {
  long value = 0;
  if (property == kWhiteBalance) return getMapped(c, property, &value, nullptr) == E_NOTIMPL;
  return getInt(c, property == kColorEnable ? kSaturation : property, &value) == E_NOTIMPL;
}

}  // namespace

long log2FromMicroseconds(uint32_t us) {
  for (size_t i = 0; i < kExposureLog2Table.size(); ++i)
    if (us <= kExposureLog2Table[i]) return kLog2Min + static_cast<long>(i);
  return kLog2Max;
}

long log2AtMost(uint32_t us) {
  long best = kLog2Min;
  for (long v = kLog2Min; v <= kLog2Limit; ++v) {
    uint32_t time = 0;
    if (SUCCEEDED(microsecondsFromLog2(v, &time)) && time <= us) best = v;
  }
  return best;
}

HRESULT microsecondsFromLog2(long v, uint32_t* us) {
  if (v > kLog2Limit) return E_INVALIDARG;
  *us = v >= 0 ? kOneSecondUs << v : (v > -32 ? kOneSecondUs >> -v : 0);
  return S_OK;
}

const ProcAmpRange* procAmpRange(long property) {
  for (const ProcAmpRange& range : kProcAmpRanges)
    if (range.property == property) return &range;
  return nullptr;
}

HRESULT procAmpGetRange(ILumorix* c, long property, long* min, long* max, long* step,
                        long* defaultValue, long* caps) {
  const ProcAmpRange* range = procAmpRange(property);
  if (!range) return E_PROP_ID_UNSUPPORTED;
  uint32_t mode = 0;
  if (property == kPowerLine && !hasLightFrequency(c, &mode)) return E_PROP_ID_UNSUPPORTED;
  if (cameraLacks(c, property)) return E_PROP_ID_UNSUPPORTED;
  long low = range->min;
  long high = range->max;
  long standard = range->defaultValue;
  if (range->fromCamera) {
    uint16_t l = 0, h = 0, d = 0;
    const HRESULT hr = c->get_ExpoAGainRange(&l, &h, &d);
    if (FAILED(hr)) return hr;
    low = l;
    high = h;
    standard = d;
  }
  store(min, low);
  store(max, high);
  store(step, range->step);
  store(defaultValue, standard);
  store(caps, range->caps);
  return S_OK;
}

HRESULT procAmpGet(ILumorix* c, long property, long* value, long* flags) {
  if (!procAmpRange(property) || cameraLacks(c, property)) return E_PROP_ID_UNSUPPORTED;
  if (property == kPowerLine) {
    uint32_t mode = 0;
    if (!hasLightFrequency(c, &mode)) return E_PROP_ID_UNSUPPORTED;
    store(value, static_cast<long>(mapLightFrequency(mode)));
    store(flags, kFlagManual);
    return S_OK;
  }
  if (property == kColorEnable || property == kWhiteBalance || property == kGain)
    return getMapped(c, property, value, flags);
  const HRESULT hr = getInt(c, property, value);
  if (FAILED(hr)) return hr;
  store(flags, kFlagManual);
  return S_OK;
}

HRESULT procAmpSet(ILumorix* c, long property, long value, long flags) {
  if (cameraLacks(c, property)) return E_PROP_ID_UNSUPPORTED;
  switch (property) {
    case 0:
      return c->put_Brightness(value);
    case 1:
      return c->put_Contrast(value);
    case 2:
      return c->put_Hue(value);
    case 3:
      return c->put_Saturation(static_cast<uint32_t>(value));
    case 5:
      return c->put_Gamma(value);
    case kColorEnable:
      return c->put_Chrome(value == 0 ? 1 : 0);
    case kGain:
      return c->put_ExpoAGain(static_cast<uint16_t>(value & 0xFFFF));
    case kWhiteBalance: {
      int32_t temperature = 0;
      int32_t tint = 0;
      const HRESULT hr = c->get_TempTint(&temperature, &tint);
      if (FAILED(hr)) return hr;
      return c->put_TempTint(value, tint);
    }
    case kPowerLine: {
      if (flags & kFlagAuto) return E_PROP_ID_UNSUPPORTED;
      if (static_cast<unsigned long>(value) > 2) return E_INVALIDARG;
      uint32_t mode = 0;
      if (!hasLightFrequency(c, &mode)) return E_PROP_ID_UNSUPPORTED;
      return c->put_LightFrequency(mapLightFrequency(static_cast<uint32_t>(value)));
    }
    default:
      return E_PROP_ID_UNSUPPORTED;
  }
}

HRESULT exposureGetRange(ILumorix* c, bool log2, long* min, long* max, long* step,
                         long* defaultValue, long* caps) {
  store(caps, kCapsBoth);
  store(step, 1);
  uint32_t low = 0, high = 0, standard = 0;
  const HRESULT hr = c->get_ExpTimeRange(&low, &high, &standard);
  if (FAILED(hr)) return hr;
  const long top = log2 ? log2AtMost(high) : static_cast<long>(high);
  store(min, log2 ? log2FromMicroseconds(low) : static_cast<long>(low));
  store(max, top);
  // A default rounded up to its power of two can pass the maximum when it is the maximum (one CCD
  // class has 77,503 us for both): held to the maximum, so a host can set it back.
  store(defaultValue,
        log2 ? std::min(log2FromMicroseconds(standard), top) : static_cast<long>(standard));
  return S_OK;
}

HRESULT exposureGet(ILumorix* c, bool log2, long* value, long* flags) {
  if (value) {
    uint32_t us = 0;
    const HRESULT hr = c->get_ExpoTime(&us);
    if (FAILED(hr)) return hr;
    *value = log2 ? log2FromMicroseconds(us) : static_cast<long>(us);
  }
  return autoFlags(c, flags);
}

// A manual time the camera refuses is the answer, and automatic exposure stays as it was; with
// the automatic flag the time is only its starting point.
HRESULT exposureSet(ILumorix* c, long log2Value, long flags) {
  uint32_t us = 0;
  const HRESULT converted = microsecondsFromLog2(log2Value, &us);
  if (FAILED(converted)) return converted;
  const HRESULT hr = c->put_ExpoTime(us);
  if (flags & kFlagAuto) return c->put_AutoExpoEnable(1);
  return FAILED(hr) ? hr : c->put_AutoExpoEnable(0);
}

HRESULT exposureSetMicroseconds(ILumorix* c, long us, long flags) {
  if (flags & kFlagAuto) {
    if (us > 0) c->put_ExpoTime(static_cast<uint32_t>(us));
    return c->put_AutoExpoEnable(1);
  }
  const HRESULT hr = c->put_ExpoTime(static_cast<uint32_t>(us));
  return FAILED(hr) ? hr : c->put_AutoExpoEnable(0);
}

}  // namespace standard_properties
