// Option handlers kept by the pipeline: step bits, tone mapping, matrix and base gains, auto
// exposure policy and threshold, demosaic methods, black level, workers, conversion gain,
// flat-field and dark-field status, sharpening and row order.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

class BaseImpl;

HRESULT putRawLutOption(BaseImpl& camera, int32_t value);
HRESULT getRawLutOption(BaseImpl& camera, int32_t* value);
HRESULT putCurveOption(BaseImpl& camera, int32_t value);
HRESULT getCurveOption(BaseImpl& camera, int32_t* value);
HRESULT putColorMatrixOption(BaseImpl& camera, int32_t value);
HRESULT getColorMatrixOption(BaseImpl& camera, int32_t* value);
HRESULT putWbGainOption(BaseImpl& camera, int32_t value);
HRESULT getWbGainOption(BaseImpl& camera, int32_t* value);
HRESULT putAePolicyOption(BaseImpl& camera, int32_t value);
HRESULT getAePolicyOption(BaseImpl& camera, int32_t* value);
HRESULT putDemosaicOption(BaseImpl& camera, int32_t value);
HRESULT getDemosaicOption(BaseImpl& camera, int32_t* value);
HRESULT putDemosaicVideoOption(BaseImpl& camera, int32_t value);
HRESULT getDemosaicVideoOption(BaseImpl& camera, int32_t* value);
HRESULT putDemosaicStillOption(BaseImpl& camera, int32_t value);
HRESULT getDemosaicStillOption(BaseImpl& camera, int32_t* value);
HRESULT putBlackLevelOption(BaseImpl& camera, int32_t value);
HRESULT getBlackLevelOption(BaseImpl& camera, int32_t* value);
HRESULT putPipelineThreadsOption(BaseImpl& camera, int32_t value);
HRESULT getPipelineThreadsOption(BaseImpl& camera, int32_t* value);
HRESULT putCgOption(BaseImpl& camera, int32_t value);
HRESULT getCgOption(BaseImpl& camera, int32_t* value);
HRESULT putFfcOption(BaseImpl& camera, int32_t value);
HRESULT getFfcOption(BaseImpl& camera, int32_t* value);
HRESULT putDfcOption(BaseImpl& camera, int32_t value);
HRESULT getDfcOption(BaseImpl& camera, int32_t* value);
HRESULT putUsmOption(BaseImpl& camera, int32_t value);
HRESULT getUsmOption(BaseImpl& camera, int32_t* value);
HRESULT putOutputLayoutOption(BaseImpl& camera, int32_t value);
HRESULT getOutputLayoutOption(BaseImpl& camera, int32_t* value);
HRESULT putUpsideDownOption(BaseImpl& camera, int32_t value);
HRESULT getUpsideDownOption(BaseImpl& camera, int32_t* value);
HRESULT putAeThresholdOption(BaseImpl& camera, int32_t value);
HRESULT getAeThresholdOption(BaseImpl& camera, int32_t* value);
HRESULT putBlackLevelRawOption(BaseImpl& camera, int32_t value);
HRESULT getBlackLevelRawOption(BaseImpl& camera, int32_t* value);
