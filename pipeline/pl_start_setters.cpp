// The setters pipeline start calls: base gains, colour matrix, AE switch, CG, black level,
// fan, cooler and the ISP windows.
#include <cmath>
#include <mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "pipeline/device_settings.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_tables.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

bool highBitFormat(uint8_t f) {
  return (f >= 1 && f <= 4) || f == 10;
}

template <typename Sample>
void storeBaseGains(PLContextT<Sample>& c, const std::array<uint32_t, 3>& g) {
  {
    Lock hold(*c.mtxSettings);
    c.wbGainBase = g;
  }
  PL_UpdateWbLut(&c);
}

template <typename Sample>
void storeMatrix(PLContextT<Sample>& c, const std::array<double, 9>& m) {
  {
    Lock hold(*c.mtxSettings);
    c.colourMatrix = m;
    c.colourMatrixOn = 1;
  }
  PL_UpdateHueSat(&c);
}

template <typename Sample>
void enableAe(PLHlperBase& h, PLContextT<Sample>& c, uint32_t on) {
  Lock hold(*c.mtxSettings);
  if (on) c.aeCallCount = 2;
  c.settings.aeEnable = on;
  c.callbacks.aeApply = &ExpoProcBoth;
  c.callbacks.aeApplyContext = &h;
}

// A window in processed pixels back to frame pixels, then to the sensor's rows-from-top form.
template <typename Sample>
void pushWindow(PLHlperBase& h, const PLContextT<Sample>& c, const PixelRect& px,
                void (HelperModelHooks::*send)(uint16_t, uint16_t, uint16_t, uint16_t)) {
  const auto scale = [](int64_t v, uint32_t num, uint32_t den) { return den ? v * num / den : 0; };
  const int64_t l = scale(px.left, h.frameWidth, c.procWidth),
                r = scale(px.right, h.frameWidth, c.procWidth);
  const int64_t t = scale(px.top, h.frameHeight, c.procHeight),
                b = scale(px.bottom, h.frameHeight, c.procHeight);
  SensorRect s{};
  h.PLHlperGetSensorRoi(&s);
  if (!s.left && !s.top && !s.right && !s.bottom)
    s = {0, 0, int32_t(h.frameHeight ? h.frameWidth : 0), int32_t(h.frameHeight)};
  const int64_t top2 = int64_t(h.frameHeight) - s.bottom, bottom2 = int64_t(h.frameHeight) - s.top;
  if (l < s.left || r > s.right || t < top2 || b > bottom2) return;
  (h.*send)(uint16_t(l - s.left), uint16_t(bottom2 - b), uint16_t(r - l), uint16_t(b - t));
}

template <typename Sample>
void syncRects(PLHlperBase& h, PLContextT<Sample>& c) {
  PixelRect ae, awb, abb;
  {
    Lock hold(*c.mtxSettings);
    ae = c.aeRectPx, awb = c.awbRectPx, abb = c.abbRectPx;
  }
  Lock hold(h.sensorLock());
  pushWindow(h, c, awb, &HelperModelHooks::IspSetAWBRect);
  pushWindow(h, c, ae, &HelperModelHooks::IspSetAERect);
  if (h.bIspHasABB()) pushWindow(h, c, abb, &HelperModelHooks::IspSetABBRect);
}

}  // namespace

void PL_SetWbGainBase(PLHlperBase& h) {
  if (h.wbGainBase[0] < 1) return;
  const std::array<uint32_t, 3> g =
      h.hasWbGainBase ? h.wbGainBase : std::array<uint32_t, 3>{256, 256, 256};
  if (h.ctx8)
    storeBaseGains(*h.ctx8, g);
  else if (h.ctx16)
    storeBaseGains(*h.ctx16, g);
}

