// The grabber's hook: grab, defect repair, one AE step, and the exposure hand-over to the sensor.
#include "pipeline/pl_frame_hooks.h"

#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "kernels/calibration.h"
#include "kernels/demosaic.h"
#include "pipeline/algorithms/auto_exposure.h"
#include "pipeline/exposure_notice.h"
#include "pipeline/pl_mono_driver.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/pl_rgb_driver.h"
#include "pipeline/pl_driver_steps.h"
#include "pipeline/stages/layout.h"
#include "kernels/output.h"
#include "pipeline/stages/defect_repair.h"
#include "pipeline/store/eeprom_data.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;
// Every frame step holds the state shared for its whole call, so a rebuild waits for the frame.
// The host's hooks run inside that hold; they run only on a camera thread or under a stream
// claim, where a restart answers at once instead of waiting for it.
using StateHold = std::shared_lock<PLStateLock>;

constexpr int32_t kGrabbedFrame = 1;  // the grab's result for a whole frame

// One conversion under the state's hold. A host hook that deleted the camera ends it at once;
// the hold's end then finishes the state, and the answer is that of a helper without one.
template <typename Convert>
HRESULT convertHeld(PLHlperBase& h, Convert&& convert) {
  try {
    StateHold state(h.stateLock());
    return convert();
  } catch (const PLStateLock::Retired&) {
    return E_UNEXPECTED;  // the helper is gone: nothing of it is touched here
  }
}

// The time and the light frequency it snaps to are read under one hold: a setter or a preset
// between the two would pair one block's time with another's frequency.
template <typename Sample>
uint32_t snappedTime(PLContextT<Sample>& c) {
  Lock hold(*c.mtxSettings);
  return AeSnapExposureTime(&c, c.settings.expoTime);
}

bool snappedTime(PLHlperBase& h, uint32_t& t) {
  return WithState(h, [&](auto& c) { t = snappedTime(c); });
}

void repairDefects(PLHlperBase& h, FrameDescriptor& f, const SensorRect* region) {
  if (!h.curDefectCount || !h.curDefects) return;
  stages::FixFrameDefects(h, h.curDefectCount, h.curDefects, int32_t(h.procWidth),
                          int32_t(h.procHeight), f.buffer, region);
}

// The exposure the AE step handed over, applied once the state is let go: applying raises the
// exposure notice, and no host callback runs inside that hold.
struct AeHandOver {
  void (*apply)(uint32_t, uint16_t, void*) = nullptr;
  void* context = nullptr;
  uint32_t time = 0;
  uint16_t gain = 0;
  void run() const {
    if (apply) apply(time, gain, context);
  }
};

// Steps 6 to 8: one AE step, then the hand-over decided under mtxSettings and applied outside.
template <typename Sample>
AeHandOver aeStep(PLContextT<Sample>& c, const uint8_t* frame, const ImageRect* window) {
  uint32_t before;
  {
    Lock hold(*c.mtxSettings);
    if (!c.settings.aeEnable) return {};
    before = c.aeStatus;
  }
  AutoExposure(&c, frame, window);
  AeHandOver out;
  Lock hold(*c.mtxSettings);
  out.time = c.settings.expoTime, out.gain = c.settings.expoGain;
  if (out.time == c.curTime && out.gain == c.curGain) {
    ZX_TRACE("%s: do nothing, new = %u, %hu, old = %u, %hu", "PL_AutoExposure", out.time, out.gain,
             c.curTime, c.curGain);
    if (c.aeStatus == kAeNoReference && before != kAeNoReference)
      c.aeCallCount = kAeCallCountStepNext;  // settled: the next frame checks it at once
    return {};
  }
  ZX_TRACE("%s: do call, new = %u, %hu, old = %u, %hu", "PL_AutoExposure", out.time, out.gain,
           c.curTime, c.curGain);
  c.curTime = out.time, c.curGain = out.gain, c.aeCallCount = 0;
  out.apply = c.callbacks.aeApply, out.context = c.callbacks.aeApplyContext;
  return out;
}

