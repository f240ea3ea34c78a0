// The ranges the raw device calls and the guide port accept before anything reaches a device.
#pragma once

#include <cstdint>

// A control transfer's length field is 16 bits.
inline constexpr uint32_t kMaxControlBytes = 0xFFFF;
// Guide directions 0..4 are requests 0x82..0x86; 4 is the stop pulse.
inline constexpr uint32_t kMaxGuideDirection = 4;
// A camera port carries the duration as 30 ms units (wValue) and the rest (wIndex).
inline constexpr uint32_t kMaxGuidePulseMs = 0xFFFF * 30 + 29;
// The guide adapter's report carries the duration in 16 bits.
inline constexpr uint32_t kMaxAdapterPulseMs = 0xFFFF;

// Direction and duration a camera port can send as they are.
bool GuideArgumentsValid(uint32_t direction, uint32_t ms);
