// The histogram page's output levels.
#include "pages/rules/level_rules.h"

#include <algorithm>
#include <utility>

namespace {

uint16_t Level(uint32_t value) {
  return static_cast<uint16_t>(std::min(value, kLevelTop));
}

// An equal pair becomes one step wide around it, within 0..255.
void Widen(uint16_t& low, uint16_t& high) {
  if (low != high) return;
  const uint16_t v = low;
  low = v > 0 ? uint16_t(v - 1) : 0;
  high = v < kLevelTop ? uint16_t(v + 1) : uint16_t(kLevelTop);
}

}  // namespace

LevelPair ShownLevels(const LevelRange& range, uint32_t channel) {
  if (channel != kLevelRgb) {
    const uint32_t c = std::min(channel, kLevelGrey);
    return {range.low[c], range.high[c]};
  }
  return {std::min({range.low[0], range.low[1], range.low[2]}),
          std::max({range.high[0], range.high[1], range.high[2]})};
}

void ApplyTypedLevel(LevelRange& range, uint32_t channel, LevelSide side, uint32_t value) {
  const uint16_t v = Level(value);
  if (channel == kLevelRgb) {
    const LevelPair shown = ShownLevels(range, kLevelRgb);
    const uint16_t other = Level(side == LevelSide::Left ? shown.high : shown.low);
    for (uint32_t c = 0; c < 3; ++c) {
      range.low[c] = std::min(v, other);
      range.high[c] = std::max(v, other);
    }
    return;
  }
  const uint32_t c = std::min(channel, kLevelGrey);
  (side == LevelSide::Left ? range.low[c] : range.high[c]) = v;
  if (range.low[c] > range.high[c]) std::swap(range.low[c], range.high[c]);
}

void UnifyRgbLevels(LevelRange& range) {
  const LevelPair shown = ShownLevels(range, kLevelRgb);
  for (uint32_t c = 0; c < 3; ++c) {
    range.low[c] = Level(shown.low);
    range.high[c] = Level(shown.high);
  }
}

void ApplyDraggedLevel(LevelRange& range, uint32_t channel, LevelSide side, uint32_t v) {
  const uint16_t level = Level(v);
  if (channel == kLevelRgb) {
    for (uint32_t c = 0; c < 3; ++c)
      (side == LevelSide::Left ? range.low[c] : range.high[c]) = level;
    return;
  }
  const uint32_t c = std::min(channel, kLevelGrey);
  (side == LevelSide::Left ? range.low[c] : range.high[c]) = level;
  if (range.low[c] > range.high[c]) std::swap(range.low[c], range.high[c]);
  Widen(range.low[c], range.high[c]);
}

bool LevelChannelEditable(uint32_t channel, bool greyMode) {
  return greyMode ? channel == kLevelGrey : channel != kLevelGrey && channel <= kLevelRgb;
}

LevelPair DrawnLevels(uint32_t low, uint32_t high) {
  uint16_t l = Level(low);
  uint16_t h = Level(high);
  if (l > h) std::swap(l, h);
  Widen(l, h);
  return {l, h};
}
