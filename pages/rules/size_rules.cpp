// The size pages' choices.
#include "pages/rules/size_rules.h"

uint32_t FirstCheckedIndex(std::span<const bool> checked, uint32_t current) {
  for (size_t i = 0; i < checked.size(); ++i)
    if (checked[i]) return uint32_t(i);
  return current;
}

bool StillRadioEnabled(uint32_t index, uint32_t stillCount) {
  return index < stillCount;
}

uint32_t StillIndexAtActivation(uint32_t previewIndex, uint32_t stillIndex, uint32_t stillCount,
                                bool twoSizePage) {
  if (twoSizePage && stillCount == 1 && previewIndex == 1) return 0;
  return UsableStillIndex(stillIndex, stillCount);
}

uint32_t UsableStillIndex(uint32_t stillIndex, uint32_t stillCount) {
  return StillRadioEnabled(stillIndex, stillCount) ? stillIndex : 0;
}
