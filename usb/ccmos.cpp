// CCmos sensor writes through the model's request code.
#include "usb/ccmos.h"

#include "base/trace.h"

HRESULT CCmos::bWriteSensor(uint16_t reg, uint16_t value) {
  const usb::VenReqHeader h{usb::Direction::In, GetSensorWriteReq(), value, reg};
  uint8_t status = 0;
  uint32_t n = 0;
  const HRESULT hr = VenReq(&h, &status, 1, &n);
  if (FAILED(hr)) return hr;
  if (n != 1 || status != usb::kStatusDone) {
    ZX_TRACE_ERROR("%s: error", "bWriteSensor");
    return E_FAIL;
  }
  return S_OK;
}
