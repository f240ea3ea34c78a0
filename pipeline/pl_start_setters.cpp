// The setters pipeline start calls: base gains, colour matrix, AE switch, CG, black level and
// the ISP windows.
#include <cmath>
#include <mutex>
#include <type_traits>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "pipeline/algorithms/auto_exposure.h"
#include "pipeline/store/device_settings.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_tables.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

// Tables are rebuilt under the lock their inputs are written under, so the last writer's stays.
template <typename Sample>
void storeBaseGains(PLContextT<Sample>& c, const std::array<uint32_t, 3>& g) {
  Lock hold(*c.mtxSettings);
  c.wbGainBase = g;
  PL_UpdateWbLut(&c);
}

// How far an element may be from the identity's and its row still count as the identity's.
constexpr double kIdentityTolerance = 1.0 / (1 << 23);

std::array<uint8_t, 3> identityRows(const std::array<double, 9>& m) {
  std::array<uint8_t, 3> rows{};
  for (size_t row = 0; row < 3; ++row) {
    bool same = true;
    for (size_t col = 0; col < 3; ++col)
      same = same && std::fabs(m[3 * row + col] - (row == col ? 1.0 : 0.0)) <= kIdentityTolerance;
    rows[row] = same;
  }
  return rows;
}

template <typename Sample>
void storeMatrix(PLContextT<Sample>& c, const std::array<double, 9>& m) {
  const std::array<uint8_t, 3> identity = identityRows(m);
  Lock hold(*c.mtxSettings);
  c.colourMatrix = m;
  c.colourRowIsIdentity = identity;
  c.colourMatrixOn = 1;
  PL_UpdateHueSat(&c);
}

template <typename Sample>
void enableAe(PLHlperBase& h, PLContextT<Sample>& c, uint32_t on) {
  Lock hold(*c.mtxSettings);
  if (on) c.aeCallCount = kAeCallCountStepNext;
  c.settings.aeEnable = on;
  c.callbacks.aeApply = &ExpoProcBoth;
  c.callbacks.aeApplyContext = &h;
}

// A window in processed pixels back to frame pixels, then to the sensor's rows-from-top form.
template <typename Sample>
void pushWindow(PLHlperBase& h, const PLContextT<Sample>& c, const ImageRect& px,
                void (HelperModelHooks::*send)(uint16_t, uint16_t, uint16_t, uint16_t)) {
  const auto scale = [](int64_t v, uint32_t num, uint32_t den) { return den ? v * num / den : 0; };
  const int64_t l = scale(px.left, h.frameWidth, c.procWidth),
                r = scale(px.right, h.frameWidth, c.procWidth);
  const int64_t t = scale(px.top, h.frameHeight, c.procHeight),
                b = scale(px.bottom, h.frameHeight, c.procHeight);
  SensorRect s{};
  h.PLHlperGetSensorRoi(&s);
  if (!s.left && !s.top && !s.right && !s.bottom)
    s = {0, 0, h.frameHeight ? h.frameWidth : 0, h.frameHeight};
  const int64_t top2 = int64_t(h.frameHeight) - s.bottom, bottom2 = int64_t(h.frameHeight) - s.top;
  if (l < s.left || r > s.right || t < top2 || b > bottom2) return;
  (h.*send)(uint16_t(l - s.left), uint16_t(bottom2 - b), uint16_t(r - l), uint16_t(b - t));
}

template <typename Sample>
void syncRect(PLHlperBase& h, PLContextT<Sample>& c, ImageRect PLContextT<Sample>::*window,
              void (HelperModelHooks::*send)(uint16_t, uint16_t, uint16_t, uint16_t)) {
  ImageRect px;
  {
    Lock hold(*c.mtxSettings);
    px = c.*window;
  }
  Lock hold(h.sensorLock());
  pushWindow(h, c, px, send);
}

template <typename Sample>
void syncRects(PLHlperBase& h, PLContextT<Sample>& c) {
  ImageRect ae, awb, abb;
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

// The helper's gains and matrix, and their switches, are written under the sensor lock.
void PL_SetWbGainBase(PLHlperBase& h) {
  std::shared_lock<PLStateLock> state(h.stateLock());
  Lock helperValues(h.sensorLock());
  if (h.wbGainBase[0] < 1) return;
  const std::array<uint32_t, 3> g =
      h.hasWbGainBase ? h.wbGainBase : std::array<uint32_t, 3>{256, 256, 256};
  WithState(h, [&](auto& c) { storeBaseGains(c, g); });
}

void PL_SetColorMatrix(PLHlperBase& h) {
  std::shared_lock<PLStateLock> state(h.stateLock());
  Lock helperValues(h.sensorLock());
  if (!(h.colourMatrix[0] > 0)) return;
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
  WithState(h, [&](auto& c) { storeMatrix(c, m); });
}

HRESULT PL_SetAutoExpoEnable(PLHlperBase& h, uint32_t on) {
  ZX_TRACE("%s: %d", "PL_SetAutoExpoEnable", int(on));
  bool lightFrequency = false;
  if (!WithState(h, [&](auto& c) { enableAe(h, c, on), lightFrequency = c.hasLightFrequency; }))
    return E_UNEXPECTED;
  if (lightFrequency) ExpoProcTime(h, 0);
  return S_OK;
}

uint8_t PL_GetCG(const PLHlperBase& h) {
  uint8_t cg = 0;
  WithState(h, [&](const auto& c) {
    cg = c.hasCG ? uint8_t(PLProcessFlags::cgValue(c.settings.processFlags)) : 0;
  });
  return cg;
}

HRESULT PL_SetBlackLevel(PLHlperBase& h, uint32_t value) {
  if (!h.hasFlag(LUMORIX_FLAG_BLACKLEVEL)) return E_NOTIMPL;
  if (value > BlackLevelMax(h.modelFlags)) return E_INVALIDARG;
  h.blackLevel = uint16_t(value);
  uint32_t sent = value;
  if (h.hasFlag(LUMORIX_FLAG_HIGHBIT_MASK) && !IsHighBitFormat(h.pixelFormat)) {
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

void SyncIspRects(PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_ISP)) return;
  WithState(h, [&](auto& c) { syncRects(h, c); });
}

void SyncIspAERect(PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_ISP)) return;
  WithState(h, [&](auto& c) {
    syncRect(h, c, &std::remove_reference_t<decltype(c)>::aeRectPx,
             &HelperModelHooks::IspSetAERect);
  });
}

void SyncIspAWBRect(PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_ISP)) return;
  WithState(h, [&](auto& c) {
    syncRect(h, c, &std::remove_reference_t<decltype(c)>::awbRectPx,
             &HelperModelHooks::IspSetAWBRect);
  });
}

void SyncIspABBRect(PLHlperBase& h) {
  if (!h.hasFlag(LUMORIX_FLAG_ISP) || !h.bIspHasABB()) return;
  WithState(h, [&](auto& c) {
    syncRect(h, c, &std::remove_reference_t<decltype(c)>::abbRectPx,
             &HelperModelHooks::IspSetABBRect);
  });
}
