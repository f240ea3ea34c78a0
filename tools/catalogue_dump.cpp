// Prints every used slot of the model catalogue, one line per registration.
#include <cstdio>

#include "models/catalogue_table.h"
#include "platform/utf16.h"

int main() {
  const ModelCatalogue& table = ModelTable();
  unsigned slot = 0;
  for (const ModelEntry& entry : table.entries()) {
    if (entry.info == nullptr) break;  // slots fill from 0 with no gaps
    const ModelInfo& info = *entry.info;
    std::printf(
        "%3u %-22s ids %04X %04X %04X flags 0x%010llX v1 0x%08X speed %u preview %u "
        "still %u fan %u io %u pixel %.3f",
        slot++, platform::WideToUtf8(info.displayName).c_str(), entry.productIds[0],
        entry.productIds[1], entry.productIds[2], static_cast<unsigned long long>(info.flags),
        entry.infoV1->flags, info.maxSpeed, info.previewCount, info.stillCount, info.fanMaxSpeed,
        info.ioCount, static_cast<double>(info.pixelWidth));
    for (uint32_t i = 0; i < info.previewCount; ++i)
      std::printf(" %ux%u", info.resolutions[i].width, info.resolutions[i].height);
    std::printf("\n");
  }
  return 0;
}
