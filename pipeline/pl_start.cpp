// Pipeline start, format switch and stop: building the state and bringing the device in line.
#include "pipeline/pl_start.h"

#include <mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "pipeline/store/device_settings.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/store/settings_io.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_windows.h"
#include "pipeline/pl_worker_pool.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

PLInitParams initParams(PLHlperBase& h, const PLSettings* settings) {
  PLInitParams p;
  p.pixelFormat = h.pixelFormat;
  for (size_t i = 0; i < p.bitDepthCaps.size(); ++i) p.bitDepthCaps[i] = h.formatAvailable[i];
  p.resolutionIndex = h.resolutionIndex;
  p.frameWidth = h.frameWidth, p.frameHeight = h.frameHeight;
  p.procWidth = h.procWidth, p.procHeight = h.procHeight;
  p.maxWidth = h.maxWidth, p.maxHeight = h.maxHeight;
  p.perResolutionExposure = h.perResolutionExposure, p.wbTempTint = h.wbTempTint;
  p.aeEnableDefault = h.aeEnableDefault;
  p.isColour = !h.hasFlag(LUMORIX_FLAG_MONO);
  p.hasLightFrequency = h.hasFlag(LUMORIX_FLAG_LIGHTFREQ);
  p.flag40 = h.PLHlperHasFlag40();
  p.hasIsp = h.hasFlag(LUMORIX_FLAG_ISP);
  if (p.hasIsp) {
    p.hwBlackLevel = h.bIspHasABB();
    p.hwToneBypass = h.IspSetLutEx();
  }
  p.hasToneMapping = h.hasToneMapping, p.workersAllowed = h.workersAllowed;
  p.hasCG = h.hasFlag(LUMORIX_FLAG_CG);
  p.byteOrder = h.byteOrder, p.rowOrder = h.rowOrder, p.cgDefault = h.cgDefault;
  p.aePolicyDefault = kAeTimeFirst;
  p.outputFormat = h.outputFormat;
  p.bayer = int32_t(h.bayer);
  p.regKey = h.subKey.empty() ? nullptr : h.subKey.c_str();
  p.gainMin = h.gainMin, p.gainMax = h.gainMax, p.gainDefault = h.gainDefault;
  p.timeMin = h.timeMin, p.timeMax = h.timeMax, p.timeDefault = h.timeDefault;
  for (int i = 0; i < 3; ++i) p.toneParams[i] = h.toneParams[size_t(i)];
  p.settings = settings;
  return p;
}

template <typename Sample>
void installHooks(PLHlperBase& h, PLContextT<Sample>& c, uint32_t video, uint32_t still) {
  PL_SaveAeMax(&c, h.aeMaxTime, h.aeMaxGain);
  Lock hold(*c.mtxSettings);
  c.callbacks.histogramCallback = h.histogramCallback;
  c.callbacks.histogramCallbackContext = h.histogramCallbackCtx;
  if (video && video < 4) c.demosaicVideo = video;
  if (still && still < 4) c.demosaicStill = still;
  if (h.demosaicCallback) {
    c.callbacks.demosaicCallback = h.demosaicCallback;
    c.callbacks.demosaicCallbackContext = h.demosaicCallbackCtx;
  }
  if (h.extraHook || h.extraHookCtx) {
    c.callbacks.extraHook = h.extraHook;
    c.callbacks.extraHookContext = h.extraHookCtx;
  }
  c.callbacks.onFfcFrame = &PLHlperBase::FfcDone;
  c.callbacks.onFfcFrameContext = &h;
  c.callbacks.onDfcFrame = &PLHlperBase::DfcDone;
  c.callbacks.onDfcFrameContext = &h;
}

void installRawLut(PLContext& c, const PLHlperBase& h) {
  if (h.rawLut8) c.rawLut.assign(h.rawLut8, h.rawLut8 + 256);
}
void installRawLut(PLContext16& c, const PLHlperBase& h) {
  if (h.rawLut16) c.rawLut.assign(h.rawLut16, h.rawLut16 + (size_t{1} << c.bitDepth));
}

