// The constexpr descriptor of one model class: what its catalogue row does not already say.
#include "models/common/model_descriptor.h"

#include <algorithm>

#include "models/catalogue_table.h"

const ModelCatalogueRow* ModelSpec::row() const {
  for (const ModelCatalogueRow& r : CatalogueRows()) {
    if (r.model.factory == factory) return &r;
  }
  return nullptr;
}

uint32_t ModelSpec::clampExposure(uint32_t us) const {
  return std::clamp(us, exposureUs.min, exposureUs.max);
}

uint32_t ModelSpec::maxFrameRateOf(uint32_t index) const {
  if (maxFrameRate.empty()) return 1;
  return maxFrameRate[std::min<size_t>(index, maxFrameRate.size() - 1)];
}

uint32_t ModelSpec::aeMaxTime() const {
  return std::min(aeTimeUs.max, exposureUs.max);
}
uint32_t ModelSpec::aeMinTime() const {
  return std::max(aeTimeUs.min, exposureUs.min);
}
uint16_t ModelSpec::aeMaxGain() const {
  return static_cast<uint16_t>(std::min(aeGainPercent.max, gainPercent.max));
}
uint16_t ModelSpec::aeMinGain() const {
  return static_cast<uint16_t>(std::max(aeGainPercent.min, gainPercent.min));
}

bool ModelSpec::isAlternative(uint16_t productId) const {
  return alternativeIdBase != 0 && ((productId - alternativeIdBase) & 0xEFFF) == 0;
}

uint64_t BlockRule::blockBytes(uint32_t width, uint32_t height) const {
  if (fixedBytes) return fixedBytes;
  for (const BlockRows& r : rows)
    if (height >= r.fromHeight) return uint64_t{width} * r.rows;
  return uint64_t{width} * rows.back().rows;
}

uint64_t ModelSpec::frameBytes(uint32_t width, uint32_t height, bool usb3Link,
                               uint16_t revision) const {
  if (block.fixedFrameBytes) return block.fixedFrameBytes;
  uint64_t rows = height;
  const ModelCatalogueRow* r = usb3Link ? nullptr : row();
  for (uint32_t i = 0; r && i < r->model.previewCount && i < usb2ExtraRows.size(); ++i)
    if (r->model.resolutions[i].width == width && r->model.resolutions[i].height == height)
      rows += usb2ExtraRows[i];
  return uint64_t{width} * rows + (trailerFromRevision3 && revision >= 3 ? 1 : 0);
}
