// Camera enumeration over a device directory and a model catalogue.
#include "core/camera_enumeration.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "usb/device_id.h"
#include "base/trace.h"
#include "platform/utf16.h"

namespace {

constexpr WStringView kInterfaceClassSuffix = ZX_W("#{05476310-0000-0000-0000-000000000000}");

constexpr size_t kKernelPrefixChars = 8;  // "lumorix-"

WString asWide(std::string_view ascii) {
  return WString(ascii.begin(), ascii.end());
}

WString nameOf(const ModelInfo* info) {
  return info && info->displayName ? WString(info->displayName) : WString();
}

// Only called with an id that fits.
CameraDeviceRecord makeRecord(const ModelInfo* info, WStringView id) {
  CameraDeviceRecord record{};
  platform::WideCopy(record.displayName, kCameraNameChars, nameOf(info));
  platform::WideCopy(record.id, kCameraIdChars, id);
  record.model.info = info;
  return record;
}

void probeKernelDevices(std::vector<CameraDeviceRecord>& records, const ModelCatalogue& catalogue,
                        platform::DeviceDirectory& directory) {
  for (const ModelEntry& entry : catalogue.entries()) {
    if (entry.info == nullptr) continue;
    for (uint16_t productId : entry.productIds) {
      if (productId == 0) continue;
      for (uint32_t instance = 0; instance < kKernelInstances; ++instance) {
        char name[32];
        const int length = std::snprintf(name, sizeof name, "lumorix-%u-%04x", instance,
                                         static_cast<unsigned>(productId));
        const WString wide = asWide(std::string_view(name, static_cast<size_t>(length)));
        if (directory.DosNameExists(wide))
          records.push_back(makeRecord(entry.info, WStringView(wide).substr(kKernelPrefixChars)));
      }
    }
  }
}

bool endsWithClassSuffix(WStringView path, size_t lastHash) {
  const WStringView tail = path.substr(lastHash);
  return tail.size() == kInterfaceClassSuffix.size() &&
         std::equal(tail.begin(), tail.end(), kInterfaceClassSuffix.begin(),
                    [](WCHAR16 a, WCHAR16 b) {
                      auto lower = [](WCHAR16 c) {
                        return c >= 'A' && c <= 'Z' ? static_cast<WCHAR16>(c - 'A' + 'a') : c;
                      };
                      return lower(a) == lower(b);
                    });
}

// Equal names become "name #1", "name #2", ... in enumeration order; the name is shortened when
// name and suffix would not fit, never the suffix.
void numberDuplicates(std::vector<CameraDeviceRecord>& records) {
  const size_t n = records.size();
  std::vector<uint32_t> total(n, 1), ordinal(n, 0);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < i; ++j)
      if (WStringView(records[i].displayName) == WStringView(records[j].displayName)) {
        ++total[i];
        ++total[j];
        ++ordinal[i];
      }
  for (size_t i = 0; i < n; ++i) {
    if (total[i] <= 1) continue;
    char suffix[16];
    const int length = std::snprintf(suffix, sizeof suffix, " #%u", ordinal[i] + 1);
    WString name(records[i].displayName);
    name.resize(std::min(name.size(), kCameraNameChars - 1 - static_cast<size_t>(length)));
    name.append(asWide(std::string_view(suffix, static_cast<size_t>(length))));
    platform::WideCopy(records[i].displayName, kCameraNameChars, name);
  }
}

}  // namespace

void EnumerateUsbInterfaces(std::vector<CameraDeviceRecord>& records,
                            const ModelCatalogue& catalogue, platform::DeviceDirectory& directory) {
  for (const WString& path : directory.InterfacePaths(kCameraInterfaceClass)) {
    if (path.size() > kMaxInterfacePathChars) continue;
    const auto ids = usb::ParseInterfacePath(path);
    // A path that opening would refuse is not listed either.
    if (!ids || ids->vendorId == 0 || ids->productId == 0) continue;
    const ModelEntry* entry = FindModel(catalogue, ids->productId);
    if (entry == nullptr) continue;
    const size_t lastHash = path.rfind(ZX_W('#'));
    if (lastHash == WString::npos || !endsWithClassSuffix(path, lastHash)) continue;
    // An id cut to fit would open nothing, or another device.
    if (lastHash >= kCameraIdChars) continue;
    records.push_back(makeRecord(entry->info, WStringView(path).substr(0, lastHash)));
  }
}

uint32_t EnumerateCameras(CameraDeviceRecord* out, const ModelCatalogue& catalogue,
                          platform::DeviceDirectory& directory) noexcept {
  try {
    std::vector<CameraDeviceRecord> records;
    probeKernelDevices(records, catalogue, directory);
    const platform::OsVersionInfo os = directory.OsVersion();
    if (os.major > 6 || (os.major == 6 && os.minor >= 1))
      EnumerateUsbInterfaces(records, catalogue, directory);
    numberDuplicates(records);
    // Callers hold 16 records and index them by the count.
    const uint32_t count =
        static_cast<uint32_t>(std::min<size_t>(records.size(), kMaxCameraRecords));
    if (out != nullptr) std::copy_n(records.begin(), count, out);
    return count;
  } catch (...) {
    ZX_TRACE_ERROR("%s: out of memory", "EnumerateCameras");
    return 0;
  }
}

uint32_t EnumerateCamerasV1(CameraDeviceRecord* out, const ModelCatalogue& catalogue,
                            platform::DeviceDirectory& directory) noexcept {
  CameraDeviceRecord records[kMaxCameraRecords];
  const uint32_t count = EnumerateCameras(records, catalogue, directory);
  if (out == nullptr) return count;
  for (uint32_t i = 0; i < count; ++i) {
    out[i] = records[i];
    const ModelEntry* entry = FindEntryByInfo(catalogue, records[i].model.info);
    out[i].model.infoV1 = entry ? entry->infoV1 : nullptr;
  }
  return count;
}
