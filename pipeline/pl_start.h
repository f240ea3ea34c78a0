// Pipeline start, format switch and stop on the helper, and the setters start relies on.
#pragma once

#include <cstdint>

#include "pipeline/device_values.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_setters.h"

// A model's exposure range for one resolution, microseconds.
struct ExposureRange {
  uint32_t min, max, def;
};

// Builds the state for the current pixel format; false (and no state) when creation fails.
bool PLInit(PLHlperBase& helper, const PLSettings* settings, uint32_t demosaicVideo,
            uint32_t demosaicStill);
// At camera open: records the resolution and rebuilds the state, carrying settings over.
// Processing sizes of 0 mean the frame size.
void InitPipeLineStep1(PLHlperBase& helper, uint32_t resolutionIndex, uint32_t width,
                       uint32_t height, const ExposureRange* range, uint32_t procWidth,
                       uint32_t procHeight);
void InitBandwidth(PLHlperBase& helper);
// At stream start: workers (once per state), AE hand-over, and every setting to the device.
void InitPipeLineStep2(PLHlperBase& helper);
// At stream stop: fan and cooler off, device values saved. The state and its workers stay.
void FiniPLHlper(PLHlperBase& helper);
void PostOpenRestore(PLHlperBase& helper);
void SetPixelFormat(PLHlperBase& helper, uint8_t format, uint8_t presetLoad, uint8_t started);
void SwitchPipeline(PLHlperBase& helper, uint8_t format, uint8_t presetLoad, uint8_t started);

// EEPROM data and the current defect list (pipeline/store/eeprom_data.h).
void LoadEepromData(PLHlperBase& helper);
void SelectDefectList(PLHlperBase& helper);

void PL_SetWbGainBase(PLHlperBase& helper);
void PL_SetColorMatrix(PLHlperBase& helper);
HRESULT PL_SetAutoExpoEnable(PLHlperBase& helper, uint32_t on);
uint8_t PL_GetCG(const PLHlperBase& helper);
HRESULT PL_SetBlackLevel(PLHlperBase& helper, uint32_t value);
// On ISP models: the AWB, AE and (when the processor takes one) ABB windows to the processor.
void SyncIspRects(PLHlperBase& helper);
// One window each, on ISP models; the ABB one only when the processor takes it.
void SyncIspAERect(PLHlperBase& helper);
void SyncIspAWBRect(PLHlperBase& helper);
void SyncIspABBRect(PLHlperBase& helper);
