// Tone choice step: neither tone bit gives none, else the camera's table, the built-in or the
// curve.
#include "pipeline/stages/tone_choice.h"

namespace stages {
namespace {

template <typename Sample>
ToneLut<Sample> tableOf(const std::shared_ptr<const ToneTableSet<Sample>>& set) {
  if (!set || set->lut.empty()) return {};
  return {set->lut.data(), static_cast<uint32_t>(set->lut.size())};
}

}  // namespace

ToneLut<uint8_t> SelectToneLut(const PLContext& ctx, const PLTableSets<uint8_t>& tables,
                               uint8_t bits) {
  const uint32_t flags = ctx.settings.processFlags;
  if (!(flags & PLProcessFlags::kToneMapMask) || bits != 8) return {};
  if (const auto camera = tableOf(tables.cameraTone)) return camera;
  if (flags & PLProcessFlags::kToneMap1) return kernels::BuiltInToneLut8();
  return tableOf(tables.tone);
}

ToneLut<uint16_t> SelectToneLut(const PLContext16& ctx, const PLTableSets<uint16_t>& tables,
                                uint8_t bits) {
  const uint32_t flags = ctx.settings.processFlags;
  if (!(flags & PLProcessFlags::kToneMapMask)) return {};
  if (const auto camera = tableOf(tables.cameraTone)) return camera;
  if (flags & PLProcessFlags::kToneMap1) return kernels::BuiltInToneLut16(bits);
  return tableOf(tables.tone);
}

}  // namespace stages
