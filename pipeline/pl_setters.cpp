// The helper's setters of exposure, colour, levels, windows, rotation, conversion gain and
// calibration switches.
#include "pipeline/pl_setters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <new>
#include <vector>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "pipeline/algorithms/auto_exposure.h"
#include "pipeline/algorithms/colour_temp.h"
#include "pipeline/device_values.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_user_tables.h"
#include "pipeline/store/registry.h"
#include "pipeline/store/settings_io.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

constexpr uint32_t kAeMaxTimeDefault = 350000;
constexpr uint16_t kAeMaxGainDefault = 500;
constexpr int32_t kRgbGainLimit = 127;
constexpr uint32_t kCalibrationOff = 0;
constexpr uint32_t kCalibrationOn = 1;
constexpr uint32_t kCalibrationFrames = 0xFF000000u;  // plus 1..255 frames to average
constexpr uint32_t kCalibrationMaxFrames = 255;
constexpr double kLevelCutShare = 0.006;  // the share of pixels each automatic cut leaves out

// Exposure and gain: the value within the state's range, and auto exposure starts over.
template <typename Sample>
void storeTime(PLContextT<Sample>& c, uint32_t us) {
  Lock hold(*c.mtxSettings);
  c.curTime = c.settings.expoTime = std::max(c.timeMin, std::min(us, c.timeMax));
  c.aeCallCount = 0;
  c.aeStatus = kAeNoReference;
}

template <typename Sample>
uint16_t storeGain(PLContextT<Sample>& c, uint16_t gain) {
  Lock hold(*c.mtxSettings);
  c.curGain = c.settings.expoGain = std::max(c.gainMin, std::min(gain, c.gainMax));
  c.aeCallCount = 0;
  c.aeStatus = kAeNoReference;
  return c.curGain;
}

// Grey states keep no balance: false, nothing stored.
template <typename Sample>
bool storeRgbGains(PLContextT<Sample>& c, const std::array<int32_t, 3>& g) {
  if (!c.isColour) return false;
  Lock hold(*c.mtxSettings);
  for (size_t i = 0; i < 3; ++i) c.wbGain[i] = uint32_t(g[i] + kRgbGainUnity);
  PL_UpdateWbLut(&c);
  return true;
}

template <typename Sample>
bool storeTempTint(PLContextT<Sample>& c, int32_t temp, int32_t tint) {
  if (!c.isColour) return false;
  Lock hold(*c.mtxSettings);
  c.settings.wbTemp = temp;
  c.settings.wbTint = tint;
  c.wbGain = TempTintToGain(temp, tint);
  PL_UpdateWbLut(&c);
  return true;
}

void persist(const PLHlperBase& h, const char* name, int32_t value) {
  if (!h.regKey.empty()) RegWriteDword(h.regKey, name, uint32_t(value));  // failures are skipped
}

// Where the automatic cuts fall in one normalised histogram: the bin at which the running sum
// from either end comes nearest the cut share.
struct LevelCuts {
  uint32_t low = 0, high = 255;
};

LevelCuts cutsOf(const std::array<float, 256>& bins) {
  LevelCuts cuts;
  double sum = 0;
  for (uint32_t v = 0; v < 255; ++v) {
    sum += bins[v];
    if (std::fabs(sum + bins[v + 1] - kLevelCutShare) > std::fabs(sum - kLevelCutShare)) {
      cuts.low = v + 1;
      break;
    }
  }
  sum = 0;
  for (uint32_t v = 255; v > 0; --v) {
    sum += bins[v];
    if (std::fabs(sum + bins[v - 1] - kLevelCutShare) > std::fabs(sum - kLevelCutShare)) {
      cuts.high = v - 1;
      break;
    }
  }
  return cuts;
}

template <typename Sample>
void autoLevels(PLContextT<Sample>& c) {
  std::array<std::array<float, 256>, 4> stats;
  {
    Lock hold(*c.mtxStats);
    stats = c.statsF;
  }
  uint32_t low = 255, high = 0;
  for (const auto& bins : stats) {
    const LevelCuts cuts = cutsOf(bins);
    low = std::min(low, cuts.low);
    high = std::max(high, cuts.high);
  }
  uint8_t lows[4], highs[4];
  std::fill(lows, lows + 4, uint8_t(low));
  std::fill(highs, highs + 4, uint8_t(high));
  PL_ApplyLevelRange(&c, lows, highs);  // low >= high gives the whole range
}

