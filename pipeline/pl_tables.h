// Tone, white-balance, hue/saturation and level tables built from the settings.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

// Each builder makes a fresh set from the state's settings and publishes it. Every one is a
// template over the sample type; the 8-bit and high-bit variants are its two instances.
template <typename Sample>
void PL_UpdateToneCurve(PLContextT<Sample>* ctx);
template <typename Sample>
void PL_UpdateWbLut(PLContextT<Sample>* ctx);
template <typename Sample>
void PL_UpdateHueSat(PLContextT<Sample>* ctx);
// Table order: byteOrder set, channels 3, 2, 1, 0; clear, 3, 0, 1, 2. low >= high is 0..255.
template <typename Sample>
void PL_UpdateLevelLut(PLContextT<Sample>* ctx);

// Rebuilds windows, gains and every table from the settings. fromSettings: RGB-gain cameras
// take their gains from the block.
template <typename Sample>
void PL_ApplySettings(PLContextT<Sample>* ctx, bool fromSettings);

// Hue, saturation, brightness; returns 0 for no state, else 1 (grey cameras change nothing).
template <typename Sample>
int32_t PL_SetHSB(PLContextT<Sample>* ctx, const int32_t hsb[3]);

// Stores each channel's range, 0..255 where low >= high, and rebuilds the level tables.
template <typename Sample>
void PL_ApplyLevelRange(PLContextT<Sample>* ctx, const uint8_t low[4], const uint8_t high[4]);

inline void PL_UpdateToneCurve16(PLContext16* c) {
  PL_UpdateToneCurve(c);
}
inline void PL_UpdateWbLut16(PLContext16* c) {
  PL_UpdateWbLut(c);
}
inline void PL_ApplySettings16(PLContext16* c, bool fromSettings) {
  PL_ApplySettings(c, fromSettings);
}
inline int32_t PL_SetHSB16(PLContext16* c, const int32_t hsb[3]) {
  return PL_SetHSB(c, hsb);
}

// RGB-gain cameras keep red and green in the halves of wbTemp and blue in wbTint.
inline uint32_t RgbGainRed(const PLSettings& s) {
  return static_cast<uint32_t>(s.wbTemp) & 0xFFFFu;
}
inline uint32_t RgbGainGreen(const PLSettings& s) {
  return static_cast<uint32_t>(s.wbTemp) >> 16;
}
inline uint32_t RgbGainBlue(const PLSettings& s) {
  return static_cast<uint32_t>(s.wbTint);
}
inline void SetRgbGains(PLSettings& s, uint32_t r, uint32_t g, uint32_t b) {
  s.wbTemp = static_cast<int32_t>((g << 16) | (r & 0xFFFFu));
  s.wbTint = static_cast<int32_t>(b);
}
