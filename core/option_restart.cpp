// Option handlers that restart the stream: format, trigger, byte order, binning, rotation, factory.
#include "core/option_restart.h"

#include <mutex>
#include <utility>

#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "base/trace.h"
#include "core/option_access.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_setters.h"
#include "pipeline/pl_start.h"
#include "pipeline/store/device_settings.h"
#include "usb/cusb.h"

namespace {

constexpr uint32_t kFactoryPreset = 0xFFFFFFFFu;
constexpr int32_t kTriggerVideo = 0, kTriggerSoft = 1, kTriggerExt = 2, kTriggerExtSingle = 3;
constexpr int32_t kBinningAverage = 0x80;
constexpr int32_t kBinningMaxFactor = 4;

// The unchanged answer comes before the thread test: from a callback an unchanged value is 1.
template <class Apply>
HRESULT restartUnlessSame(BaseImpl& camera, bool same, Apply&& apply) {
  if (same) return S_FALSE;
  return camera.RestartStream(false, false, std::forward<Apply>(apply));
}

// The pixel-format switch inside a restart: the stop step has run, "started" still holds.
HRESULT switchFormat(BaseImpl& camera, PLHlperBase& helper, bool same, uint8_t format) {
  return restartUnlessSame(camera, same,
                           [&] { SetPixelFormat(helper, format, 0, camera.started() ? 1 : 0); });
}

// The target of the bit-depth switch: the first high-bit format the model offers, or its 8-bit
// one; kPixelFormatCount when the model offers none of that kind.
uint8_t bitDepthTarget(uint64_t flags, bool high) {
  if (!high) {
    if (flags & LUMORIX_FLAG_RAW8) return kPixelRaw8;
    return (flags & LUMORIX_FLAG_RAW8_ALT) ? kPixelRaw8Alt : kPixelFormatCount;
  }
  if (flags & LUMORIX_FLAG_RAW10) return kPixelRaw10;
  if (flags & LUMORIX_FLAG_RAW12) return kPixelRaw12;
  if (flags & LUMORIX_FLAG_RAW14) return kPixelRaw14;
  if (flags & LUMORIX_FLAG_RAW16) return kPixelRaw16;
  return (flags & LUMORIX_FLAG_RAW12_ALT) ? kPixelRaw12Alt : kPixelFormatCount;
}

// The rotation bits of the live state as degrees; false without a state.
bool currentAngle(const PLHlperBase* helper, int32_t* degrees) {
  namespace F = PLProcessFlags;
  uint32_t flags = 0;
  if (!helper || !WithState(*helper, [&](const auto& c) {
        std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
        flags = c.settings.processFlags;
      }))
    return false;
  *degrees = (flags & F::kRotate90)    ? 90
             : (flags & F::kRotate180) ? 180
             : (flags & F::kRotate270) ? 270
                                       : 0;
  return true;
}

HRESULT triggerAllowed(uint64_t flags, int32_t mode) {
  const bool soft = flags & LUMORIX_FLAG_TRIGGER_SOFT, ext = flags & LUMORIX_FLAG_TRIGGER_EXT;
  if (!soft && !ext) return mode == kTriggerExt ? E_NOTIMPL : S_OK;
  if (mode == kTriggerSoft && !soft) return E_NOTIMPL;
  if (mode == kTriggerExt && !ext) return E_NOTIMPL;
  return S_OK;
}

// Inside the restart: new mode, statistics and exposure; the model hears of it before its start.
void applyTrigger(BaseImpl& camera, CUsb& usb, uint8_t mode, bool single) {
  camera.frameRate().reset();
  usb.triggerMode = mode;
  usb.singleFrame = single ? 1 : 0;
  PLHlperBase* helper = OptionAccess::helper(camera);
  uint32_t us = 0;
  if (camera.hasRegistryKey() && helper) {
    const bool trigger = helper->PLHlperIsTrigger();
    if (SUCCEEDED(LoadModeTime(*helper, trigger, &us))) PL_SetExpoTime(*helper, us);
  }
  camera.DdrRealtime();
  if (camera.started()) usb.OnTriggerMode();
}

}  // namespace

HRESULT putBitDepthOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("OPTION_BITDEPTH: %d", value);
  const uint64_t flags = camera.modelFlags();
  if ((flags & LUMORIX_FLAG_HIGHBIT_MASK) == 0) return E_NOTIMPL;
  const uint8_t format = bitDepthTarget(flags, value != 0);
  if (format == kPixelFormatCount) return E_INVALIDARG;
  PLHlperBase* helper = OptionAccess::helper(camera);
  if (!helper) return E_UNEXPECTED;
  const bool same = IsHighBitFormat(helper->pixelFormat) == (value != 0);
  return switchFormat(camera, *helper, same, format);
}

HRESULT getBitDepthOption(BaseImpl& camera, int32_t* value) {
  if ((camera.modelFlags() & LUMORIX_FLAG_HIGHBIT_MASK) == 0) return E_NOTIMPL;
  const PLHlperBase* helper = OptionAccess::helper(camera);
  if (!helper) return E_UNEXPECTED;
  *value = IsHighBitFormat(helper->pixelFormat) ? 1 : 0;
  return S_OK;
}

