// Sizes of delivered images: output bits, and the shape after region, binning and
// rotation.
#pragma once

#include <cstdint>
#include <memory>

#include "base/geometry.h"
#include "core/stream/stream_pipeline.h"

// Bits per pixel of RGB output modes 0..4; 24 for anything else.
uint32_t OutputBits(uint32_t outputMode);

struct ImageShape {
  uint32_t width;
  uint32_t height;
};

// A region (or the frame) after software binning by factor (2..4: each side / factor made even)
// and a 90/270 degree turn.
ImageShape DeliveredShape(uint32_t width, uint32_t height, uint32_t binFactor, bool rotated90);
// Bytes of that image at bits per pixel.
uint64_t ImageBytes(uint32_t bits, ImageShape shape);
// Room for the image in either orientation.
uint64_t ImageBytesAnyTurn(uint32_t bits, uint32_t width, uint32_t height);
// Room for one still of that size: raw samples at rawBytesPerPixel (never under one byte, an
// 8-bit sample), else the RGB output at outputBits in either orientation.
uint64_t StillBytes(bool raw, uint32_t rawBytesPerPixel, uint32_t outputBits, uint32_t width,
                    uint32_t height);
// Room for one preview frame in a buffer kept from start to stop (the scratch buffer, the pull
// queue): a raw frame at the deeper of the current format and the deepest one the stream may
// switch to, else the RGB output in either orientation.
uint64_t StreamFrameBytes(bool raw, const StreamOutputShape& shape, uint32_t width,
                          uint32_t height);

// Zeroed, 1024-byte aligned frame buffers for the pull queues, the still pool and the scratch
// buffer; null when memory runs out.
uint8_t* AllocFrameBuffer(uint64_t bytes);
void FreeFrameBuffer(uint8_t* buffer);
struct FrameBufferFree {
  void operator()(uint8_t* buffer) const { FreeFrameBuffer(buffer); }
};
// A frame buffer held by one thread alone, freed when that thread leaves holding it.
using OwnedFrameBuffer = std::unique_ptr<uint8_t, FrameBufferFree>;
// For tests: the nth frame-buffer allocation from now on (1-based) fails; 0 turns it off.
void FailFrameAllocationAt(int nth);
