// Frame records handed between the camera object and applications, and the callback shapes.
#pragma once

#include <cstdint>

#include "base/geometry.h"

// Handed to applications with every frame.
struct LumorixFrameInfo {
  uint32_t width;  // of the delivered image, after region, binning and rotation
  uint32_t height;
  uint32_t flag;  // bit 0: the sequence number is valid
  uint32_t sequence;
  uint64_t timestamp;
};
static_assert(sizeof(LumorixFrameInfo) == 24);

// One element of the pull queues.
struct LumorixFrameEntry {
  uint8_t* data;
  LumorixFrameInfo info;
  uint8_t pixelFormat;
  uint8_t releaseToPool;  // 1: the buffer belongs to the still buffer pool
};

// The 40-byte bitmap information header of a delivered frame.
struct LumorixFrameHeader {
  uint32_t size;  // 40
  int32_t width;
  int32_t height;
  uint16_t planes;  // 1
  uint16_t bitCount;
  uint32_t compression;  // the raw FourCC when raw frames are delivered, else 0
  uint32_t imageSize;
  uint32_t reserved[4];
};
static_assert(sizeof(LumorixFrameHeader) == 40);

using LumorixDataCallback = void (*)(const uint8_t* data, const LumorixFrameHeader* header,
                                     int32_t snap, void* context);
using LumorixDataCallbackV2 = void (*)(const uint8_t* data, const LumorixFrameInfo* info,
                                       int32_t snap, void* context);
using LumorixStillBufferCallback = void (*)(const uint8_t* data, const LumorixFrameHeader* header,
                                            int32_t snap, const uint8_t* second, uint32_t pitch,
                                            const LumorixFrameInfo* info, uint8_t format,
                                            uint32_t fourcc, uint32_t reserved, void* context);
using LumorixStillRequestCallback = void (*)(uint32_t kind, uint8_t** buffer, uint32_t* pitch,
                                             uint8_t** second, void* context);
using LumorixRawDataCallback = void (*)(const uint8_t* data, const SensorRect* roi, uint8_t format,
                                        void* context);
using LumorixEventCallback = void (*)(uint32_t code, void* context);
