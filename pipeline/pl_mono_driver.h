// The grey frame drivers: one raw grey frame to the finished image, step by step.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

// As the raw colour drivers (same arguments, same observer), for cameras without a colour
// mosaic: no Bayer phase, no white balance, the grey spread instead of the demosaic and the
// grey tone table instead of the colour adjustment. They never use the stripe workers.
void PL_ProcessMono8(PLContext* ctx, uint8_t* raw, uint8_t* out, void* extra, const SensorRect* roi,
                     uint32_t binning);
// out holds 8-bit samples, or 16-bit ones with outputFormat 1 or 4; out16, when given, receives
// the 16-bit samples in the same geometry.
void PL_ProcessMono16(PLContext16* ctx, uint16_t* raw, void* out, uint16_t* out16,
                      const SensorRect* roi, uint8_t binning);
