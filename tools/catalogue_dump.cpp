// Prints every used slot of the model catalogue, one line per registration; or, with
// --sim-cameras N, the simulated-camera list of sim prefix N (each registration one camera with
// its first product id, at most as many as the module lists), and with --sim-prefixes their count.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/camera_device_record.h"
#include "models/catalogue_table.h"
#include "platform/utf16.h"

namespace {

size_t RegistrationCount(const ModelCatalogue& table) {
  size_t count = 0;
  for (const ModelEntry& entry : table.entries()) {
    if (entry.info == nullptr) break;  // slots fill from 0 with no gaps
    ++count;
  }
  return count;
}

// "0-c310:scene=chart;0-d310:scene=chart;...": the prefix's cameras as the driver shim reads them,
// each the first instance of its product id (the kernel driver numbers instances per id).
void PrintSimCameras(const ModelCatalogue& table, size_t prefix) {
  const size_t first = prefix * kMaxCameraRecords;
  const size_t end = RegistrationCount(table);
  std::string list;
  char camera[32];
  for (size_t slot = first; slot < end && slot < first + kMaxCameraRecords; ++slot) {
    std::snprintf(camera, sizeof camera, "%s0-%04x:scene=chart", list.empty() ? "" : ";",
                  table.entries()[slot].productIds[0]);
    list += camera;
  }
  std::printf("%s\n", list.c_str());
}

void PrintSlots(const ModelCatalogue& table) {
  const size_t end = RegistrationCount(table);
  for (size_t slot = 0; slot < end; ++slot) {
    const ModelEntry& entry = table.entries()[slot];
    const ModelInfo& info = *entry.info;
    std::printf(
        "%3zu %-22s ids %04X %04X %04X flags 0x%010llX v1 0x%08X speed %u preview %u "
        "still %u fan %u io %u pixel %.3f",
        slot, platform::WideToUtf8(info.displayName).c_str(), entry.productIds[0],
        entry.productIds[1], entry.productIds[2], static_cast<unsigned long long>(info.flags),
        entry.infoV1->flags, info.maxSpeed, info.previewCount, info.stillCount, info.fanMaxSpeed,
        info.ioCount, static_cast<double>(info.pixelWidth));
    for (uint32_t i = 0; i < info.previewCount; ++i)
      std::printf(" %ux%u", info.resolutions[i].width, info.resolutions[i].height);
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const ModelCatalogue& table = ModelTable();
  if (argc == 3 && std::strcmp(argv[1], "--sim-cameras") == 0) {
    char* end = nullptr;
    const unsigned long prefix = std::strtoul(argv[2], &end, 10);
    if (end == argv[2] || *end != '\0' || prefix > 64) {
      std::fprintf(stderr, "usage: catalogue_dump [--sim-cameras N | --sim-prefixes]\n");
      return 2;
    }
    PrintSimCameras(table, prefix);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--sim-prefixes") == 0) {
    const size_t count = RegistrationCount(table);
    std::printf("%zu\n", (count + kMaxCameraRecords - 1) / kMaxCameraRecords);
    return 0;
  }
  if (argc != 1) {
    std::fprintf(stderr, "usage: catalogue_dump [--sim-cameras N | --sim-prefixes]\n");
    return 2;
  }
  PrintSlots(table);
  return 0;
}
