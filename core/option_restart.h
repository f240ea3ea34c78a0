// Option handlers that restart the stream: format, trigger, byte order, binning, rotation, factory.
#pragma once

#include <cstdint>

#include "platform/com_types.h"

class BaseImpl;

HRESULT putBitDepthOption(BaseImpl& camera, int32_t value);
HRESULT getBitDepthOption(BaseImpl& camera, int32_t* value);
HRESULT putTriggerOption(BaseImpl& camera, int32_t value);
HRESULT getTriggerOption(BaseImpl& camera, int32_t* value);
HRESULT putBinningOption(BaseImpl& camera, int32_t value);
HRESULT getBinningOption(BaseImpl& camera, int32_t* value);
HRESULT putRotateOption(BaseImpl& camera, int32_t value);
HRESULT getRotateOption(BaseImpl& camera, int32_t* value);
HRESULT putPixelFormatOption(BaseImpl& camera, int32_t value);
HRESULT getPixelFormatOption(BaseImpl& camera, int32_t* value);
HRESULT putFactoryOption(BaseImpl& camera, int32_t value);
HRESULT getFactoryOption(BaseImpl& camera, int32_t* value);
HRESULT putByteOrderOption(BaseImpl& camera, int32_t value);
HRESULT getByteOrderOption(BaseImpl& camera, int32_t* value);