// The settings to carry into a new state: the block, its windows as fractions and RGB gains.
template <typename Sample>
PLSettings carrySettings(const PLHlperBase& h, PLContextT<Sample>& c) {
  Lock hold(*c.mtxSettings);
  PLSettings s = c.settings;
  const auto ae = RectToFraction(c, c.aeRectPx), awb = RectToFraction(c, c.awbRectPx);
  const auto abb = RectToFraction(c, c.abbRectPx);
  for (int i = 0; i < 4; ++i)
    s.aeRect[i] = ae[size_t(i)], s.awbRect[i] = awb[size_t(i)], s.abbRect[i] = abb[size_t(i)];
  if (!h.wbTempTint) SetRgbGains(s, c.wbGain[0], c.wbGain[1], c.wbGain[2]);
  return s;
}

template <typename Sample>
void setBlackOffsets(PLContextT<Sample>& c, const uint16_t o[3]) {
  ZX_TRACE("%s: %d, %d, %d", "PL_SetBlackBalance", o[0], o[1], o[2]);
  Lock hold(*c.mtxSettings);
  for (int i = 0; i < 3; ++i) c.settings.blackOffset[i] = o[i];
}

void setBlackOffsets(PLHlperBase& h, const uint16_t o[3]) {
  WithState(h, [&](auto& c) { setBlackOffsets(c, o); });
}

bool currentOffsets(const PLHlperBase& h, uint16_t o[3]) {
  return WithState(h, [&](const auto& c) {
    Lock hold(*c.mtxSettings);
    for (int i = 0; i < 3; ++i) o[i] = c.settings.blackOffset[i];
  });
}

// What a rebuilt state inherits from the one it replaces.
struct Carried {
  PLSettings settings{};
  bool hasSettings = false;
  uint32_t video = 0, still = 0;
  uint8_t aeMark = 0;
  bool hasLevels = false;
  uint8_t low[4] = {}, high[4] = {};
  // The host's statistics registration, with a one-shot request not yet answered.
  decltype(PLHostCallbacks::statsCallback) statsCallback = nullptr;
  void* statsContext = nullptr;
  uint32_t statsRequest = 0;
};

// A restart keeps what the host registered for statistics, as it stood on the old state.
template <typename Sample>
void rememberStats(PLContextT<Sample>& c, Carried& k) {
  Lock hold(*c.mtxSettings);
  k.statsCallback = c.callbacks.statsCallback;
  k.statsContext = c.callbacks.statsCallbackContext;
  k.statsRequest = c.statsRequest;
}
template <typename Sample>
void restoreStats(PLContextT<Sample>& c, const Carried& k) {
  Lock hold(*c.mtxSettings);
  c.callbacks.statsCallback = k.statsCallback;
  c.callbacks.statsCallbackContext = k.statsContext;
  c.statsRequest = k.statsRequest;
}

template <typename Sample>
void rememberForOpen(PLHlperBase& h, PLContextT<Sample>& c, Carried& k) {
  k.video = c.demosaicVideo, k.still = c.demosaicStill;
  rememberStats(c, k);
  if (!h.regKey.empty()) {
    Lock hold(*c.mtxSettings);
    for (int i = 0; i < 4; ++i)
      k.low[i] = c.settings.levelLow[i], k.high[i] = c.settings.levelHigh[i];
    k.hasLevels = true;
  } else {
    k.settings = carrySettings(h, c);
    k.hasSettings = true;
  }
}

template <typename Sample>
void rememberForSwitch(PLHlperBase& h, PLContextT<Sample>& c, Carried& k) {
  k.settings = carrySettings(h, c);
  k.hasSettings = true;
  k.video = c.demosaicVideo, k.still = c.demosaicStill, k.aeMark = c.aeMarkWindow;
}

void finishState(PLHlperBase& h) {
  SaveCurrentBlackBalance(h, h.pixelFormat);
  h.ctx8.reset();
  h.ctx16.reset();
}

void allocateQuickBuffer(PLHlperBase& h, uint32_t w, uint32_t ht) {
  size_t bytes = 0;
  if (h.hasFlag(LUMORIX_FLAG_RAW12_ALT))
    bytes = size_t(w) * ht * 2;
  else if (h.hasFlag(LUMORIX_FLAG_RAW8_ALT))
    bytes = size_t(w) * ht;
  if (bytes == 0) return;
  std::lock_guard<platform::Mutex> hold(h.quickLock);        // a conversion may be using it
  if (h.quickBuffer && bytes <= h.quickBufferBytes) return;  // reuse
  h.quickBuffer.allocate(bytes, platform::kFrameAlignment);
  h.quickBufferBytes = h.quickBuffer ? bytes : 0;
}

