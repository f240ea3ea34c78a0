// Defaults of the settings block and its persistence in the camera's registry subkey.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

// Fills a block from the state's defaults; stepBits is 0x3F, as in a new state.
template <typename Sample>
void PL_SetDefaults(const PLContextT<Sample>* source, PLSettings* target);

// Writes the block, one REG_DWORD per value; nothing without a state or a subkey.
template <typename Sample>
void PL_SaveSettings(PLContextT<Sample>* ctx);

// Reads the block (missing or malformed values take their defaults, others are clamped),
// then applies it.
template <typename Sample>
void PL_LoadSettings(PLContextT<Sample>* ctx);
inline void PL_LoadSettings16(PLContext16* ctx) {
  PL_LoadSettings(ctx);
}

// Stores and persists the AE maximum time and/or gain; 0 leaves that one unchanged.
template <typename Sample>
void PL_SaveAeMax(PLContextT<Sample>* ctx, uint32_t timeUs, uint16_t gain);
