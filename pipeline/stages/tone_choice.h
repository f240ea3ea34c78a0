// Tone choice step: which tone table a frame of the state goes through.
#pragma once

#include <cstdint>

#include "kernels/colour_steps.h"
#include "pipeline/pl_context.h"

namespace stages {

using kernels::ToneLut;

// The choice for tables of `bits` depth: neither tone bit of the process flags gives none; else
// the camera's table when given, else with bit 7 the built-in table of the depth, else
// `computed`. 8-bit entries answer depth 8 only.
ToneLut<uint8_t> ChooseToneLut(uint32_t processFlags, uint8_t bits, ToneLut<uint8_t> camera,
                               ToneLut<uint8_t> computed);
ToneLut<uint16_t> ChooseToneLut(uint32_t processFlags, uint8_t bits, ToneLut<uint16_t> camera,
                                ToneLut<uint16_t> computed);

// The choice for a frame of the state: the camera's table and the computed curve come from the
// snapshot, which must outlive the result.
ToneLut<uint8_t> SelectToneLut(const PLContext& ctx, const PLTableSets<uint8_t>& tables,
                               uint8_t bits);
ToneLut<uint16_t> SelectToneLut(const PLContext16& ctx, const PLTableSets<uint16_t>& tables,
                                uint8_t bits);

}  // namespace stages