void PL_SetColorMatrix(PLHlperBase& h) {
  if (!(h.colourMatrix[0] > 0) || (!h.ctx8 && !h.ctx16)) return;
  std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
  if (h.hasColourMatrix) {
    m = h.colourMatrix;
    for (size_t row = 0; row < 3; ++row) {
      const double sum = m[3 * row] + m[3 * row + 1] + m[3 * row + 2];
      // A row not summing to one is scaled to one; a zero or non-finite sum cannot be.
      if (std::isfinite(sum) && sum != 0 && std::fabs(sum - 1.0) > 0.01)
        for (size_t i = 0; i < 3; ++i) m[3 * row + i] /= sum;
    }
  }
  if (h.ctx8)
    storeMatrix(*h.ctx8, m);
  else
    storeMatrix(*h.ctx16, m);
}

HRESULT PL_SetAutoExpoEnable(PLHlperBase& h, uint32_t on) {
  ZX_TRACE("%s: %d", "PL_SetAutoExpoEnable", int(on));
  bool lightFrequency;
  if (h.ctx8)
    enableAe(h, *h.ctx8, on), lightFrequency = h.ctx8->hasLightFrequency;
  else if (h.ctx16)
    enableAe(h, *h.ctx16, on), lightFrequency = h.ctx16->hasLightFrequency;
  else
    return E_UNEXPECTED;
  if (lightFrequency) ExpoProcTime(h, 0);
  return S_OK;
}

uint8_t PL_GetCG(const PLHlperBase& h) {
  const auto cg = [](const auto& c) -> uint8_t {
    return c.hasCG ? uint8_t(PLProcessFlags::cgValue(c.settings.processFlags)) : 0;
  };
  if (h.ctx8) return cg(*h.ctx8);
  if (h.ctx16) return cg(*h.ctx16);
  return 0;
}

HRESULT PL_SetBlackLevel(PLHlperBase& h, uint32_t value) {
  if (!h.hasFlag(LUMORIX_FLAG_BLACKLEVEL)) return E_NOTIMPL;
  if (value > BlackLevelMax(h.modelFlags)) return E_INVALIDARG;
  h.blackLevel = uint16_t(value);
  uint32_t sent = value;
  if (h.hasFlag(LUMORIX_FLAG_HIGHBIT_MASK) && !highBitFormat(h.pixelFormat)) {
    const uint32_t shift = h.hasFlag(LUMORIX_FLAG_RAW10) ? 2
                           : (h.hasFlag(LUMORIX_FLAG_RAW12) || h.hasFlag(LUMORIX_FLAG_RAW12_ALT))
                               ? 4
                           : h.hasFlag(LUMORIX_FLAG_RAW14) ? 6
                                                           : 8;
    sent >>= shift;
  }
  Lock hold(h.sensorLock());
  h.PLHlperSetBlackLevel(uint16_t(sent));
  return S_OK;
}

HRESULT PL_SetFan(PLHlperBase& h, uint16_t speed) {
  if (!h.hasFlag(LUMORIX_FLAG_FAN)) return E_NOTIMPL;
  if (speed > h.fanMaxSpeed) return E_INVALIDARG;
  Lock hold(h.sensorLock());
  h.fanSpeed = speed;
  if (speed == 0 && h.hasFlag(LUMORIX_FLAG_TEC) && h.hasFlag(LUMORIX_FLAG_TECTARGET)) {
    h.tecOn = 0;
    h.PLHlperSetTEC(0);
  }
  return h.PLHlperSetFan(speed);
}

HRESULT PL_SetTec(PLHlperBase& h, uint32_t on) {
  if (!h.hasFlag(LUMORIX_FLAG_TEC) || !h.hasFlag(LUMORIX_FLAG_TECTARGET)) return E_NOTIMPL;
  Lock hold(h.sensorLock());
  h.tecOn = on;
  if (on && h.fanSpeed == 0) PL_SetFan(h, h.fanMaxSpeed);
  return h.PLHlperSetTEC(on);
}

void SyncIspRects(PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_ISP)) return;
  if (h.ctx8)
    syncRects(h, *h.ctx8);
  else if (h.ctx16)
    syncRects(h, *h.ctx16);
}