template <typename Sample>
void step2State(PLHlperBase& h, PLContextT<Sample>& c) {
  ZX_TRACE("%s", "PL_Start");
  PL_StartWorkers(c);
  uint32_t aeOn;
  {
    Lock hold(*c.mtxSettings);
    aeOn = c.settings.aeEnable;
  }
  if (aeOn) PL_SetAutoExpoEnable(h, aeOn);
  if (h.hasFlag(LUMORIX_FLAG_ISP) && c.hasIsp) {
    std::array<double, 9> m{};
    {
      Lock hold(*c.mtxSettings);
      c.callbacks.hwColourMatrix = &PLHlperBase::IspMatrix;
      c.callbacks.hwWbGains = &PLHlperBase::IspWb;
      c.callbacks.hwBlackOffsets = &PLHlperBase::IspBb;
      c.callbacks.hwToneLut = &PLHlperBase::IspLut;
      c.callbacks.hwContext = &h;
      const auto colour = c.tables.colour;
      for (size_t i = 0; i < 9; ++i) m[i] = colour ? colour->coef[i] * (1.0 / 16384) : 0.0;
    }
    {
      Lock hold(h.sensorLock());
      h.IspSetMatrix(m.data());
    }
    Lock hold(*c.mtxSettings);  // the tables from the settings as they stand when published
    PL_UpdateToneCurve(&c);
    PL_UpdateWbLut(&c);
  }
}

}  // namespace

namespace {

// The new state alone; the caller holds the state lock exclusively.
bool createState(PLHlperBase& h, const PLSettings* settings, uint32_t video, uint32_t still) {
  const PLInitParams params = initParams(h, settings);
  if (h.hasFlag(LUMORIX_FLAG_HIGHBIT_MASK) && IsHighBitFormat(h.pixelFormat)) {
    h.ctx16.reset(PL_Init16(&params));
    if (!h.ctx16) return false;
    installHooks(h, *h.ctx16, video, still);
    installRawLut(*h.ctx16, h);
  } else {
    h.ctx8.reset(PL_Init(&params));
    if (!h.ctx8) return false;
    installHooks(h, *h.ctx8, video, still);
    installRawLut(*h.ctx8, h);
  }
  return true;
}

// The helper's gains, matrix and host tables into the new state. They take the sensor lock, so
// they run after the exclusive hold: a host thread holding that lock may be waiting to share it.
void publishHelperTables(PLHlperBase& h) {
  PL_SetWbGainBase(h);
  PL_SetColorMatrix(h);
  PL_InstallUserTables(h);
}

}  // namespace

bool PLInit(PLHlperBase& h, const PLSettings* settings, uint32_t video, uint32_t still) {
  ZX_TRACE("%s", "PLInit");
  {
    std::unique_lock<PLStateLock> rebuild(h.stateLock());
    if (!createState(h, settings, video, still)) return false;
  }
  publishHelperTables(h);
  return true;
}

void InitPipeLineStep1(PLHlperBase& h, uint32_t index, uint32_t w, uint32_t ht,
                       const ExposureRange* range, uint32_t pw, uint32_t ph) {
  ZX_TRACE("%s", "InitPipeLineStep1");
  bool built = false;
  {
    // Host calls wait for the whole swap: none sees the old state freed or the new half made.
    std::unique_lock<PLStateLock> rebuild(h.stateLock());
    Carried k;
    // The old state is measured at its own sizes, so it is read before the new ones are stored.
    if (WithState(h, [&](auto& c) { rememberForOpen(h, c, k); }))
      finishState(h);  // joins its workers and saves its settings
    h.resolutionIndex = index, h.frameWidth = w, h.frameHeight = ht;
    h.procWidth = pw ? pw : w, h.procHeight = ph ? ph : ht;
    if (range) h.timeMin = range->min, h.timeMax = range->max, h.timeDefault = range->def;
    built = createState(h, k.hasSettings ? &k.settings : nullptr, k.video, k.still);
    if (built) WithState(h, [&](auto& c) { restoreStats(c, k); });
    if (!built) {
      ZX_TRACE_ERROR("%s: no pipeline state", "InitPipeLineStep1");
    } else if (!k.hasSettings) {
      uint16_t o[3] = {};
      LoadBlackBalance(h, o, h.pixelFormat);
      setBlackOffsets(h, o);
      if (k.hasLevels) WithState(h, [&](auto& c) { PL_ApplyLevelRange(&c, k.low, k.high); });
    }
  }
  if (built) publishHelperTables(h);
  allocateQuickBuffer(h, w, ht);
  if (h.hasFlag(LUMORIX_FLAG_ISP)) {
    Lock hold(h.sensorLock());
    h.IspEnWB(true);
    h.IspEnMatrix(true);
  }
}

