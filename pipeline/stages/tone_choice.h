// Tone choice step: which tone table a frame of the state goes through.
#pragma once

#include <cstdint>

#include "kernels/colour_steps.h"
#include "pipeline/pl_context.h"

namespace stages {

using kernels::ToneLut;

// Neither tone bit: none. Else the camera's table when the state holds one, else with bit 7 the
// built-in table of the depth, else the state's computed curve. Tables come from the snapshot,
// which must outlive the result. The 8-bit state answers depth 8 only.
ToneLut<uint8_t> SelectToneLut(const PLContext& ctx, const PLTableSets<uint8_t>& tables,
                               uint8_t bits);
ToneLut<uint16_t> SelectToneLut(const PLContext16& ctx, const PLTableSets<uint16_t>& tables,
                                uint8_t bits);

}  // namespace stages
