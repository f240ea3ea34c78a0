// The device part of a CCD camera: the transport with the class's retry budget, speed policy,
// frame rates and field reassembly of every block.
#pragma once

#include <atomic>

#include "models/common/ccd_descriptor.h"
#include "models/common/field_assembler.h"
#include "usb/cccd.h"

class CcdDevice final : public CCcd {
 public:
  CcdDevice(const CcdSpec& spec, const ModelInfo* model, const WCHAR16* deviceId);

  uint32_t GetGrabRetry() override;
  bool bDeferSpeed() override { return !spec_.second; }
  uint32_t GetMaxFrameRate(uint32_t resolutionIndex) override;
  // The context is the grab's FieldAssembler; without one the transport's contiguous copy.
  bool OnGrabPacket(GrabState* state, uint32_t slot, void* context) override;

  // The preview mode the camera was started in (0 full frame, 1 reduced).
  uint32_t mode() const { return mode_.load(); }
  void setMode(uint32_t mode) { mode_.store(mode); }
  const CcdMode& modeSpec(uint32_t mode) const;

 private:
  const CcdSpec& spec_;
  std::atomic<uint32_t> mode_{0};
};
