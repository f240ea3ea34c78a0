// Tone, white-balance, hue/saturation and level tables built from the settings.
#include "pipeline/pl_tables.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <span>
#include <vector>

#include "base/trace.h"
#include "pipeline/algorithms/colour_temp.h"
#include "pipeline/pl_vignette.h"
#include "pipeline/pl_windows.h"
#include "pipeline/algorithms/tone_curve.h"
#include "pipeline/stages/tone_choice.h"

namespace {

// Entries above tmax repeat the top one, so a stray sample above the depth saturates.
template <typename T>
void padTail(std::vector<T>& table, uint32_t tmax) {
  std::fill(table.begin() + tmax + 1, table.end(), table[tmax]);
}

template <typename Sample>
std::vector<Sample> identityTable(uint32_t tmax) {
  std::vector<Sample> t(PLContextT<Sample>::kTableEntries);
  for (uint32_t v = 0; v <= tmax; ++v) t[v] = static_cast<Sample>(v);
  padTail(t, tmax);
  return t;
}

int32_t saturateI32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// The table the processor is handed: the tone-mapping table the software step would choose for
// `bits` (when the model maps tones at all) applied over the contrast/brightness/gamma curve. The
// computed choice is that curve itself, built here: the published table may carry a base.
template <typename Entry, typename Sample>
std::vector<Entry> processorToneTable(const PLContextT<Sample>& ctx, uint8_t bits, size_t entries) {
  const PLSettings& s = ctx.settings;
  std::vector<Entry> plain(entries);
  CalcToneCurveLut<Entry>(plain, bits, s.contrast, s.brightness, s.gamma);
  const kernels::ToneLut<Entry> base =
      ctx.hasToneMapping
          ? stages::ChooseToneLut(s.processFlags, bits, {},
                                  {plain.data(), static_cast<uint32_t>(plain.size())})
          : kernels::ToneLut<Entry>{};
  if (!base) return plain;
  std::vector<Entry> out(entries);
  CalcToneCurveLut<Entry>(out, bits, s.contrast, s.brightness, s.gamma, {base.table, base.count});
  return out;
}

}  // namespace

template <typename Sample>
void PL_UpdateToneCurve(PLContextT<Sample>* ctx) {
  if (!ctx) return;
  const PLSettings& s = ctx->settings;
  const uint32_t tmax = ctx->tableMax();
  const bool isp = ctx->hasIsp && !ctx->hwToneBypass;
  auto set = std::make_shared<ToneTableSet<Sample>>();
  if constexpr (sizeof(Sample) == 1) {
    if (isp && ctx->sensorBitDepth > 8) {
      // The processor works at the sensor's depth: hand it a deep table, keep ours unused.
      const auto deep =
          processorToneTable<uint16_t>(*ctx, ctx->sensorBitDepth, size_t{1} << ctx->sensorBitDepth);
      if (ctx->callbacks.hwToneLut)
        ctx->callbacks.hwToneLut(deep.data(), ctx->sensorBitDepth, ctx->callbacks.hwContext);
      set->lut = identityTable<Sample>(tmax);  // the software step passes samples through
      PublishTables(*ctx, &PLTableSets<Sample>::tone,
                    std::shared_ptr<const ToneTableSet<Sample>>(set));
      return;
    }
  }
  if (isp) {
    set->lut = processorToneTable<Sample>(*ctx, ctx->bitDepth, PLContextT<Sample>::kTableEntries);
  } else {
    set->lut.resize(PLContextT<Sample>::kTableEntries);
    CalcToneCurveLut<Sample>(set->lut, ctx->bitDepth, s.contrast, s.brightness, s.gamma);
  }
  padTail(set->lut, tmax);
  if (isp && ctx->callbacks.hwToneLut)
    ctx->callbacks.hwToneLut(set->lut.data(), ctx->bitDepth, ctx->callbacks.hwContext);
  PublishTables(*ctx, &PLTableSets<Sample>::tone, std::shared_ptr<const ToneTableSet<Sample>>(set));
}

