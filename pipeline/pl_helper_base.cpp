// The pipeline half of every camera object: model ranges, device values, callbacks and the state.
#include "pipeline/pl_helper_base.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/lumorix_flags.h"
#include "pipeline/store/device_settings.h"
#include "pipeline/store/registry.h"
#include "pipeline/store/settings_io.h"
#include "pipeline/pl_vignette.h"

namespace {

// The flag bit that offers each pixel format 0..11.
constexpr uint8_t kFormatFlagBit[kPixelFormatCount] = {31, 12, 13, 14, 15, 27,
                                                       28, 29, 30, 32, 33, 34};

PLHlperArgs argsOf(const WCHAR16* subKey, uint32_t bayer, uint32_t maxWidth, uint32_t maxHeight,
                   uint32_t frameWidth, uint32_t frameHeight, uint8_t wbTempTint,
                   uint8_t aeEnableDefault, uint8_t hasToneMapping, uint64_t modelFlags,
                   uint32_t defectListCount, uint16_t maxSpeed, uint32_t rawFrameBytes,
                   uint8_t perResolutionExposure, double tone0, double tone1, double tone2) {
  PLHlperArgs a;
  a.subKey = subKey, a.bayer = bayer, a.maxWidth = maxWidth, a.maxHeight = maxHeight;
  a.frameWidth = frameWidth, a.frameHeight = frameHeight, a.wbTempTint = wbTempTint;
  a.aeEnableDefault = aeEnableDefault, a.hasToneMapping = hasToneMapping;
  a.modelFlags = modelFlags, a.defectListCount = defectListCount, a.maxSpeed = maxSpeed;
  a.rawFrameBytes = rawFrameBytes, a.perResolutionExposure = perResolutionExposure;
  a.toneParams[0] = tone0, a.toneParams[1] = tone1, a.toneParams[2] = tone2;
  return a;
}

PLHlperBase& self(void* helper) {
  return *static_cast<PLHlperBase*>(helper);
}

}  // namespace

PLHlperBase::PLHlperBase(const PLHlperArgs& a)
    : Preset(a.subKey, a.wbTempTint),
      subKey(a.subKey ? WString(a.subKey) : WString()),
      regKey(RegKeyFromWide(a.subKey)),
      wbTempTint(a.wbTempTint),
      aeEnableDefault(a.aeEnableDefault),
      hasToneMapping(a.hasToneMapping),
      perResolutionExposure(a.perResolutionExposure),
      modelFlags(a.modelFlags),
      rawFrameBytes(a.rawFrameBytes),
      defectListCount(a.defectListCount),
      maxWidth(a.maxWidth),
      maxHeight(a.maxHeight),
      maxSpeed(a.maxSpeed),
      toneParams{a.toneParams[0], a.toneParams[1], a.toneParams[2]},
      bayer(a.bayer),
      frameWidth(a.frameWidth),
      frameHeight(a.frameHeight),
      procWidth(a.frameWidth),
      procHeight(a.frameHeight) {
  defectLists.resize(defectListCount);  // each slot starts with no list
  if (hasFlag(LUMORIX_FLAG_SKIP)) skip = 1;
  if (hasFlag(LUMORIX_FLAG_TEC)) tecOn = 1;
  for (uint32_t f = 0; f < kPixelFormatCount; ++f) {
    formatAvailable[f] = hasFlag(uint64_t{1} << kFormatFlagBit[f]) ? 1 : 0;
    formatCount = static_cast<uint8_t>(formatCount + formatAvailable[f]);
  }
}

PLHlperBase::PLHlperBase(const WCHAR16* subKey_, uint32_t bayer_, uint32_t maxWidth_,
                         uint32_t maxHeight_, uint32_t frameWidth_, uint32_t frameHeight_,
                         uint8_t wbTempTint_, uint8_t aeEnableDefault_, uint8_t hasToneMapping_,
                         uint64_t modelFlags_, uint32_t defectListCount_, uint16_t maxSpeed_,
                         uint32_t rawFrameBytes_, uint8_t perResolutionExposure_, double tone0,
                         double tone1, double tone2)
    : PLHlperBase(argsOf(subKey_, bayer_, maxWidth_, maxHeight_, frameWidth_, frameHeight_,
                         wbTempTint_, aeEnableDefault_, hasToneMapping_, modelFlags_,
                         defectListCount_, maxSpeed_, rawFrameBytes_, perResolutionExposure_, tone0,
                         tone1, tone2)) {}

PLHlperBase::~PLHlperBase() {
  quickBuffer.reset();
  if (!retireStateHeldHere()) {
    std::unique_lock<PLStateLock> rebuild(*stateLock_);
    if (ctx8 || ctx16) SaveCurrentBlackBalance(*this, pixelFormat);
    ctx8.reset();
    ctx16.reset();
  }
  curDefects = nullptr;
  curDefectCount = 0;
  defectLists.clear();
  stillBuffer.reset();
  if (regKey.empty()) return;
  if (hasFlag(LUMORIX_FLAG_FAN)) RegWriteDword(regKey, "Fan", fanSpeed);
  if (hasFlag(LUMORIX_FLAG_TEC)) {
    RegWriteDword(regKey, "TEC", tecOn);
    RegWriteDword(regKey, "TECTarget", static_cast<uint32_t>(tecTarget));
  }
  if (hasFlag(LUMORIX_FLAG_BLACKLEVEL)) RegWriteDword(regKey, "BlackLevel", blackLevel);
}

