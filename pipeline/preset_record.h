// One saved preset: a name, the settings block and the helper's device values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "pipeline/pl_settings.h"
#include "platform/types.h"

struct PresetRecord {
  WCHAR16 name[128];  // UTF-16, zero-terminated; empty marks a missing preset
  PLSettings settings;
  uint8_t speed;
  uint8_t skip;
  uint8_t lightFrequency;
  uint8_t fan;
  uint8_t tecOn;
  uint8_t binning;
  uint16_t blackLevel;
  int32_t tecTarget;
  uint32_t triggerModeTime;
  uint32_t videoModeTime;
  uint32_t aeMaxTime;
  uint32_t aeMaxGain;
  uint32_t preciseFrameRate;
  uint32_t bandwidth;
  uint8_t zero452[4];
};

static_assert(std::is_standard_layout_v<PresetRecord> &&
              std::is_trivially_copyable_v<PresetRecord>);
static_assert(sizeof(PresetRecord) == 456);
static_assert(offsetof(PresetRecord, settings) == 256);
static_assert(offsetof(PresetRecord, speed) == 416);
static_assert(offsetof(PresetRecord, lightFrequency) == 418);
static_assert(offsetof(PresetRecord, binning) == 421);
static_assert(offsetof(PresetRecord, blackLevel) == 422);
static_assert(offsetof(PresetRecord, tecTarget) == 424);
static_assert(offsetof(PresetRecord, triggerModeTime) == 428);
static_assert(offsetof(PresetRecord, videoModeTime) == 432);
static_assert(offsetof(PresetRecord, aeMaxTime) == 436);
static_assert(offsetof(PresetRecord, aeMaxGain) == 440);
static_assert(offsetof(PresetRecord, preciseFrameRate) == 444);
static_assert(offsetof(PresetRecord, bandwidth) == 448);