// The caller's region in sensor terms; false for one that is empty or starts before the frame.
bool sensorRect(const RECT* r, SensorRect& out) {
  if (!r) return true;
  if (r->left < 0 || r->top < 0 || r->right <= r->left || r->bottom <= r->top) return false;
  out = {uint32_t(r->left), uint32_t(r->top), uint32_t(r->right), uint32_t(r->bottom)};
  return true;
}

// A packed 4:2:2 frame: converted to RGB at its running size in the output (the camera has
// already cropped and binned it), then processed there.
HRESULT packedFrame(PLContext& c, const FrameConvertRequest& r, const SensorRect* roi,
                    uint32_t binning) {
  const kernels::Layout l = stages::LayoutOf(c);
  // The converters write only colour pixels: a grey output would be left holding stale bytes.
  if (l.samplesPerPixel < 3) return E_NOTIMPL;
  drivers::Running run;
  const FrameGeometry g{c.frameWidth, c.frameHeight, c.frameWidth, c.frameHeight};
  if (!r.raw || !r.output || binning > 255 || !drivers::runningSizes(g, roi, binning, 0, run))
    return E_INVALIDARG;
  PL_ProcessPacked8(&c, r.raw, r.pixelFormat != kPixelYuv422, int32_t(run.fw), int32_t(run.fh),
                    r.output, roi, uint8_t(binning));
  return S_OK;
}

// Grab, repair and AE step, with the state held shared by the caller.
int32_t grabAndStep(PLHlperBase& h, FrameDescriptor* f, platform::Event* stop, AeHandOver& out) {
  const SensorRect& r = f->roi;
  f->hasRoi = (r.left || r.top || r.right || r.bottom) ? 1 : 0;
  const SensorRect& sw = f->sensorWindow;
  const bool useWindow = f->hasRoi && (sw.left || sw.top || sw.right || sw.bottom);
  SensorRect window = sw;
  f->pixelFormat = h.pixelFormat;
  const int32_t got =
      h.PLHlperGrabFrame(f, h.frameWidth, h.frameHeight, useWindow ? &window : nullptr, stop, true);
  if (got != kGrabbedFrame) return got;
  const SensorRect& region = window;
  TakeRequestedDefectList(h);
  repairDefects(h, *f, useWindow ? &region : nullptr);
  if (h.PLHlperIsTrigger()) return got;
  ImageRect ae{int32_t(region.left), int32_t(region.top), int32_t(region.right),
               int32_t(region.bottom)};
  if (useWindow && h.rowOrder) {
    // Bottom-up rows: the window's rows are mirrored against the frame height.
    const int32_t bottom = int32_t(h.frameHeight) - ae.top;
    ae.top = bottom - (ae.bottom - ae.top);
    ae.bottom = bottom;
  }
  const ImageRect* aeWindow = useWindow ? &ae : nullptr;
  if (h.ctx16 && IsHighBitFormat(h.pixelFormat))
    out = aeStep(*h.ctx16, f->buffer, aeWindow);
  else if (h.ctx8)
    out = aeStep(*h.ctx8, f->buffer, aeWindow);
  return got;
}

}  // namespace

int32_t PL_AutoExposure(PLHlperBase& h, FrameDescriptor* f, platform::Event* stop) {
  h.PLHlperApplyRoi(f, stop);  // may notify the host: before the state is held
  AeHandOver handOver;
  int32_t got;
  {
    StateHold state(h.stateLock());
    got = grabAndStep(h, f, stop, handOver);
  }
  handOver.run();
  return got;
}

bool PL_CurrentExposureTime(PLHlperBase& h, uint32_t* timeUs) {
  uint32_t t = 0;
  if (!snappedTime(h, t)) return false;
  if (timeUs) *timeUs = t;
  return true;
}

