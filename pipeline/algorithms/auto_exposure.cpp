// Auto exposure: the search over reference points that brackets the target brightness.
#include "pipeline/algorithms/auto_exposure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "base/trace.h"

namespace {

constexpr int32_t kOverExposed = 230;  // a brightness above this says nothing about the scene
// References further apart than this (bright over dark) are too coarse a bracket: restart.
constexpr double kWideBracket = 5.0;
// Brightness steps a scene may drift by before the search restarts; more under mains snapping.
constexpr int32_t kSceneTolerance = 2, kSceneToleranceSnapped = 4;
// One trial point scales by at most this factor (and at least its inverse).
constexpr double kMaxScale = 10.0;
// A brightness change smaller than this share of the distance to the target is a new scene.
constexpr double kStillShare = 0.1;
// A time this far (us) off the mains grid is snapped and the search restarted.
constexpr int64_t kOffGridUs = 10;
// Mains periods in us: 60 Hz lights flicker at 120 Hz (25000/3 us), 50 Hz ones at 100 Hz.
constexpr uint64_t kPeriod60HzTimes3 = 25000, kPeriod50Hz = 10000;

template <typename Sample>
bool snapping(const PLContextT<Sample>& c) {
  return c.hasLightFrequency && c.settings.lightFrequency <= 1;
}

// One step's working view; every member function runs under mtxSettings.
template <typename Sample>
struct AeStep {
  PLContextT<Sample>& c;
  PLSettings& s;
  int32_t t;
  uint8_t policy;
  uint32_t minT, maxT, period;
  int64_t gMin, gMax;
  int64_t time, gain;  // the trial point, written back by commit()

  explicit AeStep(PLContextT<Sample>& ctx)
      : c(ctx),
        s(ctx.settings),
        t(ctx.settings.aeTarget),
        policy(ctx.settings.aePolicy),
        minT(AeSnapExposureTime(&ctx, ctx.aeTimeMin)),
        maxT(AeSnapExposureTime(&ctx, ctx.aeTimeMax)),
        period(snapping(ctx) ? AeSnapExposureTime(&ctx, 1) : 1),
        gMin(ctx.aeGainMin),
        gMax(ctx.aeGainMax),
        time(ctx.settings.expoTime),
        gain(ctx.settings.expoGain) {}

  uint32_t snap(int64_t v) const {
    return AeSnapExposureTime(&c, uint32_t(std::clamp<int64_t>(v, 0, UINT32_MAX)));
  }
  void commit() {
    if (policy != kAeGainOnly) s.expoTime = uint32_t(std::clamp<int64_t>(time, 0, UINT32_MAX));
    if (policy != kAeTimeOnly) s.expoGain = uint16_t(std::clamp<int64_t>(gain, 0, UINT16_MAX));
  }
  void take(int k, int32_t bri) {
    c.aeRefBri[k] = bri;
    if (policy != kAeGainOnly) c.aeRefExpTime[k] = uint32_t(time);
    if (policy != kAeTimeOnly) c.aeRefGain[k] = int32_t(gain);
  }
  bool moved(int k, uint8_t p) const {
    const bool t0 = uint32_t(time) != c.aeRefExpTime[k], g0 = int32_t(gain) != c.aeRefGain[k];
    return p == kAeTimeOnly ? t0 : p == kAeGainOnly ? g0 : (t0 || g0);
  }
  void toMinimum() {
    if (policy != kAeGainOnly) time = minT;
    if (policy != kAeTimeOnly) gain = gMin;
    c.aeStatus = kAeNoReference;
  }

  // Gain traded for time (policy 1) or time for gain (policy 3), in 64 bits and clamped.
  bool trade() {
    if (policy == kAeTimeFirst && gain != gMin && time < maxT) {
      const int64_t t1 = gMin > 0 ? (gain * time + gMin / 2) / gMin : 0;
      time = std::clamp<int64_t>(snap(std::min<int64_t>(t1, UINT32_MAX)), minT, maxT);
      gain = gMin;
      return true;
    }
    if (policy == kAeGainFirst && time != minT && gain < gMax) {
      gain = std::clamp<int64_t>(minT > 0 ? gain * time / minT : gMax, gMin, gMax);
      time = minT;
      return true;
    }
    return false;
  }

  static int64_t interp(int64_t x0, int64_t x1, int64_t b0, int64_t b1, int64_t target) {
    if (b1 == b0) return x1;
    return x1 + (target - b1) * (x1 - x0) / (b1 - b0);
  }

