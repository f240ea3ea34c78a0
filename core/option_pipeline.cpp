// Option handlers kept by the pipeline. Each checks in its code's order, then writes the active
// state under its settings lock or hands the value to the pipeline's setter.
#include "core/option_pipeline.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/base_impl.h"
#include "core/option_access.h"
#include "core/state_access.h"
#include "pipeline/pl_option_values.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_tables.h"

using namespace state_access;

namespace {

constexpr uint8_t kStepRawLut = 0x04;
constexpr int32_t kCurveMax = 2;
constexpr int32_t kDemosaicMax = 3;
constexpr int32_t kAeThresholdMin = 1, kAeThresholdMax = 25;
constexpr int32_t kCgMax = 1, kCg3Max = 2;
constexpr uint32_t kUsmRadiusDefault = 2, kUsmRadiusMax = 10;
constexpr int32_t kCalibrationOnWithData = 1, kCalibrationOffWithData = 2;

PLHlperBase* helperOf(const BaseImpl& camera) {
  return OptionAccess::helper(camera);
}

// The 0/1 answer of one of the helper's switches.
HRESULT readHelperSwitch(const BaseImpl& camera, uint8_t PLHlperBase::*field, int32_t* value) {
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  *value = h->*field ? 1 : 0;
  return S_OK;
}

// The active state; the high-bit one only on a model with high-bit flags when asked.
template <class F>
bool withActive(const BaseImpl& camera, bool highBitNeedsFlag, F&& f) {
  PLHlperBase* h = helperOf(camera);
  if (!h) return false;
  if (h->ctx8) return f(*h->ctx8), true;
  const bool highBit = (camera.modelFlags() & LUMORIX_FLAG_HIGHBIT_MASK) != 0;
  if (h->ctx16 && (highBit || !highBitNeedsFlag)) return f(*h->ctx16), true;
  return false;
}

uint32_t curveBits(int32_t value) {
  return value == 1 ? PLProcessFlags::kToneMap1 : value == 2 ? PLProcessFlags::kToneMap2 : 0u;
}

template <typename Sample>
HRESULT setCurve(PLContextT<Sample>& c, int32_t value) {
  ZX_TRACE("%s: %d", "PL_SetCurve", value);
  if (!c.hasToneMapping) return E_NOTIMPL;
  Lock hold(*c.mtxSettings);
  const uint32_t flags =
      (c.settings.processFlags & ~PLProcessFlags::kToneMapMask) | curveBits(value);
  if (flags == c.settings.processFlags) return S_FALSE;
  c.settings.processFlags = flags;
  // The software step picks its table per frame; a processor has to be handed the new one.
  if (c.hasIsp && !c.hwToneBypass) PL_UpdateToneCurve(&c);
  return S_OK;
}

// The black level's factor at an 8-bit format of a high-bit model, as a shift; 0 otherwise.
uint32_t blackLevelShift(const PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_HIGHBIT_MASK) || IsHighBitFormat(h.pixelFormat)) return 0;
  if (h.hasFlag(LUMORIX_FLAG_RAW10)) return 2;
  if (h.hasFlag(LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_RAW12_ALT)) return 4;
  if (h.hasFlag(LUMORIX_FLAG_RAW14)) return 6;
  return 8;
}

enum class Demosaic { Both, Video, Still };

template <typename Sample>
HRESULT setDemosaic(PLContextT<Sample>& c, Demosaic which, uint32_t method) {
  Lock hold(*c.mtxSettings);
  if (which == Demosaic::Both && c.demosaicVideo == method && c.demosaicStill == method)
    return S_FALSE;
  if (which != Demosaic::Still) c.demosaicVideo = method;
  if (which != Demosaic::Video) c.demosaicStill = method;
  return S_OK;
}

HRESULT putDemosaic(BaseImpl& camera, Demosaic which, int32_t value) {
  if (camera.isMono()) return E_NOTIMPL;
  HRESULT hr = E_UNEXPECTED;
  withActive(camera, false, [&](auto& c) {
    hr = value < 0 || value > kDemosaicMax ? E_INVALIDARG : setDemosaic(c, which, uint32_t(value));
  });
  return hr;
}