void InitBandwidth(PLHlperBase& h) {
  const uint32_t m = h.GetPreciseFrameRateMax();
  if (m == 0) return;
  if (!h.regKey.empty()) {
    uint32_t v;
    if (RegReadRaw(h.regKey, PreciseValueName(h.resolutionIndex, h.ctx16 != nullptr), v))
      h.preciseFrameRate = v ? v : 1;
    if (RegReadRaw(h.regKey, "Bandwidth", v)) h.bandwidth = v == 0 ? 1 : std::min<uint32_t>(v, 100);
  }
  if (h.bandwidth == 0 || h.bandwidth > 100) h.bandwidth = 85;
  const uint32_t p = h.preciseFrameRate;
  const uint32_t value = p == 0 ? uint32_t(uint64_t(m) * 85 / 100) : (p < m ? p : m);
  {
    Lock hold(h.sensorLock());
    h.SetBandwidth(h.bandwidth, false);
    h.SetPreciseFrameRate(value);
  }
  ZX_TRACE("%s: %u, %u", "InitBandwidth", h.bandwidth, h.preciseFrameRate);
}

void InitPipeLineStep2(PLHlperBase& h) {
  ZX_TRACE("%s", "InitPipeLineStep2");
  InitBandwidth(h);
  uint16_t gain = 0;
  const bool hasState =
      WithState(h, [&](auto& c) { step2State(h, c), gain = c.settings.expoGain; });
  ExpoProcTime(h, 1);
  if (hasState) ExpoProcAGain(h, gain, 1);
  LoadEepromData(h);
  SelectDefectList(h);
  PL_SetBlackLevel(h, h.blackLevel);
  if (h.hasFlag(LUMORIX_FLAG_TEC) && h.hasFlag(LUMORIX_FLAG_TECTARGET) && h.tecTarget >= -300 &&
      h.tecTarget <= 300) {
    Lock hold(h.sensorLock());
    h.PLHlperSetTECTarget(h.tecTarget);
  }
  PL_SetFan(h, h.fanSpeed);
  PL_SetTec(h, h.tecOn);
  {
    Lock hold(h.sensorLock());
    h.PLHlperSetCG(PL_GetCG(h));
  }
  SyncIspRects(h);
}

void FiniPLHlper(PLHlperBase& h) {
  ZX_TRACE("%s", "FiniPLHlper");
  {
    Lock hold(h.sensorLock());
    if (h.hasFlag(LUMORIX_FLAG_FAN)) h.PLHlperSetFan(0);
    if (h.hasFlag(LUMORIX_FLAG_TEC) && h.hasFlag(LUMORIX_FLAG_TECTARGET)) h.PLHlperSetTEC(0);
  }
  if (h.regKey.empty()) return;
  RegWriteDword(h.regKey, "Binning", h.PLHlperGetBinning() & 0xFFu);
  SensorRect roi{};
  h.PLHlperGetRoi(&roi);
  RegWriteDword(h.regKey, "RoiLeft", roi.left);
  RegWriteDword(h.regKey, "RoiTop", roi.top);
  RegWriteDword(h.regKey, "RoiRight", roi.right);
  RegWriteDword(h.regKey, "RoiBottom", roi.bottom);
  if (h.hasFlag(LUMORIX_FLAG_SKIP)) SaveSkip(h.regKey, h.skip);
  SaveFrameRate(h.regKey, h.speed);
  if (h.GetPreciseFrameRateMax() != 0) {
    SavePrecise(h.regKey, h.preciseFrameRate, h.resolutionIndex, h.ctx16 != nullptr);
    SaveBandwidth(h.regKey, h.bandwidth);
  }
}

