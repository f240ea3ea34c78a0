// Orientation steps: the state's quarter-turn scratch, a frame's mirror and turn, and the final
// transforms of the high-bit drivers' outputs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/geometry.h"
#include "pipeline/pl_context.h"

namespace stages {

using kernels::RotateScratch;

// Grows the state's scratch to at least `bytes` (on first use also to a maxWidth x maxHeight
// frame of the state in both orientations). Empty when the memory is not there. The caller holds
// mtxScratch from here to the end of its turn: a preview frame and a still share the buffer.
RotateScratch EnsureRotateBuffer(PLContext* ctx, size_t bytes);
RotateScratch EnsureRotateBuffer(PLContext16* ctx, size_t bytes);
// Sized for one turn of a w x h frame of the named sample width.
RotateScratch EnsureRotateBuffer8(PLContext* ctx, int32_t w, int32_t h, uint8_t p);
RotateScratch EnsureRotateBuffer16(PLContext16* ctx, int32_t w, int32_t h, uint8_t p);

// Mirror by the flip word, then the first of rotation bits 3, 4, 5 of processFlags, the quarter
// turns through the scratch of `owner` under its mtxScratch. False when a quarter turn was
// refused (the frame is then mirrored but not turned). Frames of either sample width on either
// state.
template <typename Sample, typename OwnerSample>
bool OrientFrame(PLContextT<OwnerSample>* owner, uint32_t flip, uint32_t processFlags,
                 Sample* frame, size_t frameBytes, int32_t w, int32_t h, uint8_t p);

// Final mirror and rotation of the high-bit drivers: formats 1 and 4 turn the first output as
// 16-bit; otherwise the first is 8-bit and the second 16-bit (either may be absent). False when
// a turn was refused.
bool OutputTransforms16(PLContext16* ctx, void* first, size_t firstBytes, uint16_t* second,
                        size_t secondBytes, int32_t w, int32_t h);

}  // namespace stages