template <typename Sample>
int32_t calibrationStatus(PLContextT<Sample>& c, bool dark) {
  Lock hold(dark ? *c.mtxDfc : *c.mtxFfc);
  const uint8_t enable = dark ? c.dfcEnable : c.ffcEnable, valid = dark ? c.dfcValid : c.ffcValid;
  int32_t status = !valid ? 0 : enable ? kCalibrationOnWithData : kCalibrationOffWithData;
  if (dark ? c.dfcRequest : c.ffcRequest) {
    const uint8_t frames = dark ? c.dfcFrames : c.ffcFrames, count = dark ? c.dfcCount : c.ffcCount;
    status |= int32_t(frames) << 16 | int32_t(count) << 8;
  }
  return status;
}

HRESULT getCalibration(BaseImpl& camera, bool dark, int32_t* value) {
  return readSetting(helperOf(camera), value, E_UNEXPECTED,
                     [&](auto& c) { return calibrationStatus(c, dark); });
}

template <typename Sample>
HRESULT setUsm(PLContextT<Sample>& c, uint32_t packed) {
  ZX_TRACE("%s: 0x%08x", "PL_SetUSM", packed);
  const uint32_t amount = packed & 0xFFFF, radiusByte = (packed >> 16) & 0xFF;
  if (amount > PLProcessFlags::kUsmMax) return E_INVALIDARG;
  if (radiusByte > kUsmRadiusMax) return E_INVALIDARG;
  Lock hold(*c.mtxSettings);
  c.settings.processFlags = PLProcessFlags::withUsm(c.settings.processFlags, amount);
  c.usmRadius = radiusByte == 0 ? kUsmRadiusDefault : radiusByte;
  c.usmThreshold = uint8_t(packed >> 24);
  return S_OK;
}

}  // namespace

// --- Step bits and tone mapping ----------------------------------------------------------------

HRESULT putRawLutOption(BaseImpl& camera, int32_t value) {
  uint8_t bits = 0;
  withActive(camera, false, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    bits = c.settings.stepBits;
  });
  bits = value ? uint8_t(bits | kStepRawLut) : uint8_t(bits & ~kStepRawLut);
  return camera.put_ProcessFlag(int8_t(bits));
}

HRESULT getRawLutOption(BaseImpl& camera, int32_t* value) {
  *value = 0;
  withActive(camera, false, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    *value = (c.settings.stepBits & kStepRawLut) ? 1 : 0;
  });
  return S_OK;
}

HRESULT putCurveOption(BaseImpl& camera, int32_t value) {
  if (value < 0 || value > kCurveMax) return E_INVALIDARG;
  PLHlperBase* h = helperOf(camera);
  if (!h || !h->hasToneMapping) return E_NOTIMPL;
  HRESULT hr = E_UNEXPECTED;
  withActive(camera, true, [&](auto& c) { hr = setCurve(c, value); });
  return hr;
}

HRESULT getCurveOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = helperOf(camera);
  if (!h || !h->hasToneMapping) return E_NOTIMPL;
  *value = 0;
  withActive(camera, true, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    const uint32_t flags = c.hasToneMapping ? c.settings.processFlags : 0;
    *value = (flags & PLProcessFlags::kToneMap1) ? 1 : (flags & PLProcessFlags::kToneMap2) ? 2 : 0;
  });
  return S_OK;
}

// --- Colour matrix and base gains: always 0, also when unchanged ------------------------------

HRESULT putColorMatrixOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  PL_UseColorMatrix(*h, value != 0);
  return S_OK;
}

HRESULT getColorMatrixOption(BaseImpl& camera, int32_t* value) {
  return readHelperSwitch(camera, &PLHlperBase::hasColourMatrix, value);
}

HRESULT putWbGainOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  PL_UseWbGainBase(*h, value != 0);
  return S_OK;
}