// Windows: in the delivered frame, right and bottom exclusive, the whole frame included.
enum WindowSet : unsigned { kAeWindow = 1, kAwbWindow = 2, kAbbWindow = 4 };

bool windowFits(const RECT& r, uint32_t width, uint32_t height) {
  return r.left >= 0 && r.left < r.right && int64_t{r.right} <= int64_t{width} && r.top >= 0 &&
         r.top < r.bottom && int64_t{r.bottom} <= int64_t{height};
}

template <typename Sample>
bool storeWindows(PLContextT<Sample>& c, const RECT& r, unsigned which) {
  Lock hold(*c.mtxSettings);
  if (!windowFits(r, c.frameWidth, c.frameHeight)) return false;
  const auto sx = [&](int32_t v) { return int32_t(int64_t{v} * c.procWidth / c.frameWidth); };
  const auto sy = [&](int32_t v) { return int32_t(int64_t{v} * c.procHeight / c.frameHeight); };
  const ImageRect px{sx(r.left), sy(r.top), sx(r.right), sy(r.bottom)};
  if (which & kAeWindow) c.aeRectPx = px;
  if (which & kAwbWindow) c.awbRectPx = px;
  if (which & kAbbWindow) c.abbRectPx = px;
  return true;
}

HRESULT setWindows(PLHlperBase& h, const RECT& r, unsigned which) {
  bool stored = false;
  WithState(h, [&](auto& c) { stored = storeWindows(c, r, which); });
  if (!stored) return E_INVALIDARG;
  if (which & kAwbWindow) SyncIspAWBRect(h);
  if (which & kAeWindow) SyncIspAERect(h);
  if (which & kAbbWindow) SyncIspABBRect(h);
  return S_OK;
}

// One calibration's fields: flat-field or dark-field.
struct Calibration {
  platform::RecursiveLock& lock;
  uint8_t &enable, &request, &valid, &frames, &count;
  std::vector<uint32_t>& sum;
};

template <typename Sample>
Calibration calibrationOf(PLContextT<Sample>& c, bool dark) {
  if (dark)
    return {*c.mtxDfc, c.dfcEnable, c.dfcRequest, c.dfcValid, c.dfcFrames, c.dfcCount, c.dfcSum};
  return {*c.mtxFfc, c.ffcEnable, c.ffcRequest, c.ffcValid, c.ffcFrames, c.ffcCount, c.ffcSum};
}

// Formats whose calibration sums keep three planes.
constexpr uint8_t kThreePlaneFirst = 5, kThreePlaneLast = 8;
bool threePlanes(uint8_t pixelFormat) {
  return (pixelFormat >= kThreePlaneFirst && pixelFormat <= kThreePlaneLast) ||
         pixelFormat == kPixelYuv422Alt;
}

template <typename Sample>
void startRun(PLContextT<Sample>& c, bool dark) {
  const size_t entries = size_t(c.procWidth) * c.procHeight * (threePlanes(c.pixelFormat) ? 3 : 1);
  std::vector<uint32_t> fresh(entries, 0);  // made first: a failure changes nothing
  const Calibration k = calibrationOf(c, dark);
  Lock hold(k.lock);
  if (k.frames == 0) k.frames = 1;
  k.count = 0;
  k.sum.swap(fresh);
  k.request = 1;
}