  void nextState1() {
    const double ratio =
        std::clamp(double(t) / double(std::max(c.aeRefBri[0], 1)), 1 / kMaxScale, kMaxScale);
    const int64_t t0 = c.aeRefExpTime[0], g0 = c.aeRefGain[0];
    const auto scaled = [ratio](int64_t v) { return int64_t(double(v) * ratio); };
    if (policy == kAeTimeOnly) time = scaled(t0);
    if (policy == kAeGainOnly) gain = scaled(g0);
    if (policy == kAeTimeFirst) {
      if (ratio > 1 && t0 == maxT) {
        time = t0, gain = scaled(g0);
      } else if (ratio <= 1 && g0 != gMin) {
        time = snap(t0), gain = scaled(g0);
      } else {
        time = snap(scaled(t0));
        if (snapping(c) && time == t0) time = ratio > 1 ? t0 + period : t0 - period;
        gain = gMin;
      }
    }
    if (policy == kAeGainFirst) {
      if (ratio > 1)
        g0 != gMax ? (time = minT, gain = scaled(g0)) : (time = scaled(t0), gain = g0);
      else
        t0 != minT ? (time = scaled(t0), gain = g0) : (time = t0, gain = scaled(g0));
    }
    if (policy != kAeGainOnly) time = snap(time);
  }

  void nextState2() {
    const int64_t t0 = c.aeRefExpTime[0], t1 = c.aeRefExpTime[1], g0 = c.aeRefGain[0],
                  g1 = c.aeRefGain[1];
    const int64_t b0 = c.aeRefBri[0], b1 = c.aeRefBri[1];
    const bool over = b1 > kOverExposed;
    const int64_t ti = over ? t0 + (t1 - t0) / 4 : interp(t0, t1, b0, b1, t);
    const int64_t gi = over ? (g0 + g1) / 2 : interp(g0, g1, b0, b1, t);
    if (policy == kAeTimeOnly) time = ti;
    if (policy == kAeGainOnly) gain = gi;
    if (policy == kAeTimeFirst) {
      if (t0 != maxT) {
        time = snap(ti), gain = gMin;
        if (snapping(c)) {
          if (t1 - t0 <= period)
            time = t0;
          else if (time == t0)
            time = t0 + period;
          else if (time == t1)
            time = t1 - period;
        }
      } else {
        time = t0, gain = gi;
      }
    }
    if (policy == kAeGainFirst) g0 != gMax ? (gain = gi, time = minT) : (gain = g0, time = ti);
    if (policy != kAeGainOnly) time = snap(time);
  }

  void nextGainSearch() {
    time = c.aeRefExpTime[2];
    if (c.aeStatus == kAeGainReference) {
      gain = int64_t(std::min(double(t) / double(std::max(c.aeRefBri[2], 1)), kMaxScale) *
                     double(c.aeRefGain[2]));
    } else {
      const int64_t g2 = c.aeRefGain[2], g3 = c.aeRefGain[3];
      gain = c.aeRefBri[3] > kOverExposed ? (g2 + g3) / 2
                                          : interp(g2, g3, c.aeRefBri[2], c.aeRefBri[3], t);
    }
    time = snap(time);
  }

  // The trial point of the current state, from its references.
  void AeNextExposure() {
    if (c.aeStatus == kAeTimeReference)
      nextState1();
    else if (c.aeStatus == kAeTimeBracket)
      nextState2();
    else
      nextGainSearch();
  }

  // After a trial point: clamp, and without mains periods keep one of the two at its floor.
  void finishTrial() {
    time = std::clamp<int64_t>(time, minT, maxT);
    gain = std::clamp<int64_t>(gain, gMin, gMax);
    if (!snapping(c)) {
      if (policy == kAeTimeFirst && time < maxT) gain = gMin;
      if (policy == kAeGainFirst && gain < gMax) time = c.aeTimeMin;
    }
  }

  int8_t timeTest(int64_t dark, int64_t bright, int32_t lo, int32_t hi) const {
    if (bright > dark) return dark > 0 && double(bright) / double(dark) > kWideBracket;
    if (bright < c.aeTimeMax) return hi - lo > s.aeThreshold;
    return -1;
  }
  int8_t gainTest(int64_t dark, int64_t bright, int32_t lo, int32_t hi) const {
    if (bright > dark) return dark > 0 && double(bright) / double(dark) > kWideBracket;
    if (bright < c.aeGainMax) return hi - lo > s.aeThreshold;
    return -1;
  }

