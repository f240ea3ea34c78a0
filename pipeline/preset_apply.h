// A preset taken from the live camera, checked, and put back onto it.
#pragma once

#include <cstdint>

#include "pipeline/pl_helper_base.h"
#include "pipeline/preset_record.h"

// ApplyPreset's index of the factory ("default") preset.
inline constexpr uint32_t kDefaultPresetIndex = 0xFFFFFFFFu;
// ApplyPreset without a state or with an empty record.
inline constexpr int32_t kPresetNotApplied = -1;

// The live settings and device values; the name stays empty for the caller to fill.
void CapturePreset(PLHlperBase& helper, PresetRecord* out);

// Every field brought into this model's ranges; an unavailable pixel format becomes the first
// available one.
void ValidatePreset(const PLHlperBase& helper, PresetRecord& record);

// The record at index (or the factory one) made live: settings block, exposure, device values.
// The record's pixel format goes to *pixelFormat for the caller's switch; nothing is stored for
// it here; the record's speed level goes to *speed when given (a device that takes its speed only
// at its next start has not taken it yet). 0, or kPresetNotApplied with nothing changed.
int32_t ApplyPreset(PLHlperBase& helper, uint32_t index, uint8_t* pixelFormat,
                    uint16_t* speed = nullptr);

// The pixel format a record carries in its processing flags.
uint8_t PresetPixelFormat(const PresetRecord& record);