HRESULT oneShot(PLHlperBase& h, bool dark) {
  try {
    if (!WithState(h, [&](auto& c) { startRun(c, dark); })) return E_UNEXPECTED;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

// The status word under the calibration's lock; notify: the calibration was discarded.
template <typename Sample>
HRESULT applyStatus(PLContextT<Sample>& c, bool dark, uint32_t value, bool& notify) {
  const Calibration k = calibrationOf(c, dark);
  Lock hold(k.lock);
  switch (value) {
    case kCalibrationDiscard:
      k.request = 0;  // a run in progress ends as well
      k.frames = k.count = 0;
      if (dark) c.hotPixels.clear();
      if (!k.valid) return S_FALSE;
      k.enable = k.valid = 0;
      notify = true;
      return S_OK;
    case kCalibrationOn:
      if (!k.valid) return E_UNEXPECTED;
      k.enable = 1;
      return S_OK;
    case kCalibrationOff:
      k.enable = 0;
      return S_OK;
    default:
      if (value <= kCalibrationFrames || value - kCalibrationFrames > kCalibrationMaxFrames)
        return E_INVALIDARG;
      k.frames = uint8_t(value - kCalibrationFrames);
      return S_OK;
  }
}

// The discard's notice, when one is due, is handed out to be raised once the state is let go.
template <typename Sample>
HRESULT setStatus(PLContextT<Sample>& c, bool dark, uint32_t value, PLHostNotice& out) {
  bool notify = false;
  const HRESULT hr = applyStatus(c, dark, value, notify);
  if (!notify) return hr;
  Lock hold(*c.mtxSettings);
  out.notice = dark ? c.callbacks.onDfcFrame : c.callbacks.onFfcFrame;
  out.context = dark ? c.callbacks.onDfcFrameContext : c.callbacks.onFfcFrameContext;
  return hr;
}

// The notice reaches the host's event callback, which may restart the stream: under the state's
// hold that restart's rebuild would wait for this very thread.
HRESULT calibrationStatus(PLHlperBase& h, bool dark, uint32_t value) {
  HRESULT hr = E_UNEXPECTED;
  PLHostNotice due;
  WithState(h, [&](auto& c) { hr = setStatus(c, dark, value, due); });
  due.raise();
  return hr;
}

// The depth of the high-bit state this model would build.
uint8_t highBitDepth(const PLHlperBase& h) {
  BitDepthCaps caps{};
  for (size_t i = 0; i < caps.size(); ++i) caps[i] = h.formatAvailable[i];
  return SensorBitDepth(caps);
}

template <typename T>
std::vector<T> copyTable(const T* table, size_t entries) {
  return table ? std::vector<T>(table, table + entries) : std::vector<T>();
}

template <typename T>
const T* tableOrNull(const std::vector<T>& v, uint8_t bits) {
  return v.size() >= (size_t{1} << bits) ? v.data() : nullptr;
}

// Copies both tables into the helper's two slots, then into the live state.
template <typename Publish8, typename Publish16>
HRESULT keepTables(PLHlperBase& h, std::vector<uint8_t>& slot8, std::vector<uint16_t>& slot16,
                   const uint8_t* t8, const uint16_t* t16, Publish8 publish8, Publish16 publish16) {
  try {
    auto c8 = copyTable(t8, 256);
    auto c16 = copyTable(t16, size_t{1} << highBitDepth(h));
    // Kept and published under one hold, so the last caller's tables are the live ones.
    std::shared_lock<PLStateLock> state(h.stateLock());
    Lock hold(h.sensorLock());
    slot8.swap(c8);
    slot16.swap(c16);
    if (h.ctx8) publish8(h.ctx8.get(), t8);
    if (h.ctx16) publish16(h.ctx16.get(), t16);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace

HRESULT PL_SetExpoTime(PLHlperBase& h, uint32_t us) {
  ZX_TRACE("%s: %u", "PL_SetExpoTime", us);
  if (us < h.timeMin || us > h.timeMax) return E_INVALIDARG;
  if (!WithState(h, [&](auto& c) { storeTime(c, us); })) return E_FAIL;
  PL_StoreModeExpoTime(h, us);
  ExpoProcTime(h, 0);
  return S_OK;
}

HRESULT PL_SetExpoAGain(PLHlperBase& h, uint16_t gain) {
  ZX_TRACE("%s: %hu", "PL_SetExpoAGain", gain);
  if (gain < h.gainMin || gain > h.gainMax) return E_INVALIDARG;
  uint16_t stored = gain;
  if (!WithState(h, [&](auto& c) { stored = storeGain(c, gain); })) return E_FAIL;
  ExpoProcAGain(h, stored, 0);
  return S_OK;
}

HRESULT PL_SetWhiteBalanceGain(PLHlperBase& h, const int32_t gains[3]) {
  if (!gains) return E_POINTER;
  ZX_TRACE("%s: %d, %d, %d", "PL_SetWhiteBalanceGain", gains[0], gains[1], gains[2]);
  if (h.wbTempTint) return E_NOTIMPL;
  std::array<int32_t, 3> g;
  for (size_t i = 0; i < 3; ++i) g[i] = std::clamp(gains[i], -kRgbGainLimit, kRgbGainLimit);
  bool colour = false;
  if (!WithState(h, [&](auto& c) { colour = storeRgbGains(c, g); })) return E_FAIL;
  if (!colour) return S_OK;
  persist(h, "WBGainR", g[0]);
  persist(h, "WBGainG", g[1]);
  persist(h, "WBGainB", g[2]);
  return S_OK;
}

HRESULT PL_SetWhiteBalanceTempTint(PLHlperBase& h, int32_t temp, int32_t tint) {
  ZX_TRACE("%s: %d, %d", "PL_SetWhiteBalanceTempTint", temp, tint);
  if (!h.wbTempTint) return E_NOTIMPL;
  if (temp < kTempMin || temp > kTempMax || tint < kTintMin || tint > kTintMax) return E_INVALIDARG;
  bool colour = false;
  if (!WithState(h, [&](auto& c) { colour = storeTempTint(c, temp, tint); })) return E_FAIL;
  if (!colour) return S_OK;
  persist(h, "WhiteBalanceTemp", temp);
  persist(h, "WhiteBalanceTint", tint);
  return S_OK;
}

uint32_t BlackBalanceLimit(const PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_HIGHBIT_MASK) || !IsHighBitFormat(h.pixelFormat)) return 256;
  if (h.hasFlag(LUMORIX_FLAG_RAW10)) return 1024;
  if (h.hasFlag(LUMORIX_FLAG_RAW12) || h.hasFlag(LUMORIX_FLAG_RAW12_ALT)) return 4096;
  if (h.hasFlag(LUMORIX_FLAG_RAW14)) return 16384;
  return 65536;
}

HRESULT PL_SetBlackBalance(PLHlperBase& h, const uint16_t offsets[3]) {
  if (!offsets) return E_POINTER;
  ZX_TRACE("%s: %d, %d, %d", "PL_SetBlackBalance", offsets[0], offsets[1], offsets[2]);
  // The limit itself would wrap to 0 in the 8-bit kernels: the largest offset is one below.
  const uint32_t limit = BlackBalanceLimit(h);
  if (std::any_of(offsets, offsets + 3, [&](uint16_t v) { return v >= limit; }))
    return E_INVALIDARG;
  const bool hasState = WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    std::copy(offsets, offsets + 3, c.settings.blackOffset);
  });
  return hasState ? S_OK : E_FAIL;
}