HRESULT getWbGainOption(BaseImpl& camera, int32_t* value) {
  return readHelperSwitch(camera, &PLHlperBase::hasWbGainBase, value);
}

// --- Auto exposure: no unchanged test -----------------------------------------------------------

HRESULT putAePolicyOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("AUTOEXP_POLICY: %d", value);
  if (value < 0 || value > kAePolicyLast) return E_INVALIDARG;
  const bool found = withActive(camera, false, [&](auto& c) {
    // Printed as an unsigned: the Windows runtime's format check knows no %hhu.
    ZX_TRACE("%s: %u", "PL_SetAePolicy", unsigned(value));
    Lock hold(*c.mtxSettings);
    c.settings.aePolicy = uint8_t(value);
  });
  return found ? S_OK : E_UNEXPECTED;
}

HRESULT getAePolicyOption(BaseImpl& camera, int32_t* value) {
  return readSetting(helperOf(camera), value, E_UNEXPECTED,
                     [](auto& c) { return c.settings.aePolicy; });
}

HRESULT putAeThresholdOption(BaseImpl& camera, int32_t value) {
  if (value < kAeThresholdMin || value > kAeThresholdMax) return E_INVALIDARG;
  ZX_TRACE("LUMORIX_OPTION_AUTOEXP_THRESHOLD: %d", value);
  const bool found = withActive(camera, false, [&](auto& c) {
    ZX_TRACE("%s: %d", "PL_SetAeThreshold", value);
    Lock hold(*c.mtxSettings);
    c.settings.aeThreshold = value;
  });
  return found ? S_OK : E_UNEXPECTED;
}

HRESULT getAeThresholdOption(BaseImpl& camera, int32_t* value) {
  return readSetting(helperOf(camera), value, E_UNEXPECTED,
                     [](auto& c) { return c.settings.aeThreshold; });
}

// --- Demosaic methods ---------------------------------------------------------------------------

HRESULT putDemosaicOption(BaseImpl& camera, int32_t value) {
  return putDemosaic(camera, Demosaic::Both, value);
}

// On a model with stills the two methods read as one only while they agree.
HRESULT getDemosaicOption(BaseImpl& camera, int32_t* value) {
  HRESULT hr = E_UNEXPECTED;
  withActive(camera, false, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    const bool differ = camera.stillCount() > 0 && c.demosaicVideo != c.demosaicStill;
    hr = differ ? E_INVALIDARG : S_OK;
    if (!differ) *value = int32_t(c.demosaicVideo);
  });
  return hr;
}

HRESULT putDemosaicVideoOption(BaseImpl& camera, int32_t value) {
  return putDemosaic(camera, Demosaic::Video, value);
}

HRESULT getDemosaicVideoOption(BaseImpl& camera, int32_t* value) {
  return readSetting(helperOf(camera), value, E_UNEXPECTED,
                     [](auto& c) { return c.demosaicVideo; });
}

HRESULT putDemosaicStillOption(BaseImpl& camera, int32_t value) {
  return putDemosaic(camera, Demosaic::Still, value);
}

HRESULT getDemosaicStillOption(BaseImpl& camera, int32_t* value) {
  return readSetting(helperOf(camera), value, E_UNEXPECTED,
                     [](auto& c) { return c.demosaicStill; });
}

// --- Black level ----------------------------------------------------------------------------

// A negative level is refused before scaling; the product is taken in 64 bits, so a large value
// reaches the setter's range check too large rather than wrapped small.
HRESULT putBlackLevelOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  if (!h || !h->hasFlag(LUMORIX_FLAG_BLACKLEVEL)) return E_NOTIMPL;
  if (value < 0) return E_INVALIDARG;
  const uint64_t level = uint64_t(value) << blackLevelShift(*h);
  return PL_SetBlackLevel(*h, uint32_t(std::min<uint64_t>(level, UINT32_MAX)));
}

HRESULT getBlackLevelOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  *value = int32_t(h->blackLevel >> blackLevelShift(*h));
  return S_OK;
}

