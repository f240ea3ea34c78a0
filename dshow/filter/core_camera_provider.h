// The module's camera provider: enumeration and opening through the camera core.
#pragma once

#include "dshow/filter/camera_provider.h"

CameraProvider& CoreCameraProvider();