HRESULT PL_SetLevelRange(PLHlperBase& h, const uint8_t low[4], const uint8_t high[4]) {
  if (!low || !high) return E_POINTER;
  return WithState(h, [&](auto& c) { PL_ApplyLevelRange(&c, low, high); }) ? S_OK : E_UNEXPECTED;
}

HRESULT PL_AutoLevelRange(PLHlperBase& h) {
  return WithState(h, [&](auto& c) { autoLevels(c); }) ? S_OK : E_UNEXPECTED;
}

HRESULT PL_SetLightFrquency(PLHlperBase& h, uint32_t mode) {
  ZX_TRACE("%s: %u", "PL_SetLightFrquency", mode);
  if (mode > kLightSteady) return E_INVALIDARG;
  bool snap = false;
  WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    if (!c.hasLightFrequency || c.settings.lightFrequency == mode) return;
    c.settings.lightFrequency = mode;
    snap = !c.settings.aeEnable;  // a manual time moves to whole periods of the new mains
  });
  if (snap) ExpoProcTime(h, 0);
  return S_OK;
}

HRESULT PL_SetAeMax(PLHlperBase& h, uint32_t timeUs, uint16_t gain) {
  const uint32_t t =
      timeUs == 0 || timeUs < h.timeMin ? kAeMaxTimeDefault : std::min(timeUs, h.timeMax);
  const uint16_t g = gain == 0 || gain < h.gainMin ? kAeMaxGainDefault : std::min(gain, h.gainMax);
  {
    Lock hold(h.sensorLock());
    h.aeMaxTime = t;
    h.aeMaxGain = g;
  }
  WithState(h, [&](auto& c) { PL_SaveAeMax(&c, t, g); });
  return S_OK;
}

HRESULT PL_SetAERect(PLHlperBase& h, const RECT& rect) {
  return setWindows(h, rect, kAeWindow);
}

HRESULT PL_SetAWBRect(PLHlperBase& h, const RECT& rect) {
  return setWindows(h, rect, kAwbWindow);
}

HRESULT PL_SetABBRect(PLHlperBase& h, const RECT& rect) {
  return setWindows(h, rect, kAbbWindow);
}