template <typename Sample>
void PL_UpdateWbLut(PLContextT<Sample>* ctx) {
  if (!ctx) return;
  const uint32_t tmax = ctx->tableMax();
  uint64_t p[3];
  for (int c = 0; c < 3; ++c) p[c] = uint64_t{ctx->wbGainBase[c]} * ctx->wbGain[c];
  const uint64_t m = std::min({p[0], p[1], p[2]});
  auto set = std::make_shared<WbTableSet<Sample>>();
  const bool neutral = p[0] == p[1] && p[1] == p[2];
  for (int c = 0; c < 3; ++c) {
    if (neutral || m == 0) {
      set->lut[c] = identityTable<Sample>(tmax);
      continue;
    }
    set->lut[c].resize(PLContextT<Sample>::kTableEntries);
    for (uint32_t v = 0; v <= tmax; ++v)
      set->lut[c][v] = static_cast<Sample>(std::min<uint64_t>(tmax, v * p[c] / m));
    padTail(set->lut[c], tmax);
  }
  set->active = !neutral;
  {
    std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
    PublishTables(*ctx, &PLTableSets<Sample>::wb, std::shared_ptr<const WbTableSet<Sample>>(set));
    ctx->wbLutActive = set->active;
  }
  if (!ctx->hasIsp || !ctx->callbacks.hwWbGains) return;
  int32_t gains[3] = {256, 256, 256};
  if (!neutral && m > 0) {
    const uint64_t g[3] = {256 * p[0] / m, 256 * p[1] / m, 256 * p[2] / m};
    if (g[0] <= 65535 && g[1] <= 65535 && g[2] <= 65535)
      for (int c = 0; c < 3; ++c) gains[c] = static_cast<int32_t>(g[c]);
  }
  const auto smallest = static_cast<uint32_t>(std::min<uint64_t>(m, 0xFFFFFFFFu));
  ctx->callbacks.hwWbGains(gains, ctx->callbacks.hwContext, ctx, neutral ? 0 : smallest);
}

template <typename Sample>
void PL_UpdateHueSat(PLContextT<Sample>* ctx) {
  if (!ctx) return;
  const double h = ctx->settings.hue * std::numbers::pi / 180.0;
  const double s = ctx->settings.saturation * 0.0078125;
  const double kc = s * std::cos(h), ks = s * std::sin(h);
  auto set = std::make_shared<ColourTableSet>();
  set->hueSatMatrix = {0.299 + 0.701 * kc + 0.16774 * ks,  0.587 - 0.587 * kc + 0.329309 * ks,
                       0.114 - 0.114 * kc - 0.497049 * ks, 0.299 - 0.299 * kc - 0.328113 * ks,
                       0.587 + 0.413 * kc + 0.035467 * ks, 0.114 - 0.114 * kc + 0.292646 * ks,
                       0.299 - 0.299 * kc + 1.249547 * ks, 0.587 - 0.587 * kc - 1.046339 * ks,
                       0.114 + 0.886 * kc - 0.203207 * ks};
  const auto& hs = set->hueSatMatrix;
  const auto& cm = ctx->colourMatrix;
  const uint32_t tmax = ctx->tableMax();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const double sum = hs[3 * i] * cm[j] + hs[3 * i + 1] * cm[3 + j] + hs[3 * i + 2] * cm[6 + j];
      const int32_t coef = saturateI32(16384.0 * sum);
      set->coef[3 * i + j] = coef;
      auto& table = set->coefTables[3 * i + j];
      table.resize(PLContextT<Sample>::kTableEntries);
      for (uint32_t v = 0; v <= tmax; ++v)
        table[v] =
            static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} * coef, INT32_MIN, INT32_MAX));
      padTail(table, tmax);
    }
  PublishTables(*ctx, &PLTableSets<Sample>::colour, std::shared_ptr<const ColourTableSet>(set));
  if (ctx->hasIsp && ctx->callbacks.hwColourMatrix) {
    double m[9];
    for (int k = 0; k < 9; ++k) m[k] = set->coef[k] / 16384.0;
    ctx->callbacks.hwColourMatrix(m, ctx->callbacks.hwContext);
  }
}

