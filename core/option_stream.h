// Option handlers kept by the camera object and its stream: watchdog, priorities, raw delivery,
// histogram kind, frame-rate limit, device memory mode, callback thread and pull queue length.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

class BaseImpl;

HRESULT putNoFrameTimeoutOption(BaseImpl& camera, int32_t value);
HRESULT getNoFrameTimeoutOption(BaseImpl& camera, int32_t* value);
HRESULT putThreadPriorityOption(BaseImpl& camera, int32_t value);
HRESULT getThreadPriorityOption(BaseImpl& camera, int32_t* value);
HRESULT putModelHookOption(BaseImpl& camera, int32_t value);
HRESULT getModelHookOption(BaseImpl& camera, int32_t* value);
HRESULT putRawOption(BaseImpl& camera, int32_t value);
HRESULT getRawOption(BaseImpl& camera, int32_t* value);
HRESULT putHistogramOption(BaseImpl& camera, int32_t value);
HRESULT getHistogramOption(BaseImpl& camera, int32_t* value);
HRESULT putFrameRateOption(BaseImpl& camera, int32_t value);
HRESULT getFrameRateOption(BaseImpl& camera, int32_t* value);
HRESULT putDdrModeOption(BaseImpl& camera, int32_t value);
HRESULT getDdrModeOption(BaseImpl& camera, int32_t* value);
HRESULT putCallbackThreadOption(BaseImpl& camera, int32_t value);
HRESULT getCallbackThreadOption(BaseImpl& camera, int32_t* value);
HRESULT putFrameDequeLengthOption(BaseImpl& camera, int32_t value);
HRESULT getFrameDequeLengthOption(BaseImpl& camera, int32_t* value);