  bool AeSceneChanged(int32_t bri) const {
    const int32_t tol = snapping(c) ? kSceneToleranceSnapped : kSceneTolerance;
    const uint32_t st = c.aeStatus;
    if (st == kAeTimeReference || st == kAeGainReference) {
      const int32_t r = c.aeRefBri[st == kAeTimeReference ? 0 : 2];
      return r > t ? bri > r + tol : bri < r - tol;
    }
    if (st != kAeTimeBracket && st != kAeGainBracket) return false;
    const int k = st == kAeTimeBracket ? 0 : 2;
    const int32_t lo = c.aeRefBri[k], hi = c.aeRefBri[k + 1];
    if (t > hi + tol || t < lo - tol || bri < lo - tol || bri > hi + tol) return true;
    const int64_t t0 = c.aeRefExpTime[k], t1 = c.aeRefExpTime[k + 1];
    const int64_t g0 = c.aeRefGain[k], g1 = c.aeRefGain[k + 1];
    if (st == kAeTimeBracket) {
      const bool disorder = policy == kAeTimeOnly    ? t0 > t1
                            : policy == kAeGainOnly  ? g0 > g1
                            : policy == kAeTimeFirst ? (g0 > g1 || (g0 == g1 && t0 > t1))
                                                     : (t0 > t1 || (t0 == t1 && g0 > g1));
      if (disorder) return true;
    }
    const int32_t d = std::abs(bri - int32_t(c.aeLastBri));
    if (d > 0) return double(d) / double(std::abs(bri - t)) < kStillShare;
    if (bri > kOverExposed) return true;
    int8_t r = -1;
    if (st == kAeGainBracket) {
      r = gainTest(g0, g1, lo, hi);
    } else if (policy == kAeTimeOnly) {
      r = timeTest(t0, t1, lo, hi);
    } else if (policy == kAeGainOnly) {
      r = gainTest(g0, g1, lo, hi);
    } else if (policy == kAeTimeFirst) {
      r = timeTest(t0, t1, lo, hi);
      if (r < 0) r = gainTest(g0, g1, lo, hi);
    } else {
      r = gainTest(g0, g1, lo, hi);
      if (r < 0) r = timeTest(t0, t1, lo, hi);
    }
    return r == 1;
  }

  // True: the step is finished; false: a trial point was computed.
  bool AeRestart(int32_t bri, uint8_t p) {
    const uint8_t saved = policy;
    policy = p;
    bool done = true;
    if (bri > kOverExposed) {
      toMinimum();
    } else if (!trade()) {  // a trade ends the step and leaves the search state as it was
      take(0, bri);
      c.aeStatus = kAeTimeReference;
      AeNextExposure();
      done = false;
    }
    policy = saved;
    return done;
  }

  // The bracket rule of states 1 and 3 on references k (and k + 1).
  void bracket(int32_t bri, int k, uint8_t p, uint32_t nextStatus) {
    const int32_t r = c.aeRefBri[k];
    if (((bri < t && t < r) || (r < t && t <= bri)) && moved(k, p)) {
      if (bri < t) {
        c.aeRefBri[k + 1] = c.aeRefBri[k], c.aeRefExpTime[k + 1] = c.aeRefExpTime[k];
        c.aeRefGain[k + 1] = c.aeRefGain[k];
        take(k, bri);
      } else {
        take(k + 1, bri);
      }
      c.aeStatus = nextStatus;
      c.aeLastBri = uint32_t(bri);
    } else {
      take(k, bri);
    }
  }