HRESULT putPixelFormatOption(BaseImpl& camera, int32_t value) {
  if (value < 0 || value >= int32_t{kPixelFormatCount}) return E_INVALIDARG;
  PLHlperBase* helper = OptionAccess::helper(camera);
  if (!helper || !helper->formatAvailable[value]) return E_NOTIMPL;
  const bool same = helper->pixelFormat == value || helper->formatCount == 1;
  return switchFormat(camera, *helper, same, static_cast<uint8_t>(value));
}

HRESULT getPixelFormatOption(BaseImpl& camera, int32_t* value) {
  const PLHlperBase* helper = OptionAccess::helper(camera);
  if (!helper) return E_NOTIMPL;
  *value = helper->pixelFormat;
  return S_OK;
}

HRESULT putTriggerOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("OPTION_TRIGGER: %d", value);
  if (value < kTriggerVideo || value > kTriggerExtSingle) return E_INVALIDARG;
  const auto mode = static_cast<uint8_t>(value == kTriggerExtSingle ? kTriggerExt : value);
  const bool single = value == kTriggerExtSingle;
  const HRESULT allowed = triggerAllowed(camera.modelFlags(), mode);
  if (FAILED(allowed)) return allowed;
  CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_NOTIMPL;
  const bool same = usb->triggerMode == mode && (mode != kTriggerExt || usb->singleFrame == single);
  return restartUnlessSame(camera, same, [&] { applyTrigger(camera, *usb, mode, single); });
}

HRESULT getTriggerOption(BaseImpl& camera, int32_t* value) {
  const CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_NOTIMPL;
  *value =
      usb->triggerMode == kTriggerExt && usb->singleFrame ? kTriggerExtSingle : usb->triggerMode;
  return S_OK;
}

HRESULT putBinningOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("OPTION_BINNING: 0x%08x", static_cast<unsigned>(value));
  const int32_t factor = value & ~kBinningAverage;
  if ((value & ~(kBinningAverage | 0x7F)) != 0 || factor < 1 || factor > kBinningMaxFactor)
    return E_INVALIDARG;
  const auto code = static_cast<uint8_t>(factor == 1 ? 1 : value);  // averaging one is summing one
  CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_NOTIMPL;
  return restartUnlessSame(camera, usb->binning == code, [&] {
    usb->binning = code;
    if (PLHlperBase* helper = OptionAccess::helper(camera)) {
      PL_SetFfcStatus(*helper, kCalibrationDiscard);
      PL_SetDfcStatus(*helper, kCalibrationDiscard);
    }
  });
}

HRESULT getBinningOption(BaseImpl& camera, int32_t* value) {
  const CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_NOTIMPL;
  *value = usb->binning;
  return S_OK;
}

// An angle that keeps the output's width and height needs no new buffers: it applies at once.
HRESULT putRotateOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("OPTION_ROTATE: %d", value);
  if (value != 0 && value != 90 && value != 180 && value != 270) return E_INVALIDARG;
  PLHlperBase* helper = OptionAccess::helper(camera);
  int32_t current = 0;
  if (!currentAngle(helper, &current)) return E_UNEXPECTED;
  if (current == value) return S_FALSE;
  const bool turned = value == 90 || value == 270;
  HRESULT set = S_OK;
  const HRESULT restarted =
      camera.RestartStreamIf([&] { return turned != PL_IsRotated90(*helper); },
                             [&] { set = PL_SetRotate(*helper, static_cast<uint32_t>(value)); });
  return FAILED(restarted) ? restarted : set;
}

HRESULT getRotateOption(BaseImpl& camera, int32_t* value) {
  return currentAngle(OptionAccess::helper(camera), value) ? S_OK : E_UNEXPECTED;
}

HRESULT putByteOrderOption(BaseImpl& camera, int32_t value) {
  if (camera.isMono()) return E_NOTIMPL;
  ZX_TRACE("OPTION_BYTEORDER: %d", value);
  PLHlperBase* helper = OptionAccess::helper(camera);
  if (!helper) return E_NOTIMPL;
  const uint8_t order = value ? 1 : 0;
  return restartUnlessSame(camera, helper->byteOrder == order,
                           [&] { PL_SetByteOrder(*helper, order); });
}

HRESULT getByteOrderOption(BaseImpl& camera, int32_t* value) {
  if (camera.isMono()) return E_NOTIMPL;
  const PLHlperBase* helper = OptionAccess::helper(camera);
  if (!helper) return E_NOTIMPL;
  *value = helper->byteOrder;
  return S_OK;
}

// The factory preset is the preset path's to apply: a model's own, else the camera's.
HRESULT putFactoryOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("OPTION_FACTORY");
  if (value != 0) return E_INVALIDARG;
  if (camera.onCameraThread()) return kWrongThread;
  return static_cast<ILumorixPreset&>(camera).LoadPreset(kFactoryPreset);
}

HRESULT getFactoryOption(BaseImpl&, int32_t*) {
  return E_NOTIMPL;
}
