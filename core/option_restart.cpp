// Option handlers that restart the stream: format, trigger, byte order, binning, rotation, factory.
#include "core/option_restart.h"

#include "core/base_impl.h"
#include "core/option_table.h"

HRESULT putBitDepthOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getBitDepthOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
HRESULT putTriggerOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getTriggerOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
HRESULT putBinningOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getBinningOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
HRESULT putRotateOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getRotateOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
HRESULT putPixelFormatOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getPixelFormatOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
HRESULT putFactoryOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getFactoryOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
HRESULT putByteOrderOption(BaseImpl& camera, int32_t value) {
  return optionPutNotBuilt(camera, value);
}
HRESULT getByteOrderOption(BaseImpl& camera, int32_t* value) {
  return optionGetNotBuilt(camera, value);
}