  // Acts on aeStatus; true when the step ends without a trial point.
  bool search(int32_t bri) {
    switch (c.aeStatus) {
      case kAeNoReference:
        if ((policy == kAeTimeFirst || policy == kAeGainFirst) && trade()) return true;
        take(0, bri);
        c.aeStatus = kAeTimeReference;
        break;
      case kAeTimeReference:
        if (AeSceneChanged(bri)) {
          ZX_TRACE("%s, condition changed from 1: %d", "AutoExposure", bri);
          return AeRestart(bri, policy);
        }
        bracket(bri, 0, policy, kAeTimeBracket);
        break;
      case kAeTimeBracket:
        if (AeSceneChanged(bri)) {
          ZX_TRACE("%s, condition changed from 2: %d", "AutoExposure", bri);
          return AeRestart(bri, policy);
        }
        take(bri >= t ? 1 : 0, bri);
        c.aeLastBri = uint32_t(bri);
        if (snapping(c) && policy == kAeTimeFirst &&
            c.aeRefExpTime[1] - c.aeRefExpTime[0] == period &&
            uint32_t(time) == c.aeRefExpTime[0]) {
          c.aeStatus = kAeGainReference;
          c.aeRefBri[2] = bri, c.aeRefExpTime[2] = c.aeRefExpTime[0],
          c.aeRefGain[2] = int32_t(gMin);
        }
        break;
      default:
        if (policy != kAeTimeFirst) return true;
        if (AeSceneChanged(bri)) {
          ZX_TRACE("%s, condition changed from %u: %d", "AutoExposure", c.aeStatus, bri);
          return AeRestart(bri, kAeTimeFirst);
        }
        if (c.aeStatus == kAeGainReference)
          bracket(bri, 2, kAeTimeFirst, kAeGainBracket);
        else
          take(bri >= t ? 3 : 2, bri), c.aeLastBri = uint32_t(bri);
        break;
    }
    AeNextExposure();
    return false;
  }

  // Steps 2 to 4: over-exposure, mains grid and range; true when one of them ended the step.
  bool guards(int32_t bri) {
    if (bri > kOverExposed) {
      ZX_TRACE("%s, over exposure, nBri = %d, aeStatus = %d", "AutoExposure", bri, int(c.aeStatus));
      if (c.aeStatus == kAeNoReference ||
          (c.aeStatus == kAeTimeReference && c.aeRefBri[0] > kOverExposed)) {
        toMinimum();
        return true;
      }
    }
    if (snapping(c) && policy != kAeGainOnly &&
        std::llabs(int64_t(snap(time)) - time) >= kOffGridUs) {
      time = snap(time);
      c.aeStatus = kAeNoReference;
      return true;
    }
    if (policy != kAeGainOnly && (time < minT || time > maxT)) {
      time = std::clamp<int64_t>(time, minT, maxT);
      c.aeStatus = kAeNoReference;
      return true;
    }
    if (policy != kAeTimeOnly && (gain < gMin || gain > gMax)) {
      gain = std::clamp<int64_t>(gain, gMin, gMax);
      c.aeStatus = kAeNoReference;
      return true;
    }
    return false;
  }

  void traceReferences(int32_t bri) const {
    const int st = int(c.aeStatus);
    const auto& b = c.aeRefBri;
    const auto& e = c.aeRefExpTime;
    const auto& g = c.aeRefGain;
    ZX_TRACE(
        "%s, nBri = %d, aeStatus = %d, aeRefBri[0] = %d, aeRefBri[1] = %d, aeRefBri[2] = %d, "
        "aeRefBri[3] = %d",
        "AutoExposure", bri, st, b[0], b[1], b[2], b[3]);
    ZX_TRACE(
        "%s, nBri = %d, aeStatus = %d, aeRefExpTime[0] = %u, aeRefExpTime[1] = %u, "
        "aeRefExpTime[2] = %u, aeRefExpTime[3] = %u",
        "AutoExposure", bri, st, e[0], e[1], e[2], e[3]);
    ZX_TRACE(
        "%s, nBri = %d, aeStatus = %d, aeRefGain[0] = %d, aeRefGain[1] = %d, aeRefGain[2] = "
        "%d, aeRefGain[3] = %d",
        "AutoExposure", bri, st, g[0], g[1], g[2], g[3]);
  }