bool PL_CurrentGain(PLHlperBase& h, uint16_t* gain) {
  uint16_t g = 0;
  const bool found = WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    g = c.settings.expoGain;
  });
  if (!found) return false;
  if (gain) *gain = g;
  return true;
}

void ExpoProcTime(PLHlperBase& h, uint8_t force) {
  ZX_TRACE("%s: force = %s", "ExpoProcTime", force ? "true" : "false");
  {
    std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
    uint32_t t;
    if (snappedTime(h, t) && (force || t != h.appliedTime)) {
      h.appliedTime = t;
      ZX_TRACE("%s: real = %u", "ExpoProcTime", t);
      h.PLHlperSetExpoTime(t);
    }
  }
  RaiseExposureChanged(h);
}

void ExpoProcAGain(PLHlperBase& h, uint16_t gain, uint8_t force) {
  ZX_TRACE("%s: %hu, force = %s", "ExpoProcAGain", gain, force ? "true" : "false");
  {
    std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
    if (force || gain != h.appliedGain) {
      h.appliedGain = gain;
      ZX_TRACE("%s: real = %hu", "ExpoProcAGain", gain);
      h.PLHlperSetExpoAGain(gain);
    }
  }
  RaiseExposureChanged(h);
}

void ExpoProcBoth(uint32_t time, uint16_t gain, void* helper) {
  if (!helper) return;
  PLHlperBase& h = *static_cast<PLHlperBase*>(helper);
  ZX_TRACE("%s: %u, %hu, force = %s", "ExpoProcBoth", time, gain, "false");
  {
    std::lock_guard<platform::RecursiveLock> hold(h.sensorLock());
    uint32_t t;
    const bool withState = snappedTime(h, t);
    if (withState)
      ZX_TRACE("%s: %u, %hu, new = %u, force = %s", "ExpoProcBoth", time, gain, t, "false");
    if (withState && t != h.appliedTime) {
      h.appliedTime = t;
      ZX_TRACE("%s: time, real = %u", "ExpoProcBoth", t);
      h.PLHlperSetExpoTime(t);
    }
    if (gain != h.appliedGain) {
      h.appliedGain = gain;
      ZX_TRACE("%s: gain, real = %u", "ExpoProcBoth", unsigned(gain));
      h.PLHlperSetExpoAGain(gain);
    }
  }
  RaiseExposureChanged(h);
}

HRESULT PL_ProcessFrame8(PLHlperBase& h, const FrameConvertRequest& r) {
  return convertHeld(h, [&] {
    if (!h.ctx8) return E_UNEXPECTED;
    SensorRect roi{};
    if (!sensorRect(r.roi, roi)) return E_INVALIDARG;
    // The raw frame is the grabber's buffer; the driver works on it in place.
    auto* raw = const_cast<uint8_t*>(r.raw);
    const SensorRect* region = r.roi ? &roi : nullptr;
    const uint32_t binning = r.binning ? r.binning : 1;
    if (r.pixelFormat == kPixelYuv422 || r.pixelFormat == kPixelYuv422Alt)
      return packedFrame(*h.ctx8, r, region, binning);
    if (h.hasFlag(LUMORIX_FLAG_MONO))
      PL_ProcessMono8(h.ctx8.get(), raw, r.output, r.auxiliary, region, binning);
    else
      PL_ProcessRaw8(h.ctx8.get(), raw, r.output, r.auxiliary, region, binning, false);
    return S_OK;
  });
}

