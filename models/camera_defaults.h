// Enumeration and opening over the process catalogue and the process device directory: the
// composition root's defaults for the module and its host.
#pragma once

#include <cstdint>

#include "core/camera_device_record.h"
#include "platform/types.h"

class BaseImpl;
class GuidePort;

uint32_t EnumerateCameras(CameraDeviceRecord* out) noexcept;
uint32_t EnumerateCamerasV1(CameraDeviceRecord* out) noexcept;
BaseImpl* OpenCameraById(const WCHAR16* id) noexcept;
BaseImpl* OpenFirstCamera(WCHAR16 prefix) noexcept;
// The guide port the module's exports drive, over the same catalogue and directory and the
// system's guide adapter.
GuidePort& ProcessGuidePort();
