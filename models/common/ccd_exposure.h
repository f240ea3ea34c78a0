// What a CCD camera writes for an exposure, a gain or a still: pure arithmetic over the class's
// rule, so every number is checked without a device.
#pragma once

#include <array>
#include <cstdint>

#include "models/common/ccd_descriptor.h"

struct PackedWrite {
  uint16_t reg;
  uint32_t value;
};

struct CcdExposurePlan {
  std::array<PackedWrite, 2> writes{};  // in order, through the class's register form
  uint32_t count = 0;
  uint32_t frameLines = 0;  // second generation: the frame length latched into FPGA 0 and 1
};

struct CcdStillPlan {
  CcdExposurePlan exposure;
  uint16_t gainPercent;
};

namespace ccd {

inline constexpr uint32_t kMaxGainPercent = 500;

// The pixel clock of a speed level in MHz.
double clockMHz(uint16_t speed);
// The range an exposure is clamped to, and which get_ExpTimeRange reports.
ValueRange exposureRange(const CcdSpec& spec, bool longForm, uint32_t mode);
CcdExposurePlan planExposure(const CcdSpec& spec, bool longForm, uint32_t mode, uint16_t speed,
                             uint32_t us);
uint16_t gainCode(const CcdSpec& spec, uint16_t percent);
PackedWrite gainWrite(const CcdSpec& spec, bool longForm, uint16_t percent);
// The still at the full frame from the preview's exposure and gain; `mode` is the recorded
// preview mode, `index` the still's.
CcdStillPlan planStill(const CcdSpec& spec, bool longForm, uint32_t mode, uint32_t index,
                       uint16_t speed, uint32_t exposureUs, uint16_t gainPercent);

}  // namespace ccd
