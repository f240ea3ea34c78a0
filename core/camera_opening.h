// Opening a camera by device id; the id's first character chooses how its settings persist.
#pragma once

#include <cstdint>

#include "core/model_catalogue.h"
#include "platform/device_directory.h"
#include "platform/types.h"

class BaseImpl;

// Below HKEY_CURRENT_USER; a camera's key is this root, '\' and its registry name.
inline constexpr WCHAR16 kSettingsRoot[] = ZX_W("Software\\Harrowdenmarket\\dshow");

// What an id prefix hands to the model's factory.
struct OpenMode {
  bool persist;  // the settings root, or none
  uint8_t flagA;
  uint8_t flagB;
};
// '!', '&', '$', '@' and no prefix (0).
OpenMode OpenModeFor(WCHAR16 prefix);
bool IsOpenPrefix(WCHAR16 c);

// "[prefix]instance-pid" or "[prefix]\\?\usb#vid_....&pid_....#...": the new camera, or null
// when the id does not parse, no model lists its product id, or the factory refuses.
BaseImpl* OpenCameraById(const WCHAR16* id, const ModelCatalogue& catalogue) noexcept;

// Opens the first enumerated camera, with the prefix in front of its id when prefix is not 0.
BaseImpl* OpenFirstCamera(WCHAR16 prefix, const ModelCatalogue& catalogue,
                          platform::DeviceDirectory& directory) noexcept;
