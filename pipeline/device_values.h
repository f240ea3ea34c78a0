// The only writers of the device values: speed, skip, fan, cooler, the per-mode exposure times,
// the precise frame rate and the bandwidth.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

class PLHlperBase;

// Each setter stores its value and programs the device under the sensor lock, so a reader holding
// that lock never sees one without the other.

// Unchanged and not forced: nothing. The model may hold the level until the device opens.
HRESULT PL_SetSpeed(PLHlperBase& helper, uint16_t speed, uint8_t force = 0);

// The value is stored once the model accepted it; persisted when asked.
HRESULT PL_SetSkip(PLHlperBase& helper, uint32_t skip, bool persist);

// 0x80004001 without a fan; 0x80070057 above the fan's top speed. Stopping the fan stops the
// cooler, which needs it.
HRESULT PL_SetFan(PLHlperBase& helper, uint16_t speed);
// 0x80004001 without a targetable cooler. Starting the cooler starts a stopped fan at top speed.
HRESULT PL_SetTec(PLHlperBase& helper, uint32_t on);
// The caller checked the range; the model's answer is returned.
HRESULT PL_SetTecTarget(PLHlperBase& helper, int32_t tenths);
// The caller checked the range. Stored and persisted (without a settings key: nothing written)
// once the model accepted it; the model's answer is returned.
HRESULT PL_SetPreciseFrameRate(PLHlperBase& helper, uint32_t value);
HRESULT PL_SetBandwidth(PLHlperBase& helper, uint32_t percent);
// A preset's share: the model applies it without persisting it itself, and the helper stores and
// persists it whatever the model answered, so the stored value follows the applied preset.
void PL_ApplyPresetBandwidth(PLHlperBase& helper, uint32_t percent);
void PL_ApplyPresetPreciseFrameRate(PLHlperBase& helper, uint32_t value);

// Stores and persists the time of one trigger mode. In the mode the camera is in, the time goes
// through the pipeline's exposure (state, applied time, sensor, notice) as any exposure does;
// without a state it reaches the sensor alone.
HRESULT PL_SetModeExpoTime(PLHlperBase& helper, bool trigger, uint32_t us);
uint32_t PL_ModeExpoTime(PLHlperBase& helper, bool trigger);
// Records us as the time of the mode the camera is in now, without persisting or programming it:
// the exposure setter's share.
void PL_StoreModeExpoTime(PLHlperBase& helper, uint32_t us);

// The state's exposure set to us (within the model's range), then handed to the sensor by
// ExpoProcTime. False without a state.
bool PL_SetExposureTime(PLHlperBase& helper, uint32_t us);
