// The CCD timing-program loader.
#include "models/common/fpga_loader.h"

#include <algorithm>

#include "platform/wait_hook.h"

namespace ccd {

uint32_t speedRegisterOf(const FpgaProgram& program) {
  const bool marked = std::any_of(program.pairs.begin(), program.pairs.end(),
                                  [](const FpgaPair& p) { return p.reg == kFpgaSpeedMarker; });
  return marked ? kFpgaSpeedMarker : kFpgaSpeedRegister;
}

uint32_t speedValue(const FpgaProgram& program, uint32_t speedRegister, uint32_t reg,
                    uint32_t tableValue, uint16_t speed) {
  if (reg == speedRegister) return speed ? 0 : 1;
  for (const FpgaSpeedRule& rule : program.speedRules)
    if (rule.reg == reg) return speed ? rule.atSpeed1 : rule.atSpeed0;
  return tableValue;
}

HRESULT loadProgram(CUsb& device, const FpgaProgram& program, uint16_t speed) {
  const uint32_t speedRegister = speedRegisterOf(program);
  for (const FpgaPair& pair : program.pairs) {
    if (pair.reg == kFpgaPause) {
      platform::HookedSleepMs(pair.value);
      continue;
    }
    const uint32_t reg = pair.reg == kFpgaSpeedMarker ? kFpgaSpeedRegister : pair.reg;
    const HRESULT hr =
        device.bWritePackedEx(static_cast<uint16_t>(reg),
                              speedValue(program, speedRegister, pair.reg, pair.value, speed));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

void latchFrameLines(CUsb& device, uint32_t lines) {
  device.bWriteFPGA(0, static_cast<uint16_t>(lines));
  device.bWriteFPGA(1, static_cast<uint16_t>(lines >> 16));
  device.bWriteFPGA(kTimingLatch, 1);
  platform::HookedSleepMs(kLatchMs);
  device.bWriteFPGA(kTimingLatch, 0);
}

HRESULT loadSecondProgram(CUsb& device, const CcdMode& mode, uint16_t speed) {
  device.bWriteFPGA(kTimingMode, 0);
  const HRESULT hr = loadProgram(device, mode.second, speed);
  if (FAILED(hr)) return hr;
  for (uint16_t reg = 0; reg < mode.timingBlock.size(); ++reg)
    device.bWriteFPGA(reg, static_cast<uint16_t>(mode.timingBlock[reg]));
  device.bWriteFPGA(kTimingLatch, 1);
  platform::HookedSleepMs(kLatchMs);
  device.bWriteFPGA(kTimingLatch, 0);
  device.bWriteFPGA(kTimingMode, mode.readoutMode);
  return S_OK;
}

}  // namespace ccd
