// Still step: one 8-bit still through the raw steps, demosaic, colour steps, fit and orientation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pipeline/pl_context.h"

namespace stages {

// One still through the 8-bit steps into `out` (outBytes long, rows of the state's pixels, room
// for the turned frame when a quarter turn is set). 1 on success; 0, output untouched, for no
// state, 48 bits (8-bit state), a size below 1, a short output or no memory.
int32_t PL_ProcessStill8(PLContext* ctx, uint8_t* raw, uint8_t* out, size_t outBytes,
                         uint32_t outBits, int32_t outW, int32_t outH, int32_t rawW, int32_t rawH);

}  // namespace stages
