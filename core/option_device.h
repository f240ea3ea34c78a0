// Option handlers kept by the device and its transport: fan and cooler, cooler readings, device
// reset, focus and model values, no-packet timeout, precise frame rate, bandwidth and reload.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

class BaseImpl;

HRESULT putFanOption(BaseImpl& camera, int32_t value);
HRESULT getFanOption(BaseImpl& camera, int32_t* value);
HRESULT putTecOption(BaseImpl& camera, int32_t value);
HRESULT getTecOption(BaseImpl& camera, int32_t* value);
HRESULT putTecTargetOption(BaseImpl& camera, int32_t value);
HRESULT getTecTargetOption(BaseImpl& camera, int32_t* value);
// The answer of codes a direction does not serve on any model.
HRESULT putNotImplementedOption(BaseImpl& camera, int32_t value);
HRESULT getNotImplementedOption(BaseImpl& camera, int32_t* value);
HRESULT getTecReadingOption(BaseImpl& camera, int32_t* value);
HRESULT getTecInfoOption(BaseImpl& camera, int32_t* value);
HRESULT putDeviceResetOption(BaseImpl& camera, int32_t value);
HRESULT putFocusPosOption(BaseImpl& camera, int32_t value);
HRESULT getFocusPosOption(BaseImpl& camera, int32_t* value);
HRESULT putFocusCmdOption(BaseImpl& camera, int32_t value);
HRESULT getFocusCmdOption(BaseImpl& camera, int32_t* value);
HRESULT putDevice38Option(BaseImpl& camera, int32_t value);
HRESULT getDevice38Option(BaseImpl& camera, int32_t* value);
HRESULT getDevice39Option(BaseImpl& camera, int32_t* value);
HRESULT putExtraOption(BaseImpl& camera, int32_t value);
HRESULT putNoPacketTimeoutOption(BaseImpl& camera, int32_t value);
HRESULT getNoPacketTimeoutOption(BaseImpl& camera, int32_t* value);
HRESULT getPreciseFrameRateMaxOption(BaseImpl& camera, int32_t* value);
HRESULT getPreciseFrameRateMinOption(BaseImpl& camera, int32_t* value);
HRESULT putPreciseFrameRateOption(BaseImpl& camera, int32_t value);
HRESULT getPreciseFrameRateOption(BaseImpl& camera, int32_t* value);
HRESULT putBandwidthOption(BaseImpl& camera, int32_t value);
HRESULT getBandwidthOption(BaseImpl& camera, int32_t* value);
// The get never writes its pointer: it only tells whether a reload is possible.
HRESULT putReloadOption(BaseImpl& camera, int32_t value);
HRESULT getReloadOption(BaseImpl& camera, int32_t* value);