HRESULT putBlackLevelRawOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  return h ? PL_SetBlackLevel(*h, uint32_t(value)) : E_NOTIMPL;
}

HRESULT getBlackLevelRawOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = helperOf(camera);
  if (!h || !h->hasFlag(LUMORIX_FLAG_BLACKLEVEL)) return E_NOTIMPL;
  *value = h->blackLevel;
  return S_OK;
}

// --- Values for the next start: stopped only ----------------------------------------------------

HRESULT putPipelineThreadsOption(BaseImpl& camera, int32_t value) {
  if (camera.started()) return E_UNEXPECTED;
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  PL_SetWorkersAllowed(*h, value != 0);
  return S_OK;
}

HRESULT getPipelineThreadsOption(BaseImpl& camera, int32_t* value) {
  return readHelperSwitch(camera, &PLHlperBase::workersAllowed, value);
}

// Layouts 1 and 4 are high-bit outputs, 3 and 4 grey ones; the layout takes effect at the next
// start.
HRESULT putOutputLayoutOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("OPTION_RGB: %d", value);
  if (value < 0 || value > 4) return E_INVALIDARG;
  const uint64_t flags = camera.modelFlags();
  if ((value == 1 || value == 4) && !(flags & LUMORIX_FLAG_HIGHBIT_MASK)) return E_NOTIMPL;
  if ((value == 3 || value == 4) && !(flags & LUMORIX_FLAG_MONO)) return E_NOTIMPL;
  if (camera.started()) return E_UNEXPECTED;
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  PL_SetOutputFormat(*h, uint32_t(value));
  return S_OK;
}

HRESULT getOutputLayoutOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  *value = int32_t(h->outputFormat);
  return S_OK;
}

HRESULT putUpsideDownOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("UPSIDE_DOWN: %d", value);
  if (camera.started()) return E_UNEXPECTED;
  PLHlperBase* h = helperOf(camera);
  if (!h) return E_UNEXPECTED;
  PL_SetRowOrder(*h, value != 0);
  return S_OK;
}

HRESULT getUpsideDownOption(BaseImpl& camera, int32_t* value) {
  return readHelperSwitch(camera, &PLHlperBase::rowOrder, value);
}

// --- Conversion gain, calibration status, sharpening -------------------------------------------

HRESULT putCgOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  if (!h || !(camera.modelFlags() & LUMORIX_FLAG_CG)) return E_NOTIMPL;
  const int32_t top = (camera.modelFlags() & LUMORIX_FLAG_CG3) ? kCg3Max : kCgMax;
  if (value < 0 || value > top) return E_INVALIDARG;
  return PL_SetCG(*h, uint8_t(value));
}

HRESULT getCgOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = helperOf(camera);
  if (!h || !(camera.modelFlags() & LUMORIX_FLAG_CG)) return E_NOTIMPL;
  *value = PL_GetCG(*h);
  return S_OK;
}

HRESULT putFfcOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  return h ? PL_SetFfcStatus(*h, uint32_t(value)) : E_UNEXPECTED;
}

HRESULT getFfcOption(BaseImpl& camera, int32_t* value) {
  return getCalibration(camera, false, value);
}

HRESULT putDfcOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = helperOf(camera);
  return h ? PL_SetDfcStatus(*h, uint32_t(value)) : E_UNEXPECTED;
}

HRESULT getDfcOption(BaseImpl& camera, int32_t* value) {
  return getCalibration(camera, true, value);
}

HRESULT putUsmOption(BaseImpl& camera, int32_t value) {
  HRESULT hr = E_UNEXPECTED;
  withActive(camera, true, [&](auto& c) { hr = setUsm(c, uint32_t(value)); });
  return hr;
}

HRESULT getUsmOption(BaseImpl& camera, int32_t* value) {
  *value = 0;
  withActive(camera, true, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    *value = int32_t(PLProcessFlags::usmValue(c.settings.processFlags) | c.usmRadius << 16 |
                     uint32_t(c.usmThreshold) << 24);
  });
  return S_OK;
}
