// The device part of a CCD camera.
#include "models/common/ccd_device.h"

#include <algorithm>

#include "base/trace.h"
#include "usb/grab_state.h"

CcdDevice::CcdDevice(const CcdSpec& spec, const ModelInfo* model, const WCHAR16* deviceId)
    : CCcd(spec.model.transferSize, spec.model.inEndpoint, model, deviceId), spec_(spec) {
  if (spec.second) longFormWrites = 1;
}

const CcdMode& CcdDevice::modeSpec(uint32_t mode) const {
  return spec_.modes[std::min<size_t>(mode, spec_.modes.size() - 1)];
}

uint32_t CcdDevice::GetGrabRetry() {
  return modeSpec(mode()).grabRetry;
}

uint32_t CcdDevice::GetMaxFrameRate(uint32_t resolutionIndex) {
  return modeSpec(resolutionIndex).maxFrameRate;
}

bool CcdDevice::OnGrabPacket(GrabState* state, uint32_t slot, void* context) {
  if (!context) return CUsb::OnGrabPacket(state, slot, context);
  auto& fields = *static_cast<FieldAssembler*>(context);
  const uint32_t index = state->blocksDone, length = state->lengths[slot];
  if (!fields.take(state->buffers[slot], length, index, state->destination)) {
    ZX_TRACE_ERROR("%s: bad, nReaded = %u, nLength = %u, nBytesReturned = %u", "OnGrabPacket",
                   index + 1, fields.expectedBytes(index), length);
    return false;
  }
  ++state->blocksDone;
  state->bytesReceived += fields.payloadBytes(index);
  return true;
}