// A host that deletes its camera from inside its own demosaic or histogram hook does so under
// this thread's hold: the exclusive lock would wait for this very thread. The state and its lock
// pass to that hold instead, which ends them once the frame has left (see the hook's callers).
// The settings are saved here, under that hold, as any delete saves them before it returns: a
// host that opens the camera again at once reads them, and no late save overwrites its own.
bool PLHlperBase::retireStateHeldHere() {
  if (!stateLock_->heldSharedHere()) return false;
  if (ctx8 || ctx16) SaveCurrentBlackBalance(*this, pixelFormat);
  PL_SaveSettings(ctx8.get());
  PL_SaveSettings(ctx16.get());
  using Saved = std::pair<std::unique_ptr<PLContext, PLContextFiniSaved>,
                          std::unique_ptr<PLContext16, PLContextFiniSaved>>;
  auto state = std::make_shared<Saved>(ctx8.release(), ctx16.release());
  return PLStateLock::retireWhileHeldHere(stateLock_, std::move(state));
}

// One-shots are taken and cleared before the call, so each fires at most once per arming.
void PLHlperBase::TempTintOnce(int32_t temp, int32_t tint, void* helper) {
  PLHlperBase& h = self(helper);
  const auto fn = std::exchange(h.onTempTintOnce, nullptr);
  void* const ctx = std::exchange(h.onTempTintOnceCtx, nullptr);
  if (fn) fn(temp, tint, ctx);
}

void PLHlperBase::RgbOnce(const int32_t gains[3], void* helper) {
  PLHlperBase& h = self(helper);
  const auto fn = std::exchange(h.onRgbOnce, nullptr);
  void* const ctx = std::exchange(h.onRgbOnceCtx, nullptr);
  if (fn) fn(gains, ctx);
}

void PLHlperBase::BlackOnce(const uint16_t offsets[3], void* helper) {
  PLHlperBase& h = self(helper);
  const auto fn = std::exchange(h.onBlackOnce, nullptr);
  void* const ctx = std::exchange(h.onBlackOnceCtx, nullptr);
  if (fn) fn(offsets, ctx);
}

void PLHlperBase::FfcDone(void* helper) {
  PLHlperBase& h = self(helper);
  const auto done = h.onFfcDone.load();
  if (done) done(h.onFfcDoneCtx.load());
}

void PLHlperBase::DfcDone(void* helper) {
  PLHlperBase& h = self(helper);
  const auto done = h.onDfcDone.load();
  if (done) done(h.onDfcDoneCtx.load());
}

void PLHlperBase::IspMatrix(const double matrix[9], void* helper) {
  self(helper).IspSetMatrix(matrix);
}

void PLHlperBase::IspWb(const int32_t gains[3], void* helper, const void*, uint32_t) {
  self(helper).IspSetWB(gains);
}

void PLHlperBase::IspBb(const uint16_t offsets[3], void* helper) {
  self(helper).IspSetBB(offsets);
}

void PLHlperBase::IspLut(const void* lut, uint32_t bits, void* helper) {
  if (bits > 8) {
    self(helper).IspSetLut(static_cast<const uint16_t*>(lut), bits);
    return;
  }
  // An 8-bit state's table has byte entries; the processor takes 16-bit ones.
  const auto* bytes = static_cast<const uint8_t*>(lut);
  std::vector<uint16_t> wide(bytes, bytes + (size_t{1} << bits));
  self(helper).IspSetLut(wide.data(), bits);
}

bool PL_IsRotated90(const PLHlperBase& helper) {
  uint32_t flags = 0;
  if (!WithState(helper, [&](const auto& c) {
        std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);  // where the turn is set
        flags = c.settings.processFlags;
      }))
    return false;
  return (flags & PLProcessFlags::kRotate90) ||
         ((flags & PLProcessFlags::kRotate270) && !(flags & PLProcessFlags::kRotate180));
}

namespace {

template <typename Sample>
void copyStats(PLHlperBase& h, PLContextT<Sample>& ctx) {
  std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
  ctx.callbacks.statsCallback = h.statsCallback;
  ctx.callbacks.statsCallbackContext = h.statsCallbackCtx;
  ctx.statsRequest = h.statsRequest;
  ++ctx.statsRequestSerial;
}

// The build reads amount and midpoint, which host threads store under this lock; holding it
// also publishes the tables before the switch a frame's snapshot sees.
template <typename Sample>
void setVignette(PLContextT<Sample>& ctx, int32_t on) {
  std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
  if (on) PL_BuildVignetteTable(&ctx);
  ctx.settings.vignetteEnable = on ? 1u : 0u;
}

}  // namespace

void PL_SetStatsCallback(PLHlperBase& helper) {
  WithState(helper, [&](auto& c) { copyStats(helper, c); });
}

// The switch is recorded even when the tables cannot be made; the frames then skip the step.
HRESULT PL_SetVignetteEnable(PLHlperBase& helper, int32_t on) {
  try {
    return WithState(helper, [&](auto& c) { setVignette(c, on); }) ? S_OK : E_UNEXPECTED;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // the state could not be held: nothing was changed
  }
}
