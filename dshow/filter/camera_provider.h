// How filters find and open cameras: the camera core in the module, a camera double in tests.
#pragma once

#include <cstdint>
#include <memory>

#include "core/camera_device_record.h"
#include "dshow/filter/filter_camera.h"

class CameraProvider {
 public:
  virtual ~CameraProvider() = default;
  // Fills records in the older record form; the count, 0 to 16.
  virtual uint32_t enumerate(CameraDeviceRecord (&records)[kMaxCameraRecords]) = 0;
  // The id carries its persistence prefix ("!" + device id); null when it cannot be opened.
  virtual std::unique_ptr<FilterCamera> open(const WCHAR16* id) = 0;
  // The first camera found, its id preceded by prefix.
  virtual std::unique_ptr<FilterCamera> openFirst(WCHAR16 prefix) = 0;
};

// The provider in use; one that finds no camera until the module or a test sets its own.
CameraProvider& ActiveCameraProvider();
// null restores the one that finds no camera. Set while no filter is being created.
void SetCameraProvider(CameraProvider* provider);
