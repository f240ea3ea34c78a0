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

ToneLut<uint8_t> ChooseToneLut(uint32_t flags, uint8_t bits, ToneLut<uint8_t> camera,
                               ToneLut<uint8_t> computed) {
  if (!(flags & PLProcessFlags::kToneMapMask) || bits != 8) return {};
  if (camera) return camera;
  if (flags & PLProcessFlags::kToneMap1) return kernels::BuiltInToneLut8();
  return computed;
}

ToneLut<uint16_t> ChooseToneLut(uint32_t flags, uint8_t bits, ToneLut<uint16_t> camera,
                                ToneLut<uint16_t> computed) {
  if (!(flags & PLProcessFlags::kToneMapMask)) return {};
  if (camera) return camera;
  if (flags & PLProcessFlags::kToneMap1) return kernels::BuiltInToneLut16(bits);
  return computed;
}

ToneLut<uint8_t> SelectToneLut(const PLContext& ctx, const PLTableSets<uint8_t>& tables,
                               uint8_t bits) {
  return ChooseToneLut(ctx.settings.processFlags, bits, tableOf(tables.cameraTone),
                       tableOf(tables.tone));
}

ToneLut<uint16_t> SelectToneLut(const PLContext16& ctx, const PLTableSets<uint16_t>& tables,
                                uint8_t bits) {
  return ChooseToneLut(ctx.settings.processFlags, bits, tableOf(tables.cameraTone),
                       tableOf(tables.tone));
}

}  // namespace stages
