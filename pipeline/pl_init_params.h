// What a pipeline state is created from: the model's configuration and, optionally, a settings
// block.
#pragma once

#include <cstdint>

#include "base/pixel_formats.h"
#include "pipeline/pl_settings.h"
#include "platform/types.h"

struct PLInitParams {
  uint8_t pixelFormat = 0;
  BitDepthCaps bitDepthCaps{};
  uint8_t hasIsp = 0;
  uint8_t hwBlackLevel = 0;
  uint8_t hwToneBypass = 0;
  uint8_t isColour = 1;
  uint8_t hasLightFrequency = 0;
  uint8_t wbTempTint = 1;
  uint8_t aeEnableDefault = 0;
  uint8_t hasToneMapping = 0;
  uint8_t workersAllowed = 1;
  uint8_t rowOrder = 1;
  uint8_t byteOrder = 1;
  uint8_t hasCG = 0;
  uint8_t perResolutionExposure = 0;
  uint8_t cgDefault = 0;
  uint8_t aePolicyDefault = 1;
  uint8_t flag40 = 0;  // the model's capability byte, carried without interpretation
  int32_t bayer = 0;
  uint32_t outputFormat = kOutputRgb8;
  const WCHAR16* regKey = nullptr;  // the camera's subkey below the current user, or none
  uint32_t resolutionIndex = 0;
  uint32_t frameWidth = 0, frameHeight = 0;
  uint32_t procWidth = 0, procHeight = 0;
  uint32_t maxWidth = 0, maxHeight = 0;
  uint16_t gainMin = 100, gainMax = 100, gainDefault = 100;
  uint32_t timeMin = 1, timeMax = 1, timeDefault = 1;
  double toneParams[3] = {0.5, 1.0, 1.0};  // the filmic curve's a, b, c
  const PLSettings* settings = nullptr;    // a block handed in; none: read the registry
};

// Frame dimensions beyond this are refused so that every size product fits 64 bits.
inline constexpr uint32_t kMaxFrameDimension = 65536;
