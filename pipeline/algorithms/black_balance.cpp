// One-push black balance: the mean of each channel in the ABB window becomes its black offset.
#include "pipeline/algorithms/black_balance.h"

#include <cmath>
#include <mutex>

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

constexpr size_t kAwbSums = 3, kAbbSums = 6;  // first of the processor's window sums
constexpr double kOffsetMax = 65535;

template <typename Sample>
BlackOffsets current(PLContextT<Sample>& c) {
  Lock hold(*c.mtxSettings);
  const uint16_t* o = c.settings.blackOffset;
  return {o[0], o[1], o[2]};
}

// Stores the offsets; the camera that applies black itself gets them too, outside the lock.
template <typename Sample>
BlackOffsets store(PLContextT<Sample>& c, const BlackOffsets& o) {
  PLHostCallbacks cb;
  {
    Lock hold(*c.mtxSettings);
    for (size_t i = 0; i < 3; ++i) c.settings.blackOffset[i] = o[i];
    cb = c.callbacks;
  }
  if (c.hwBlackLevel && cb.hwBlackOffsets) cb.hwBlackOffsets(o.data(), cb.hwContext);
  return o;
}

}  // namespace

BlackOffsets BlackOffsetsFromSums(const ChannelSums& s, const BlackOffsets& current) {
  BlackOffsets o = current;
  for (size_t i = 0; i < 3; ++i) {
    if (s.count[i] == 0) continue;
    const double mean = s.sum[i] / s.count[i];
    if (!std::isfinite(mean)) continue;
    o[i] = uint16_t(std::trunc(std::fmin(std::fmax(mean, 0.0), kOffsetMax)));
  }
  return o;
}

template <typename Sample>
BlackOffsets BlackBalanceResult(PLContextT<Sample>& c, const ChannelSums& s) {
  return store(c, BlackOffsetsFromSums(s, current(c)));
}
template BlackOffsets BlackBalanceResult(PLContext&, const ChannelSums&);
template BlackOffsets BlackBalanceResult(PLContext16&, const ChannelSums&);

template <typename Sample>
BlackOffsets BlackBalanceInit(PLContextT<Sample>& c, const Sample* raw, uint32_t bayer) {
  ImageRect win;
  uint32_t w = 0, h = 0;
  if (!raw || !StateWindow(c, &PLContextT<Sample>::abbRectPx, "BlackBalanceInit", win, w, h))
    return current(c);
  const ChannelSums s = c.hwBlackLevel
                            ? WindowSums("BlackBalanceInit", raw, uint64_t(w) * h * sizeof(Sample),
                                         kAbbSums, WindowArea(win))
                            : MeasureRaw(raw, w, h, win, bayer, c.colourSites, c.byteOrder != 0);
  return BlackBalanceResult(c, s);
}
template BlackOffsets BlackBalanceInit(PLContext&, const uint8_t*, uint32_t);
template BlackOffsets BlackBalanceInit(PLContext16&, const uint16_t*, uint32_t);

BlackOffsets BlackBalanceInitBmp(PLContext& c, const void* source) {
  ImageRect win;
  uint32_t w = 0, h = 0;
  if (!StateWindow(c, &PLContext::abbRectPx, "BlackBalanceInitBmp", win, w, h)) return current(c);
  ChannelSums s;
  s.count.fill(uint32_t(std::min<uint64_t>(WindowArea(win), UINT32_MAX)));
  if (c.hwBlackLevel && source)
    s = WindowSums("BlackBalanceInitBmp", source, uint64_t(w) * h * 2, kAbbSums, WindowArea(win));
  return BlackBalanceResult(c, s);
}

template <typename Sample>
BlackOffsets BlackBalanceInitMono(PLContextT<Sample>& c, const Sample* raw) {
  ImageRect win;
  uint32_t w = 0, h = 0;
  if (!raw || !StateWindow(c, &PLContextT<Sample>::abbRectPx, "BlackBalanceInitMono", win, w, h))
    return current(c);
  ChannelSums s = c.hwBlackLevel
                      ? WindowSums("BlackBalanceInitMono", raw, uint64_t(w) * h * sizeof(Sample),
                                   kAwbSums, WindowArea(win))
                      : MeasureMono(raw, w, h, win);
  s.sum.fill(s.sum[0]);
  s.count.fill(s.count[0]);
  return BlackBalanceResult(c, s);
}
template BlackOffsets BlackBalanceInitMono(PLContext&, const uint8_t*);
template BlackOffsets BlackBalanceInitMono(PLContext16&, const uint16_t*);