template <typename Sample>
void PL_UpdateLevelLut(PLContextT<Sample>* ctx) {
  if (!ctx) return;
  static constexpr int kOrderBgr[4] = {3, 2, 1, 0};
  static constexpr int kOrderRgb[4] = {3, 0, 1, 2};
  const int* order = ctx->byteOrder ? kOrderBgr : kOrderRgb;
  const uint32_t tmax = ctx->tableMax();
  const uint32_t shift = ctx->bitDepth - 8u;
  auto set = std::make_shared<LevelTableSet<Sample>>();
  for (int t = 0; t < 4; ++t) {
    uint32_t lo = ctx->settings.levelLow[order[t]], hi = ctx->settings.levelHigh[order[t]];
    if (lo >= hi) lo = 0, hi = 255;  // an empty range would divide by zero
    auto& table = set->lut[t];
    table.resize(PLContextT<Sample>::kTableEntries);
    for (uint32_t v = 0; v <= tmax; ++v) {
      const uint32_t base = lo << shift;
      const uint32_t u = v > base ? v - base : 0;
      table[v] = static_cast<Sample>(TruncToEntry(u * 255.0 / (hi - lo), tmax));
    }
    padTail(table, tmax);
  }
  PublishTables(*ctx, &PLTableSets<Sample>::level,
                std::shared_ptr<const LevelTableSet<Sample>>(set));
}

template <typename Sample>
void PL_ApplySettings(PLContextT<Sample>* ctx, bool fromSettings) {
  if (!ctx) return;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
  PLSettings& s = ctx->settings;
  ctx->aeRectPx = FractionToRect(*ctx, s.aeRect);
  ctx->awbRectPx = FractionToRect(*ctx, s.awbRect);
  ctx->abbRectPx = FractionToRect(*ctx, s.abbRect);
  if (!ctx->wbTempTint) {
    if (fromSettings) ctx->wbGain = {RgbGainRed(s), RgbGainGreen(s), RgbGainBlue(s)};
    for (auto& g : ctx->wbGain) g = std::clamp<uint32_t>(g, 1, 255);
  } else {
    ctx->wbGain = TempTintToGain(s.wbTemp, s.wbTint);
  }
  PL_UpdateLevelLut(ctx);
  PL_UpdateWbLut(ctx);
  PL_UpdateHueSat(ctx);
  PL_UpdateToneCurve(ctx);
  if (s.vignetteEnable) PL_BuildVignetteTable(ctx);  // builds the tables when none exist yet
}

template <typename Sample>
int32_t PL_SetHSB(PLContextT<Sample>* ctx, const int32_t hsb[3]) {
  if (!ctx || !hsb) return 0;
  ZX_TRACE("%s: %d, %d, %d", "PL_SetHSB", hsb[0], hsb[1], hsb[2]);
  if (!ctx->isColour) return 1;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
  PLSettings& s = ctx->settings;
  const int32_t oldBrightness = s.brightness;
  s.hue = std::clamp(hsb[0], -180, 180);
  s.saturation = std::clamp(hsb[1], 0, 255);
  s.brightness = std::clamp(hsb[2], -64, 64);
  PL_UpdateHueSat(ctx);
  if (s.brightness != oldBrightness) PL_UpdateToneCurve(ctx);
  return 1;
}

template <typename Sample>
void PL_ApplyLevelRange(PLContextT<Sample>* ctx, const uint8_t low[4], const uint8_t high[4]) {
  if (!ctx || !low || !high) return;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
  for (int n = 0; n < 4; ++n) {
    const bool proper = low[n] < high[n];
    ctx->settings.levelLow[n] = proper ? low[n] : 0;
    ctx->settings.levelHigh[n] = proper ? high[n] : 255;
  }
  PL_UpdateLevelLut(ctx);
}

#define ZX_PL_TABLES_INSTANTIATE(S)                              \
  template void PL_UpdateToneCurve<S>(PLContextT<S>*);           \
  template void PL_UpdateWbLut<S>(PLContextT<S>*);               \
  template void PL_UpdateHueSat<S>(PLContextT<S>*);              \
  template void PL_UpdateLevelLut<S>(PLContextT<S>*);            \
  template void PL_ApplySettings<S>(PLContextT<S>*, bool);       \
  template int32_t PL_SetHSB<S>(PLContextT<S>*, const int32_t*); \
  template void PL_ApplyLevelRange<S>(PLContextT<S>*, const uint8_t*, const uint8_t*);
ZX_PL_TABLES_INSTANTIATE(uint8_t)
ZX_PL_TABLES_INSTANTIATE(uint16_t)
