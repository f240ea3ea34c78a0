// Finding attached cameras: kernel-driver device links per product id and WinUSB interfaces.
#pragma once

#include <cstdint>
#include <vector>

#include "core/camera_device_record.h"
#include "core/model_catalogue.h"
#include "platform/device_directory.h"

// The device-interface class the camera's WinUSB driver registers.
inline constexpr GUID kCameraInterfaceClass = {
    0x05476310, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr uint32_t kKernelInstances = 8;
// Longer interface paths are not taken: their ids could not be kept whole anyway.
inline constexpr size_t kMaxInterfacePathChars = 512;

// Fills out (16 records, or null to count only) and returns the count, at most 16. Names shared
// by several cameras get " #1", " #2", ... in enumeration order.
uint32_t EnumerateCameras(CameraDeviceRecord* out, const ModelCatalogue& catalogue,
                          platform::DeviceDirectory& directory) noexcept;

// Appends one record per present WinUSB camera whose path parses and whose model is known.
void EnumerateUsbInterfaces(std::vector<CameraDeviceRecord>& records,
                            const ModelCatalogue& catalogue, platform::DeviceDirectory& directory);

// The same enumeration with each record's model pointer changed to the model's older record.
uint32_t EnumerateCamerasV1(CameraDeviceRecord* out, const ModelCatalogue& catalogue,
                            platform::DeviceDirectory& directory) noexcept;
