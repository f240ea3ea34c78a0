// The size pages' choices: which radio of a group is the pending index, and which still
// resolutions may be offered at all.
#pragma once

#include <cstdint>
#include <span>

// The first checked radio in id order; current when none is checked.
uint32_t FirstCheckedIndex(std::span<const bool> checked, uint32_t current);
// A still radio past the camera's still resolutions is never usable: applying it would be refused.
bool StillRadioEnabled(uint32_t index, uint32_t stillCount);
// The still index a page starts from: on a camera with a single still resolution the two-size
// page starts from the first whenever the second preview size is pending, and no page starts
// from a still the camera does not have.
uint32_t StillIndexAtActivation(uint32_t previewIndex, uint32_t stillIndex, uint32_t stillCount,
                                bool twoSizePage);
// The still index once the checked one may have become unusable: the first.
uint32_t UsableStillIndex(uint32_t stillIndex, uint32_t stillCount);
