// Demosaic and mono steps: the host's hook when it set one, else the kernels in the state's layout.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

namespace stages {

inline constexpr uint32_t kMonoFourCC = 0x59595959;  // "YYYY"
// AHD runs on whole frames only, on the state's scratch under its scratch lock.
inline constexpr uint32_t kMethodAhd = 3;

// cb: the host callbacks as the frame took them under the settings lock; the hook they hold
// runs when set (called once, nothing else runs), else the method's kernel for the state's
// layout. Methods 1..3 have their slots; any other code is bilinear.
void Demosaic(PLContext* ctx, const PLHostCallbacks& cb, uint32_t b, const uint8_t* siteTable,
              uint32_t method, int32_t w, int32_t h, const uint8_t* raw, uint8_t* out);
void Demosaic16(PLContext16* ctx, const PLHostCallbacks& cb, uint32_t b, const uint8_t* siteTable,
                uint32_t method, int32_t w, int32_t h, const uint16_t* raw, uint16_t* out);

// The hook of cb (FourCC "YYYY") when set; else each raw sample fills its output pixel, rows
// placed by the state's row order: p 1 one sample, 4 three and a 0, otherwise three.
void ConvertMono(PLContext* ctx, const PLHostCallbacks& cb, int32_t w, int32_t h,
                 const uint8_t* raw, uint8_t* out);
void ConvertMono16(PLContext16* ctx, const PLHostCallbacks& cb, int32_t w, int32_t h,
                   const uint16_t* raw, uint16_t* out);

}  // namespace stages
