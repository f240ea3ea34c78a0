// Opening by id: strip the prefix, read the product id, call the model's factory.
#include "core/camera_opening.h"

#include <optional>

#include "core/camera_device_record.h"
#include "core/camera_enumeration.h"
#include "usb/device_id.h"
#include "platform/utf16.h"

namespace {

struct PrefixRow {
  WCHAR16 prefix;
  OpenMode mode;
};
constexpr PrefixRow kPrefixes[] = {
    {ZX_W('!'), {true, 1, 1}},
    {ZX_W('&'), {true, 0, 1}},
    {ZX_W('$'), {true, 0, 0}},
    {ZX_W('@'), {false, 0, 1}},
};
constexpr OpenMode kNoPrefixMode{false, 1, 1};

std::optional<uint16_t> productIdOf(WStringView id) {
  if (!id.empty() && id[0] == ZX_W('\\')) {
    const auto ids = usb::ParseInterfacePath(id);
    if (!ids || ids->vendorId == 0 || ids->productId == 0) return std::nullopt;
    return ids->productId;
  }
  const auto kernel = usb::ParseKernelId(id);
  if (!kernel) return std::nullopt;
  return kernel->productId;
}

}  // namespace

bool IsOpenPrefix(WCHAR16 c) {
  for (const PrefixRow& row : kPrefixes)
    if (row.prefix == c) return true;
  return false;
}

OpenMode OpenModeFor(WCHAR16 prefix) {
  for (const PrefixRow& row : kPrefixes)
    if (row.prefix == prefix) return row.mode;
  return kNoPrefixMode;
}

BaseImpl* OpenCameraById(const WCHAR16* id, const ModelCatalogue& catalogue) noexcept {
  if (id == nullptr || id[0] == 0) return nullptr;
  const WCHAR16 prefix = IsOpenPrefix(id[0]) ? id[0] : 0;
  const OpenMode mode = OpenModeFor(prefix);
  const WCHAR16* bare = prefix ? id + 1 : id;
  const auto productId = productIdOf(WStringView(bare));
  if (!productId) return nullptr;
  const ModelEntry* entry = FindModel(catalogue, *productId);
  if (entry == nullptr || entry->factory == nullptr) return nullptr;
  return entry->factory(bare, mode.persist ? kSettingsRoot : nullptr, mode.flagA, mode.flagB,
                        entry->info);
}

BaseImpl* OpenFirstCamera(WCHAR16 prefix, const ModelCatalogue& catalogue,
                          platform::DeviceDirectory& directory) noexcept {
  CameraDeviceRecord records[kMaxCameraRecords];
  if (EnumerateCameras(records, catalogue, directory) == 0) return nullptr;
  WCHAR16 id[kCameraIdChars + 1] = {};
  size_t used = 0;
  if (prefix != 0) id[used++] = prefix;
  platform::WideCopy(id + used, kCameraIdChars, WStringView(records[0].id));
  return OpenCameraById(id, catalogue);
}
