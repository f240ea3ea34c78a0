// Registration and lookup over the model catalogue's parallel arrays.
#include "core/model_catalogue.h"

#include <algorithm>
#include <array>

#include "base/lumorix_flags.h"
#include "base/trace.h"

ModelCatalogue::ModelCatalogue(std::span<ModelEntry> entries, std::span<ModelInfo> infos,
                               std::span<ModelInfoV1> infosV1)
    : entries_(entries.first(std::min({entries.size(), infos.size(), infosV1.size()}))),
      infos_(infos),
      infosV1_(infosV1) {}

uint64_t FixUpModelFlags(uint64_t flags, bool usb3Port) {
  // Only a USB3 model on its USB3 id keeps the fast line timing of bit 6.
  if (!usb3Port && (flags & LUMORIX_FLAG_USB3))
    flags = (flags & ~LUMORIX_FLAG_USB3) | LUMORIX_FLAG_USB2_MODE;
  if (flags & LUMORIX_FLAG_DDR) flags |= LUMORIX_FLAG_NOLATENCY;
  if (flags & LUMORIX_FLAG_CG3) flags |= LUMORIX_FLAG_CG;
  if (flags & (LUMORIX_FLAG_CCD_KIND1 | LUMORIX_FLAG_CCD_KIND2)) flags |= LUMORIX_FLAG_CCD;
  return flags;
}

namespace {

ModelInfo makeInfo(const ModelRegistration& row) {
  ModelInfo info{};
  info.displayName = row.displayName;
  info.flags = FixUpModelFlags(row.flags, row.usb3Port);
  info.maxSpeed = row.maxSpeed;
  info.previewCount = row.previewCount;
  info.stillCount = row.stillCount;
  info.fanMaxSpeed = row.fanMaxSpeed;
  info.ioCount = row.ioCount;
  info.pixelWidth = row.pixelSize;
  info.pixelHeight = row.pixelSize;
  std::copy(std::begin(row.resolutions), std::end(row.resolutions), info.resolutions);
  return info;
}

ModelInfoV1 makeInfoV1(const ModelInfo& info) {
  ModelInfoV1 v1{};
  v1.displayName = info.displayName;
  v1.flags = static_cast<uint32_t>(info.flags);
  v1.maxSpeed = info.maxSpeed;
  v1.previewCount = info.previewCount;
  v1.stillCount = info.stillCount;
  std::copy(std::begin(info.resolutions), std::end(info.resolutions), v1.resolutions);
  return v1;
}

}  // namespace

bool RegisterModel(ModelCatalogue& catalogue, const ModelRegistration& row) {
  auto entries = catalogue.entries();
  auto free = std::find_if(entries.begin(), entries.end(),
                           [](const ModelEntry& e) { return e.info == nullptr; });
  if (free == entries.end()) {
    ZX_TRACE_ERROR("%s: no free slot of %u", "RegisterModel",
                   static_cast<unsigned>(catalogue.capacity()));
    return false;
  }
  const size_t slot = static_cast<size_t>(free - entries.begin());
  ModelInfo& info = catalogue.info(slot);
  ModelInfoV1& infoV1 = catalogue.infoV1(slot);
  info = makeInfo(row);
  infoV1 = makeInfoV1(info);
  std::copy(std::begin(row.productIds), std::end(row.productIds), free->productIds);
  free->factory = row.factory;
  free->info = &info;
  free->infoV1 = &infoV1;
  return true;
}

const ModelEntry* FindModel(const ModelCatalogue& catalogue, uint16_t productId) {
  if (productId == 0) return nullptr;
  for (const ModelEntry& entry : catalogue.entries()) {
    if (entry.info == nullptr) continue;
    if (std::find(std::begin(entry.productIds), std::end(entry.productIds), productId) !=
        std::end(entry.productIds))
      return &entry;
  }
  return nullptr;
}

const ModelEntry* FindEntryByInfo(const ModelCatalogue& catalogue, const ModelInfo* info) {
  if (info == nullptr) return nullptr;
  for (const ModelEntry& entry : catalogue.entries())
    if (entry.info == info) return &entry;
  return nullptr;
}

ModelCatalogue& ProcessModelCatalogue() {
  // Function-local statics: usable from any static initialiser, whatever the link order.
  static std::array<ModelEntry, kModelCatalogueSlots> entries{};
  static std::array<ModelInfo, kModelCatalogueSlots> infos{};
  static std::array<ModelInfoV1, kModelCatalogueSlots> infosV1{};
  static ModelCatalogue catalogue(entries, infos, infosV1);
  return catalogue;
}
