// One enumerated camera: display name, device id and its model record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/model_catalogue.h"
#include "platform/types.h"

inline constexpr size_t kCameraNameChars = 64;  // with the terminator
inline constexpr size_t kCameraIdChars = 64;    // with the terminator
inline constexpr uint32_t kMaxCameraRecords = 16;

struct CameraDeviceRecord {
  WCHAR16 displayName[kCameraNameChars];
  WCHAR16 id[kCameraIdChars];
  // The internal enumeration gives the record, the exported one its older form.
  union {
    const ModelInfo* info;
    const ModelInfoV1* infoV1;
  } model;
};
static_assert(sizeof(CameraDeviceRecord) == 264);
