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
