// The helper's setters of exposure, colour, levels, windows, rotation, conversion gain and
// calibration switches, as the camera interface calls them.
#pragma once

#include <cstdint>

#include "pipeline/pl_helper_base.h"
#include "platform/com_types.h"

// Exposure in microseconds and gain in percent. 0x80070057 outside the model's range, 0x80004005
// without a state; the state's value restarts auto exposure and reaches the sensor.
HRESULT PL_SetExpoTime(PLHlperBase& helper, uint32_t us);
HRESULT PL_SetExpoAGain(PLHlperBase& helper, uint16_t gain);

// R, G, B gains -127..127 around 0 (clamped), persisted. 0x80004001 on temperature/tint models.
HRESULT PL_SetWhiteBalanceGain(PLHlperBase& helper, const int32_t gains[3]);
// 2000..15000 K and tint 200..2500, persisted. 0x80004001 on RGB-gain models.
HRESULT PL_SetWhiteBalanceTempTint(PLHlperBase& helper, int32_t temp, int32_t tint);
// The largest black offset plus one for the current pixel format.
uint32_t BlackBalanceLimit(const PLHlperBase& helper);
// R, G, B black offsets, each below BlackBalanceLimit (0x80070057); 0x80004005 without a state.
HRESULT PL_SetBlackBalance(PLHlperBase& helper, const uint16_t offsets[3]);
// Per channel R, G, B, grey; low >= high stores 0..255. 0x8000FFFF without a state.
HRESULT PL_SetLevelRange(PLHlperBase& helper, const uint8_t low[4], const uint8_t high[4]);
// Both cuts from the latest statistics, for all four channels. 0x8000FFFF without a state.
HRESULT PL_AutoLevelRange(PLHlperBase& helper);
// 0 60 Hz, 1 50 Hz, 2 none; 0x80070057 above 2. A manual time snaps to the new period.
HRESULT PL_SetLightFrquency(PLHlperBase& helper, uint32_t mode);
// AE maximum time (0: 350000 us) and gain (0: 500), kept within the model's ranges; always 0.
HRESULT PL_SetAeMax(PLHlperBase& helper, uint32_t timeUs, uint16_t gain);

// Windows in pixels of the delivered frame, right and bottom exclusive: 0 <= left < right <=
// width and 0 <= top < bottom <= height, else 0x80070057 (also without a state). Stored scaled
// to the processing size; ISP models get the window too.
HRESULT PL_SetAERect(PLHlperBase& helper, const RECT& rect);
HRESULT PL_SetAWBRect(PLHlperBase& helper, const RECT& rect);
HRESULT PL_SetABBRect(PLHlperBase& helper, const RECT& rect);
HRESULT PL_SetAllRect(PLHlperBase& helper, const RECT* rect);

// 90, 180 or 270 degrees, anything else none. 1 when unchanged; 0x8000FFFF without a state.
HRESULT PL_SetRotate(PLHlperBase& helper, uint32_t degrees);
// 1 = B, G, R in memory, 0 = R, G, B: the helper's value for the next state and the live state's
// colour sites and level tables. The stream's threads must be parked.
void PL_SetByteOrder(PLHlperBase& helper, uint8_t order);
// Conversion gain 0..2: 0x80004001 without it, else the model's answer.
HRESULT PL_SetCG(PLHlperBase& helper, uint8_t value);

// The calibration status that throws away what was gathered: the frame size changed.
inline constexpr uint32_t kCalibrationDiscard = 0xFFFFFFFFu;
// Flat-field and dark-field: start accumulating; set the status (0 off, 1 on when calibrated,
// 0xFF000000 + n frames to average, 0xFFFFFFFF discard). 0x8000FFFF without a state.
HRESULT PL_FfcOnePush(PLHlperBase& helper);
HRESULT PL_DfcOnePush(PLHlperBase& helper);
HRESULT PL_SetFfcStatus(PLHlperBase& helper, uint32_t value);
HRESULT PL_SetDfcStatus(PLHlperBase& helper, uint32_t value);

// The host's tables for the 8-bit and the high-bit state (256 and 2^depth entries), copied at
// the call and kept for later states; null removes one. Always 0.
HRESULT PL_SetOutputLut(PLHlperBase& helper, const uint8_t* lut8, const uint16_t* lut16);
HRESULT PL_SetToneCurveTable(PLHlperBase& helper, const uint8_t* table8, const uint16_t* table16);
// Hands the helper's tables to its state; at state creation.
void PL_InstallUserTables(PLHlperBase& helper);
