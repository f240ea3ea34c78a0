// Tone choice step: neither tone bit gives none, else the camera's table, the built-in or the
// curve.
#include "pipeline/stages/tone_choice.h"

namespace stages {
namespace {

template <typename Sample>
ToneLut<Sample> computedCurve(const PLTableSets<Sample>& tables) {
  if (!tables.tone || tables.tone->lut.empty()) return {};
  return {tables.tone->lut.data(), static_cast<uint32_t>(tables.tone->lut.size())};
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
                               uint8_t bits, ToneLut<uint8_t> camera) {
  return ChooseToneLut(ctx.settings.processFlags, bits, camera, computedCurve(tables));
}

ToneLut<uint16_t> SelectToneLut(const PLContext16& ctx, const PLTableSets<uint16_t>& tables,
                                uint8_t bits, ToneLut<uint16_t> camera) {
  return ChooseToneLut(ctx.settings.processFlags, bits, camera, computedCurve(tables));
}

}  // namespace stages
