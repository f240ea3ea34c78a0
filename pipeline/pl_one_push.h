// One-push white and black balance requests: the completion hook installed and the measure
// asked of the next frame, in one step under the settings lock.
#pragma once

#include <cstdint>

#include "pipeline/pl_helper_base.h"

using WbTempTintHook = void (*)(int32_t temp, int32_t tint, void* context);
using WbRgbHook = void (*)(const int32_t gainsMinus128[3], void* context);
using BlackHook = void (*)(const uint16_t offsets[3], void* context);

// Each returns 0x8000FFFF without a state, 0 otherwise. The white requests do nothing more on a
// grey state. The hook runs on the frame thread after the measure, outside the state's locks.
HRESULT PL_AwbOnePush(PLHlperBase& helper, WbTempTintHook hook, void* context);
HRESULT PL_AwbInit(PLHlperBase& helper, WbRgbHook hook, void* context);
HRESULT PL_AbbOnePush(PLHlperBase& helper, BlackHook hook, void* context);