void PostOpenRestore(PLHlperBase& h) {
  if (!h.PLHlperGetCalc2630()) LoadEepromData(h);
  if (h.hasFlag(LUMORIX_FLAG_TEC) && h.hasFlag(LUMORIX_FLAG_TECTARGET) && h.tecTarget >= -300 &&
      h.tecTarget <= 300) {
    Lock hold(h.sensorLock());
    h.PLHlperSetTECTarget(h.tecTarget);
  }
  PL_SetFan(h, h.fanSpeed);
  PL_SetTec(h, h.tecOn);
}

void SetPixelFormat(PLHlperBase& h, uint8_t format, uint8_t presetLoad, uint8_t started) {
  ZX_TRACE("%s: eformat = %u, bPrestLoad = %s", "SetPixelFormat", unsigned(format),
           presetLoad ? "true" : "false");
  if (format >= kPixelFormatCount || h.formatCount < 2) return;
  const bool high = IsHighBitFormat(format);
  if (h.formatCount == 2) {
    // While stopped the state may be stale: the recorded format decides.
    const bool change = started ? ((h.ctx8 && high) ||
                                   (h.ctx16 && (format == kPixelRaw8 || format == kPixelRaw8Alt)))
                                : (h.formatAvailable[format] && format != h.pixelFormat);
    if (!change) return;
    SwitchPipeline(h, format, presetLoad, started);
    Lock hold(h.sensorLock());
    h.PLHlperSetBitDepth(high ? 1 : 0);
  } else {
    if (!h.formatAvailable[format] || format == h.pixelFormat) return;
    SwitchPipeline(h, format, presetLoad, started);
    Lock hold(h.sensorLock());
    h.PLHlperSetPixelFormat(format);
  }
  PL_SetBlackLevel(h, h.blackLevel);
}

void SwitchPipeline(PLHlperBase& h, uint8_t format, uint8_t presetLoad, uint8_t started) {
  ZX_TRACE("%s: eformat = %u, bPrestLoad = %s, bStarted = %s", "SwitchPipeline", unsigned(format),
           presetLoad ? "true" : "false", started ? "true" : "false");
  if (!h.regKey.empty()) RegWriteDword(h.regKey, "PixelFormat", format);
  if (!started) {
    h.pixelFormat = format;
    return;
  }
  SavePrecise(h.regKey, h.preciseFrameRate, h.resolutionIndex, h.ctx16 != nullptr);
  const uint8_t oldFormat = h.pixelFormat;
  const int oldBits = kFormatBitsPerPixel[oldFormat], newBits = kFormatBitsPerPixel[format];
  const bool newHigh = IsHighBitFormat(format) && h.hasFlag(LUMORIX_FLAG_HIGHBIT_MASK);
  const bool wasHigh = h.ctx16 != nullptr;
  Carried k;
  uint16_t o[3] = {};
  bool built = false;
  {
    std::unique_lock<PLStateLock> rebuild(h.stateLock());
    const bool hadState = currentOffsets(h, o);
    WithState(h, [&](auto& c) { rememberForSwitch(h, c, k); });
    if (presetLoad || !hadState) {
      LoadBlackBalance(h, o, format);
    } else if (hadState) {
      SaveBlackBalance(h, o, oldFormat);
      // Offsets follow the sample depth: shifted by the difference between the two depths.
      const int from = wasHigh ? oldBits : 8, to = newHigh ? newBits : 8;
      for (auto& v : o)
        v = uint16_t(to >= from ? uint32_t(v) << (to - from) : uint32_t(v) >> (from - to));
    }
    h.ctx8.reset();
    h.ctx16.reset();
    h.pixelFormat = format;
    built = createState(h, k.hasSettings ? &k.settings : nullptr, k.video, k.still);
    if (built) setBlackOffsets(h, o);
  }
  if (!built) {
    ZX_TRACE_ERROR("%s: no pipeline state", "SwitchPipeline");
    return;
  }
  publishHelperTables(h);
  InitPipeLineStep2(h);
  PL_SetStatsCallback(h);
  WithState(h, [&](auto& c) { c.aeMarkWindow = k.aeMark; });
}
