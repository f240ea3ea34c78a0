// The histogram page's output levels: what a channel shows, typed values, the "RGB" choice and
// dragged markers. Channels 0 blue, 1 green, 2 red, 3 grey; 4 stands for the three colours at once.
#pragma once

#include <cstdint>
#include <optional>

inline constexpr uint32_t kLevelBlue = 0;
inline constexpr uint32_t kLevelGreen = 1;
inline constexpr uint32_t kLevelRed = 2;
inline constexpr uint32_t kLevelGrey = 3;
inline constexpr uint32_t kLevelRgb = 4;
inline constexpr uint32_t kLevelTop = 255;

struct LevelRange {
  uint16_t low[4] = {0, 0, 0, 0};
  uint16_t high[4] = {255, 255, 255, 255};
};

enum class LevelSide : uint8_t { Left, Right };

struct LevelPair {
  uint32_t low;
  uint32_t high;
};

// The pair the edits show: the channel's own, or for RGB the lowest low and highest high of the
// three colours.
LevelPair ShownLevels(const LevelRange& range, uint32_t channel);
// A typed value (clamped to 0..255) for one side. A single channel swaps a reversed pair; RGB
// sets all three colours between the value and the other side's extreme.
void ApplyTypedLevel(LevelRange& range, uint32_t channel, LevelSide side, uint32_t value);
// Choosing RGB: the three colours' lows become their minimum and highs their maximum.
void UnifyRgbLevels(LevelRange& range);
// A marker dropped at value v: RGB sets all three colours' side to v; a single channel orders
// its pair and widens an equal one to (v − 1, v + 1) within 0..255.
void ApplyDraggedLevel(LevelRange& range, uint32_t channel, LevelSide side, uint32_t v);
// Which channels the user may edit: grey only in grey mode, the colours and RGB only otherwise.
bool LevelChannelEditable(uint32_t channel, bool greyMode);
// A single channel's pair as drawn: ordered, and an equal pair widened by one each way.
LevelPair DrawnLevels(uint32_t low, uint32_t high);