HRESULT PL_SetAllRect(PLHlperBase& h, const RECT* rect) {
  if (!rect) return E_INVALIDARG;
  return setWindows(h, *rect, kAeWindow | kAwbWindow | kAbbWindow);
}

HRESULT PL_SetRotate(PLHlperBase& h, uint32_t degrees) {
  ZX_TRACE("%s: %d", "PL_SetRotate", int32_t(degrees));
  namespace F = PLProcessFlags;
  const uint32_t bit = degrees == 90    ? F::kRotate90
                       : degrees == 180 ? F::kRotate180
                       : degrees == 270 ? F::kRotate270
                                        : 0u;
  HRESULT hr = E_UNEXPECTED;
  WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    const uint32_t flags = (c.settings.processFlags & ~F::kRotateMask) | bit;
    hr = flags == c.settings.processFlags ? S_FALSE : S_OK;
    c.settings.processFlags = flags;
  });
  return hr;
}

void PL_SetByteOrder(PLHlperBase& h, uint8_t order) {
  h.byteOrder = order ? 1 : 0;
  WithState(h, [&](auto& c) {
    {
      Lock hold(*c.mtxSettings);
      c.byteOrder = h.byteOrder;
      c.colourSites = BuildColourSites(h.byteOrder != 0);
    }
    PL_UpdateLevelLut(&c);
  });
}

HRESULT PL_SetCG(PLHlperBase& h, uint8_t value) {
  ZX_TRACE("%s: %u", "PL_SetCG", unsigned{value});
  if (!h.hasFlag(LUMORIX_FLAG_CG)) return E_NOTIMPL;
  WithState(h, [&](auto& c) {
    if (!c.hasCG) return;
    Lock hold(*c.mtxSettings);
    c.settings.processFlags =
        (c.settings.processFlags & ~PLProcessFlags::kCgMask) | PLProcessFlags::cgBits(value);
  });
  Lock hold(h.sensorLock());
  return h.PLHlperSetCG(value);
}

HRESULT PL_FfcOnePush(PLHlperBase& h) {
  return oneShot(h, false);
}

HRESULT PL_DfcOnePush(PLHlperBase& h) {
  return oneShot(h, true);
}

HRESULT PL_SetFfcStatus(PLHlperBase& h, uint32_t value) {
  ZX_TRACE("%s: %d", "PL_SetFfcStatus", int32_t(value));
  return calibrationStatus(h, false, value);
}

HRESULT PL_SetDfcStatus(PLHlperBase& h, uint32_t value) {
  ZX_TRACE("%s: %d", "PL_SetDfcStatus", int32_t(value));
  return calibrationStatus(h, true, value);
}

HRESULT PL_SetOutputLut(PLHlperBase& h, const uint8_t* lut8, const uint16_t* lut16) {
  return keepTables(
      h, h.outputLut8, h.outputLut16, lut8, lut16,
      [](PLContext* c, const uint8_t* t) { PL_SetOutputTable(c, t); },
      [](PLContext16* c, const uint16_t* t) { PL_SetOutputTable(c, t); });
}

HRESULT PL_SetToneCurveTable(PLHlperBase& h, const uint8_t* table8, const uint16_t* table16) {
  return keepTables(
      h, h.toneTable8, h.toneTable16, table8, table16,
      [](PLContext* c, const uint8_t* t) { PL_SetCameraToneTable(c, t); },
      [](PLContext16* c, const uint16_t* t) { PL_SetCameraToneTable(c, t); });
}

void PL_InstallUserTables(PLHlperBase& h) {
  std::shared_lock<PLStateLock> state(h.stateLock());
  Lock hold(h.sensorLock());
  if (h.ctx8) {
    if (const auto* t = tableOrNull(h.toneTable8, 8)) PL_SetCameraToneTable(h.ctx8.get(), t);
    if (const auto* t = tableOrNull(h.outputLut8, 8)) PL_SetOutputTable(h.ctx8.get(), t);
  }
  if (h.ctx16) {
    const uint8_t bits = h.ctx16->bitDepth;
    if (const auto* t = tableOrNull(h.toneTable16, bits)) PL_SetCameraToneTable(h.ctx16.get(), t);
    if (const auto* t = tableOrNull(h.outputLut16, bits)) PL_SetOutputTable(h.ctx16.get(), t);
  }
}