int32_t QuickRawToRgb(PLHlperBase& h, uint8_t* frame, uint32_t w, uint32_t ht, uint8_t format) {
  if (!h.hasFlag(LUMORIX_FLAG_RAW8_ALT) && !h.hasFlag(LUMORIX_FLAG_RAW12_ALT)) return 1;
  const size_t bytes = size_t(kFormatBytesPerPixel[format % kPixelFormatCount]) * w * ht;
  // One scratch for every caller: a second conversion waits rather than write into this one's.
  std::lock_guard<platform::Mutex> hold(h.quickLock);
  if (!frame || !h.quickBuffer || bytes > h.quickBufferBytes) return 1;
  if (format == kPixelRaw12Alt)
    kernels::QuickDemosaic16(reinterpret_cast<const uint16_t*>(frame),
                             reinterpret_cast<uint16_t*>(h.quickBuffer.data()), int32_t(w),
                             int32_t(ht));
  else
    kernels::QuickDemosaic8(frame, h.quickBuffer.data(), int32_t(w), int32_t(ht));
  std::memcpy(frame, h.quickBuffer.data(), bytes);
  return 0;
}

StillResult* PLFrameHooks::GrabStillFrame(StillResult* result, uint8_t* output, uint8_t* rawCopy,
                                          uint8_t bits, platform::Event* stop, uint32_t fw,
                                          uint32_t fh, uint32_t pw, uint32_t ph, uint32_t index) {
  return ::GrabStillFrame(helper_, result, output, rawCopy, bits, stop, fw, fh, pw, ph, index);
}

HRESULT PLFrameHooks::PL_ProcessFrame8(const FrameConvertRequest& r) {
  return ::PL_ProcessFrame8(helper_, r);
}

HRESULT PLFrameHooks::PL_ProcessRaw16(const FrameConvertRequest& r) {
  return convertHeld(helper_, [&] {
    if (!helper_.ctx16) return E_UNEXPECTED;
    SensorRect roi{};
    if (!sensorRect(r.roi, roi)) return E_INVALIDARG;
    ::PL_ProcessRaw16(helper_.ctx16.get(), reinterpret_cast<uint16_t*>(const_cast<uint8_t*>(r.raw)),
                      r.output, nullptr, r.roi ? &roi : nullptr, uint8_t(r.binning ? r.binning : 1),
                      0);
    return S_OK;
  });
}

HRESULT PLFrameHooks::PL_ProcessMono16(const FrameConvertRequest& r) {
  return convertHeld(helper_, [&] {
    if (!helper_.ctx16) return E_UNEXPECTED;
    SensorRect roi{};
    if (!sensorRect(r.roi, roi)) return E_INVALIDARG;
    ::PL_ProcessMono16(helper_.ctx16.get(),
                       reinterpret_cast<uint16_t*>(const_cast<uint8_t*>(r.raw)), r.output, nullptr,
                       r.roi ? &roi : nullptr, uint8_t(r.binning ? r.binning : 1));
    return S_OK;
  });
}

int32_t PLFrameHooks::QuickRawToRgb(uint8_t* frame, uint32_t w, uint32_t h, uint8_t format) {
  return ::QuickRawToRgb(helper_, frame, w, h, format);
}

namespace {

// A setter's hold: no rebuild copies the helper's hooks while it writes them and the state's.
struct HookWrite {
  explicit HookWrite(PLHlperBase& h) : state(h.stateLock()), setters(h.hookLock) {}
  StateHold state;
  std::lock_guard<platform::Mutex> setters;
};

}  // namespace

void PLFrameHooks::SetHistogramCallback(PL_HistogramCallback callback, void* context) {
  const HookWrite write(helper_);
  helper_.histogramCallback = callback;
  helper_.histogramCallbackCtx = context;
  auto install = [&](auto& c) {
    Lock hold(*c.mtxSettings);
    c.callbacks.histogramCallback = callback;
    c.callbacks.histogramCallbackContext = context;
  };
  WithState(helper_, install);
}

void PLFrameHooks::SetDemosaicCallback(PL_DemosaicHook callback, void* context) {
  const HookWrite write(helper_);
  helper_.demosaicCallback = callback;
  helper_.demosaicCallbackCtx = context;
  auto install = [&](auto& c) {
    Lock hold(*c.mtxSettings);
    c.callbacks.demosaicCallback = callback;
    c.callbacks.demosaicCallbackContext = context;
  };
  WithState(helper_, install);
}
