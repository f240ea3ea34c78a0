// Image and colour properties: hue, saturation, brightness, contrast, gamma, grey, flips,
// negative, levels, vignetting, white and black balance, the measuring windows, the host's
// tables and the step bits. Each checks once, then forwards to the pipeline's setter or writes
// the active state under its settings lock, where the frame driver takes its snapshot.
#include <algorithm>
#include <cmath>
#include <new>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "base/vignette_units.h"
#include "core/base_impl.h"
#include "core/lumorix_options.h"
#include "core/state_access.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_vignette.h"

using namespace state_access;

namespace {

constexpr int32_t kHueLimit = 180;
constexpr uint32_t kSaturationMax = 255;
constexpr int32_t kBrightnessLimit = 64;
constexpr int32_t kContrastLimit = 100;
constexpr int32_t kGammaMin = 20, kGammaMax = 180;
constexpr double kVignetteAmountLimit = 100.0;
constexpr double kVignetteMidPointMax = 0.25;
constexpr uint32_t kMirrorHorizontal = 1, kMirrorVertical = 2;
constexpr uint8_t kStepBitsKept = 0x40;  // once the state sets it, callers cannot clear it
constexpr uint8_t kStepBitsCaller = 0x3F;

enum HsbSlot { kHue = 0, kSaturation = 1, kBrightness = 2 };

// Hue, saturation and brightness go together; the two not named keep their stored values.
template <typename Sample>
bool setHsb(PLContextT<Sample>& c, HsbSlot slot, int32_t value) {
  Lock hold(*c.mtxSettings);
  int32_t hsb[3] = {c.settings.hue, c.settings.saturation, c.settings.brightness};
  hsb[slot] = value;
  return PL_SetHSB(&c, hsb) != 0;
}

// Stores contrast and gamma and rebuilds the tone table; S_FALSE when neither changed.
template <typename Sample>
void setContrastGamma(PLContextT<Sample>& c, int32_t contrast, int32_t gamma) {
  ZX_TRACE("%s: %d, %d", "PL_SetContrastGamma", contrast, gamma);
  contrast = std::clamp(contrast, -kContrastLimit, kContrastLimit);
  gamma = std::clamp(gamma, kGammaMin, kGammaMax);
  if (c.settings.contrast == contrast && c.settings.gamma == gamma) return;
  c.settings.contrast = contrast;
  c.settings.gamma = gamma;
  PL_UpdateToneCurve(&c);  // under the lock, so two callers publish in the order they stored
}

// Amount and midpoint each kept in range; the tables follow while vignetting is on.
template <typename Sample>
void setVignette(PLContextT<Sample>& c, double amount, double midpoint) {
  c.settings.vignetteAmount = std::clamp(amount, -kVignetteAmountLimit, kVignetteAmountLimit);
  c.settings.vignetteMidpoint = std::clamp(midpoint, 0.0, kVignetteMidPointMax);
  if (c.settings.vignetteEnable) PL_BuildVignetteTable(&c);
}

// A window in processing pixels back in pixels of the delivered frame.
template <typename Sample>
RECT outputWindow(const PLContextT<Sample>& c, const ImageRect& px) {
  const auto sx = [&](int32_t v) {
    return c.procWidth ? int32_t(int64_t{v} * c.frameWidth / c.procWidth) : v;
  };
  const auto sy = [&](int32_t v) {
    return c.procHeight ? int32_t(int64_t{v} * c.frameHeight / c.procHeight) : v;
  };
  return RECT{sx(px.left), sy(px.top), sx(px.right), sy(px.bottom)};
}

template <class Pick>
HRESULT readWindow(PLHlperBase* h, RECT* out, Pick pick) {
  return readSetting(h, out, E_UNEXPECTED, [&](auto& c) { return outputWindow(c, pick(c)); });
}

HRESULT putHsb(PLHlperBase* h, HsbSlot slot, int32_t value) {
  bool stored = false;
  withContext(h, [&](auto& c) { stored = setHsb(c, slot, value); });
  return stored ? S_OK : E_FAIL;
}

HRESULT monoRefused(const char* caller) {
  ZX_TRACE("%s: not supported", caller);
  return E_NOTIMPL;
}

HRESULT putMirrorBit(PLHlperBase* h, uint32_t bit, bool on) {
  return writeSetting(h, E_UNEXPECTED, [&](auto& c) {
    c.settings.mirror = on ? (c.settings.mirror | bit) : (c.settings.mirror & ~bit);
  });
}

// A non-finite value is refused before it meets a clamp, which would pass NaN through.
HRESULT putVignette(PLHlperBase* h, const double* amount, const double* midpoint) {
  const double given = amount ? *amount : *midpoint;
  if (!std::isfinite(given)) return E_INVALIDARG;
  try {
    return writeSetting(h, E_UNEXPECTED, [&](auto& c) {
      setVignette(c, amount ? *amount : c.settings.vignetteAmount,
                  midpoint ? *midpoint : c.settings.vignetteMidpoint);
    });
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// The 8-bit state, else the high-bit one on a model that has high-bit formats.
template <class F>
HRESULT withStepBitsState(PLHlperBase* h, F&& f) {
  if (!h) return E_UNEXPECTED;
  std::shared_lock<PLStateLock> state(h->stateLock());
  if (h->ctx8) return f(*h->ctx8), S_OK;
  if (h->ctx16 && h->hasFlag(LUMORIX_FLAG_HIGHBIT_MASK)) return f(*h->ctx16), S_OK;
  return E_UNEXPECTED;
}

}  // namespace

// --- Hue, saturation, brightness ---------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::put_Hue(int32_t hue) {
  if (isMono()) return monoRefused("put_Hue");
  if (hue < -kHueLimit || hue > kHueLimit) return E_INVALIDARG;
  return putHsb(helper_, kHue, hue);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Hue(int32_t* hue) {
  if (isMono()) return monoRefused("get_Hue");
  return readSettingOr(helper_, hue, 0, E_FAIL, [](auto& c) { return c.settings.hue; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Saturation(uint32_t saturation) {
  if (isMono()) return monoRefused("put_Saturation");
  if (saturation > kSaturationMax) return E_INVALIDARG;
  return putHsb(helper_, kSaturation, int32_t(saturation));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Saturation(uint32_t* saturation) {
  if (isMono()) return monoRefused("get_Saturation");
  return readSettingOr(helper_, saturation, 128u, E_FAIL,
                       [](auto& c) { return c.settings.saturation; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Brightness(int32_t brightness) {
  if (isMono()) return monoRefused("put_Brightness");
  if (brightness < -kBrightnessLimit || brightness > kBrightnessLimit) return E_INVALIDARG;
  return putHsb(helper_, kBrightness, brightness);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Brightness(int32_t* brightness) {
  if (isMono()) return monoRefused("get_Brightness");
  return readSettingOr(helper_, brightness, 0, E_FAIL,
                       [](auto& c) { return c.settings.brightness; });
}

// --- Contrast and gamma ------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_Contrast(int32_t* contrast) {
  return readSettingOr(helper_, contrast, 0, E_FAIL, [](auto& c) { return c.settings.contrast; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Contrast(int32_t contrast) {
  if (contrast < -kContrastLimit || contrast > kContrastLimit) return E_INVALIDARG;
  return writeSetting(helper_, E_FAIL,
                      [&](auto& c) { setContrastGamma(c, contrast, c.settings.gamma); });
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Gamma(int32_t* gamma) {
  return readSettingOr(helper_, gamma, 100, E_FAIL, [](auto& c) { return c.settings.gamma; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Gamma(int32_t gamma) {
  if (gamma < kGammaMin || gamma > kGammaMax) return E_INVALIDARG;
  return writeSetting(helper_, E_FAIL,
                      [&](auto& c) { setContrastGamma(c, c.settings.contrast, gamma); });
}

// --- Grey, flips, negative ---------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_Chrome(uint32_t* grey) {
  if (grey == nullptr) return E_POINTER;
  if (isMono()) return *grey = 1, S_FALSE;
  return readSetting(helper_, grey, E_UNEXPECTED, [](auto& c) { return c.settings.mono; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Chrome(uint32_t grey) {
  if (isMono()) return monoRefused("put_Chrome");
  ZX_TRACE("%s: %d", "PL_SetChrome", int32_t(grey));
  const HRESULT hr = writeSetting(helper_, E_UNEXPECTED, [&](auto& c) {
    if (c.isColour) c.settings.mono = grey != 0;
  });
  if (hr == S_OK && chromeNoticeInstalled_.load()) OnChromeChanged();
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_VFlip(uint32_t* on) {
  return readSetting(helper_, on, E_UNEXPECTED,
                     [](auto& c) { return (c.settings.mirror & kMirrorVertical) != 0; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_VFlip(int32_t on) {
  return putMirrorBit(helper_, kMirrorVertical, on != 0);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_HFlip(uint32_t* on) {
  return readSetting(helper_, on, E_UNEXPECTED,
                     [](auto& c) { return (c.settings.mirror & kMirrorHorizontal) != 0; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_HFlip(int32_t on) {
  return putMirrorBit(helper_, kMirrorHorizontal, on != 0);
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Negative(uint32_t on) {
  ZX_TRACE("%s: %d", "PL_SetNegative", int32_t(on));
  return writeSetting(helper_, E_UNEXPECTED, [&](auto& c) {
    const uint32_t bit = PLProcessFlags::kNegative;
    c.settings.processFlags =
        on ? (c.settings.processFlags | bit) : (c.settings.processFlags & ~bit);
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Negative(uint32_t* on) {
  return readSetting(helper_, on, E_UNEXPECTED, [](auto& c) {
    return (c.settings.processFlags & PLProcessFlags::kNegative) != 0;
  });
}

// --- Levels ------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::LevelRangeAuto() {
  if (!started() || !helper_) return E_UNEXPECTED;
  return PL_AutoLevelRange(*helper_);
}

// Each entry's low byte, in the order R, G, B, grey.
HRESULT STDMETHODCALLTYPE BaseImpl::put_LevelRange(const uint16_t low[4], const uint16_t high[4]) {
  if (low == nullptr || high == nullptr) return E_POINTER;
  if (!helper_) return E_UNEXPECTED;
  uint8_t lo[4], hi[4];
  for (int i = 0; i < 4; ++i) lo[i] = uint8_t(low[i]), hi[i] = uint8_t(high[i]);
  return PL_SetLevelRange(*helper_, lo, hi);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_LevelRange(uint16_t low[4], uint16_t high[4]) {
  if (low == nullptr || high == nullptr) return E_POINTER;
  return writeSetting(helper_, E_UNEXPECTED, [&](auto& c) {
    std::copy(c.settings.levelLow, c.settings.levelLow + 4, low);
    std::copy(c.settings.levelHigh, c.settings.levelHigh + 4, high);
  });
}

// --- Vignetting --------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::put_VignetteEnable(uint32_t on) {
  return helper_ ? PL_SetVignetteEnable(*helper_, on != 0) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_VignetteEnable(uint32_t* on) {
  return readSetting(helper_, on, E_UNEXPECTED, [](auto& c) { return c.settings.vignetteEnable; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_VignetteAmount(double amount) {
  return putVignette(helper_, &amount, nullptr);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_VignetteAmount(double* amount) {
  return readSettingOr(helper_, amount, 0.0, E_UNEXPECTED,
                       [](auto& c) { return c.settings.vignetteAmount; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_VignetteMidPoint(double midpoint) {
  return putVignette(helper_, nullptr, &midpoint);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_VignetteMidPoint(double* midpoint) {
  return readSettingOr(helper_, midpoint, kVignetteMidpointDefault, E_UNEXPECTED,
                       [](auto& c) { return c.settings.vignetteMidpoint; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_VignetteAmountInt(int32_t amount) {
  return put_VignetteAmount(VignetteAmountFromInt(amount));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_VignetteAmountInt(int32_t* amount) {
  if (amount == nullptr) return E_POINTER;
  double value = 0;
  const HRESULT hr = get_VignetteAmount(&value);
  if (SUCCEEDED(hr)) *amount = VignetteAmountToInt(value);
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_VignetteMidPointInt(int32_t midpoint) {
  return put_VignetteMidPoint(VignetteMidPointFromInt(midpoint));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_VignetteMidPointInt(int32_t* midpoint) {
  if (midpoint == nullptr) return E_POINTER;
  double value = 0;
  const HRESULT hr = get_VignetteMidPoint(&value);
  if (SUCCEEDED(hr)) *midpoint = VignetteMidPointToInt(value);
  return hr;
}

// --- White balance -----------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::put_WhiteBalanceGain(const int32_t gains[3]) {
  if (isMono()) return monoRefused("put_WhiteBalanceGain");
  if (gains == nullptr) return E_POINTER;
  return helper_ ? PL_SetWhiteBalanceGain(*helper_, gains) : E_UNEXPECTED;
}

// Grey states keep no gains: nothing is written.
HRESULT STDMETHODCALLTYPE BaseImpl::get_WhiteBalanceGain(int32_t gains[3]) {
  if (isMono()) return monoRefused("get_WhiteBalanceGain");
  if (gains == nullptr) return E_POINTER;
  if (helper_ && helper_->wbTempTint) return monoRefused("get_WhiteBalanceGain");
  return writeSetting(helper_, E_UNEXPECTED, [&](auto& c) {
    if (!c.isColour) return;
    for (int i = 0; i < 3; ++i) gains[i] = int32_t(c.wbGain[size_t(i)]) - kRgbGainUnity;
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_TempTint(int32_t temperature, int32_t tint) {
  if (isMono()) return monoRefused("put_TempTint");
  return helper_ ? PL_SetWhiteBalanceTempTint(*helper_, temperature, tint) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_TempTint(int32_t* temperature, int32_t* tint) {
  if (isMono()) return monoRefused("get_TempTint");
  if (temperature == nullptr && tint == nullptr) return E_POINTER;
  if (helper_ && !helper_->wbTempTint) return monoRefused("get_TempTint");
  return writeSetting(helper_, E_UNEXPECTED, [&](auto& c) {
    if (temperature) *temperature = c.settings.wbTemp;
    if (tint) *tint = c.settings.wbTint;
  });
}

// The base gains and the matrix are the helper's; its lock keeps a start from reading half.
HRESULT STDMETHODCALLTYPE BaseImpl::put_WbGainBase(const uint16_t gains[3]) {
  if (isMono()) return monoRefused("put_WbGainBase");
  if (gains == nullptr) return E_POINTER;
  if (!helper_) return E_UNEXPECTED;
  std::shared_lock<PLStateLock> state(helper_->stateLock());  // before the sensor lock
  Lock hold(helper_->sensorLock());
  std::copy(gains, gains + 3, helper_->wbGainBase.begin());
  PL_SetWbGainBase(*helper_);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ColorMatrix(const double matrix[9]) {
  if (matrix == nullptr) return E_POINTER;
  if (!std::all_of(matrix, matrix + 9, [](double v) { return std::isfinite(v); }))
    return E_INVALIDARG;
  if (!helper_) return E_UNEXPECTED;
  std::shared_lock<PLStateLock> state(helper_->stateLock());  // before the sensor lock
  Lock hold(helper_->sensorLock());
  std::copy(matrix, matrix + 9, helper_->colourMatrix.begin());
  PL_SetColorMatrix(*helper_);
  return S_OK;
}

// --- Black balance -----------------------------------------------------------------------------

// The pipeline checks each offset against the format's limit; a grey model has one offset.
HRESULT STDMETHODCALLTYPE BaseImpl::put_BlackBalance(const uint16_t levels[3]) {
  if (levels == nullptr) return E_POINTER;
  if (isMono() && (levels[0] != levels[1] || levels[1] != levels[2])) return E_INVALIDARG;
  return helper_ ? PL_SetBlackBalance(*helper_, levels) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_BlackBalance(uint16_t levels[3]) {
  if (levels == nullptr) return E_POINTER;
  return writeSetting(helper_, E_UNEXPECTED, [&](auto& c) {
    std::copy(c.settings.blackOffset, c.settings.blackOffset + 3, levels);
  });
}

// --- Measuring windows -------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::put_Rect(const RECT* rect) {
  if (rect == nullptr) return E_POINTER;
  return helper_ ? PL_SetAllRect(*helper_, rect) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Rect(RECT* rect) {
  return get_AWBRect(rect);
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_AWBRect(const RECT* rect) {
  if (rect == nullptr) return E_POINTER;
  return helper_ ? PL_SetAWBRect(*helper_, *rect) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_AWBRect(RECT* rect) {
  return readWindow(helper_, rect, [](auto& c) { return c.awbRectPx; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_AERect(const RECT* rect) {
  if (rect == nullptr) return E_POINTER;
  return helper_ ? PL_SetAERect(*helper_, *rect) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_AERect(RECT* rect) {
  return readWindow(helper_, rect, [](auto& c) { return c.aeRectPx; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ABBRect(const RECT* rect) {
  if (rect == nullptr) return E_POINTER;
  return helper_ ? PL_SetABBRect(*helper_, *rect) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ABBRect(RECT* rect) {
  return readWindow(helper_, rect, [](auto& c) { return c.abbRectPx; });
}

// --- The host's tables -------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::put_OutputLut(const uint8_t* lut8, const uint16_t* lut16) {
  return helper_ ? PL_SetOutputLut(*helper_, lut8, lut16) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ToneCurveTable(const uint8_t* table8,
                                                       const uint16_t* table16) {
  return helper_ ? PL_SetToneCurveTable(*helper_, table8, table16) : E_UNEXPECTED;
}

// --- Step bits ---------------------------------------------------------------------------------

// Bit 6 is the state's to set: kept when set, never set by a caller.
HRESULT STDMETHODCALLTYPE BaseImpl::put_ProcessFlag(int8_t bits) {
  return withStepBitsState(helper_, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    const uint8_t given = uint8_t(bits);
    const bool kept = (c.settings.stepBits & kStepBitsKept) != 0;
    c.settings.stepBits = kept ? uint8_t(given | kStepBitsKept) : uint8_t(given & kStepBitsCaller);
    PL_UpdateToneCurve(&c);
    PL_UpdateWbLut(&c);
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ProcessFlag(uint32_t* bits) {
  if (bits == nullptr) return E_POINTER;
  *bits = 0;
  withStepBitsState(helper_, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    *bits = c.settings.stepBits;
  });
  return S_OK;
}

// --- Model capabilities ------------------------------------------------------------------------

uint32_t STDMETHODCALLTYPE BaseImpl::get_IsColor() {
  return isMono() ? 0 : 1;
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_MaxBitDepth() {
  const uint64_t f = modelFlags();
  if (f & LUMORIX_FLAG_RAW10) return 10;
  if (f & (LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_RAW12_ALT)) return 12;
  if (f & LUMORIX_FLAG_RAW14) return 14;
  if (f & LUMORIX_FLAG_RAW16) return 16;
  return 8;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_BitDepth(uint32_t* high) {
  if (high == nullptr) return E_POINTER;
  *high = helper_ && IsHighBitFormat(helper_->pixelFormat) ? 1 : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_BitDepth(int32_t high) {
  return put_Option(LUMORIX_OPTION_BITDEPTH, high != 0 ? 1 : 0);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_PixelFormat(uint32_t* format) {
  if (format == nullptr) return E_POINTER;
  int32_t value = 0;
  const HRESULT hr = get_Option(LUMORIX_OPTION_PIXEL_FORMAT, &value);
  if (SUCCEEDED(hr)) *format = uint32_t(value);
  return hr;
}

// A format above the signed range arrives negative and is refused by the option's range check.
HRESULT STDMETHODCALLTYPE BaseImpl::put_PixelFormat(uint32_t format) {
  return put_Option(LUMORIX_OPTION_PIXEL_FORMAT, int32_t(format));
}
