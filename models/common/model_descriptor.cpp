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

uint32_t ModelSpec::clampExposure(uint32_t us) const { return std::clamp(us, exposureUs.min, exposureUs.max); }

uint32_t ModelSpec::maxFrameRateOf(uint32_t index) const {
  if (maxFrameRate.empty()) return 1;
  return maxFrameRate[std::min<size_t>(index, maxFrameRate.size() - 1)];
}
