// The camera's device values outside the settings block, kept in its registry subkey.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pipeline/store/registry.h"
#include "platform/com_types.h"

class PLHlperBase;

// Each writer creates or opens the subkey, writes one REG_DWORD and closes; no key, no write.
void SaveSkip(std::string_view subKey, uint32_t skip);
void SaveFrameRate(std::string_view subKey, uint16_t speed);
void SavePrecise(std::string_view subKey, uint32_t value, uint32_t resolutionIndex, bool highBit);
void SaveBandwidth(std::string_view subKey, uint32_t percent);

// "PreciseA<n>" while the high-bit state exists, else "PreciseB<n>".
std::string PreciseValueName(uint32_t resolutionIndex, bool highBit);

// "TriggerModeTime" or "VideoModeTime"; 0x80004001 without a subkey or when it cannot be written.
HRESULT SaveModeTime(PLHlperBase& helper, bool trigger, uint32_t timeUs);
// 0x80004001 without a readable subkey; else 0 with the value clamped to the model's range,
// or timeDefault when it is missing.
HRESULT LoadModeTime(PLHlperBase& helper, bool trigger, uint32_t* timeUs);

// Grey models keep one offset ("BBG<format>") for all three channels.
void LoadBlackBalance(PLHlperBase& helper, uint16_t offsets[3], uint8_t pixelFormat);
void SaveBlackBalance(PLHlperBase& helper, const uint16_t offsets[3], uint8_t pixelFormat);
// The live state's offsets; nothing without a state.
void SaveCurrentBlackBalance(PLHlperBase& helper, uint8_t pixelFormat);

// The largest sensor black level, by the model's deepest raw format.
uint16_t BlackLevelMax(uint64_t modelFlags);

// Binning byte normalised: 1..4 summing, 0x81..0x84 averaging; anything else becomes 1.
uint8_t NormaliseBinning(uint32_t stored);

// The open-time reader, called once by the model after the camera object is built.
void LoadSettings(PLHlperBase& helper);