  void run(int32_t bri) {
    if (!guards(bri)) {
      bri = std::max(bri, 1);
      if (++c.aeCallCount % kAeFramesPerStep != 0) return;
      if (std::abs(bri - t) < s.aeThreshold) {
        c.aeStatus = kAeNoReference;
        ZX_TRACE("%s, stable now: %d, threshold = %d", "AutoExposure", bri, s.aeThreshold);
        return;
      }
      traceReferences(bri);
      if (search(bri)) {
        commit();
        return;
      }
      finishTrial();
    }
    commit();
  }
};

// The AE rectangle inside a region, moved to region coordinates; false when it is not inside.
bool intoRegion(ImageRect& w, const ImageRect& region) {
  if (w.left < region.left || w.right > region.right || w.top < region.top ||
      w.bottom > region.bottom) {
    ZX_TRACE("%s, bad roi, ae = [%d, %d, %d, %d], roi = [%d, %d, %d, %d]", "AutoExposure", w.left,
             w.top, w.right, w.bottom, region.left, region.top, region.right, region.bottom);
    return false;
  }
  w = {w.left - region.left, w.top - region.top, w.right - region.left, w.bottom - region.top};
  return true;
}

// The whole number of periods (num / den us each) nearest t, rounded half up, at least one; never
// longer than the model's longest time (limit), so no period count above it is kept. When not
// even one period fits, no snap can avoid flicker: t is kept, cut to the limit.
uint32_t snapToPeriods(uint64_t t, uint64_t num, uint64_t den, uint64_t limit) {
  uint64_t n = t * den / num;
  if (t * den % num >= num / 2) ++n;
  n = std::max<uint64_t>(n, 1);
  const uint64_t fit = ((limit + 1) * den - 1) / num;  // most periods with n x num / den <= limit
  n = std::min(n, fit);
  if (n == 0) return uint32_t(std::min(t, limit));
  return uint32_t(n * num / den);
}

}  // namespace

template <typename Sample>
uint32_t AeSnapExposureTime(const PLContextT<Sample>* ctx, uint32_t t) {
  if (!ctx || !ctx->hasLightFrequency) return t;
  const uint32_t mode = ctx->settings.lightFrequency;
  // Worked at 60 Hz: 20000 us is 2.4 periods of 8333.3 us, so two periods, 16666 us.
  if (mode == kLight60Hz) return snapToPeriods(t, kPeriod60HzTimes3, 3, ctx->timeMax);
  if (mode == kLight50Hz) return snapToPeriods(t, kPeriod50Hz, 1, ctx->timeMax);
  return t;
}

template <typename Sample>
int32_t AeMeasure(const PLContextT<Sample>& c, const void* frame, uint32_t w, uint32_t h,
                  const ImageRect& win) {
  const uint8_t f = c.pixelFormat;
  const auto* bytes = static_cast<const uint8_t*>(frame);
  const auto* words = static_cast<const uint16_t*>(frame);
  const bool sums = c.hasIsp != 0;  // a processor appends its window sums to every frame
  if (f < 5) {
    return c.bitDepth == 8 ? GetAverageIntensityByte(w, h, win, c.auxBitDepth, sums, bytes)
                           : GetAverageIntensityUshort(w, h, win, c.bitDepth, sums, words);
  }
  if (f == 6 || f == 11)
    return GetAverageIntensityYuv(c.frameWidth, c.frameHeight, win, bytes, c.yTable.data(), sums, f,
                                  c.auxBitDepth);
  if (f == 9) return GetAverageIntensityByteScaled(w, h, win, bytes);
  if (f == 10) return GetAverageIntensityUshort(w, h, win, 12, sums, words);  // two bytes a pixel
  return -1;
}

template <typename Sample>
void AutoExposure(PLContextT<Sample>* ctx, const void* frame, const ImageRect* region) {
  if (!ctx || !frame) return;
  PLContextT<Sample>& c = *ctx;
  ImageRect win;
  {
    std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
    win = {c.aeRectPx.left, c.aeRectPx.top, c.aeRectPx.right, c.aeRectPx.bottom};
  }
  uint32_t w = c.procWidth, h = c.procHeight;
  if (region) {
    if (!intoRegion(win, *region)) return;
    w = uint32_t(std::max(region->right - region->left, 0));
    h = uint32_t(std::max(region->bottom - region->top, 0));
  }
  const int32_t bri = AeMeasure(c, frame, w, h, win);
  if (bri < 0) return;
  std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
  AeStep<Sample>(c).run(bri);
}

template uint32_t AeSnapExposureTime<uint8_t>(const PLContext*, uint32_t);
template uint32_t AeSnapExposureTime<uint16_t>(const PLContext16*, uint32_t);
template void AutoExposure<uint8_t>(PLContext*, const void*, const ImageRect*);
template void AutoExposure<uint16_t>(PLContext16*, const void*, const ImageRect*);
template int32_t AeMeasure<uint8_t>(const PLContext&, const void*, uint32_t, uint32_t,
                                    const ImageRect&);
template int32_t AeMeasure<uint16_t>(const PLContext16&, const void*, uint32_t, uint32_t,
                                     const ImageRect&);
