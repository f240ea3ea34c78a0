// The one loader of CCD timing programs: pauses, the speed's registers, every write through the
// device's register form; the first failed write ends the program with its result.
#pragma once

#include <array>
#include <cstdint>

#include "models/common/ccd_descriptor.h"
#include "usb/cusb.h"

namespace ccd {

inline constexpr uint16_t kTimingLatch = 9;
inline constexpr uint16_t kTimingMode = 8;
inline constexpr uint32_t kLatchMs = 10;

// The row that carries the speed: the marker where a program has one (its plain register-48
// row, on another page, keeps its table value), else register 48.
uint32_t speedRegisterOf(const FpgaProgram& program);
// The value a program row carries at this speed level: the speed row and the program's own speed
// rules take theirs from the level.
uint32_t speedValue(const FpgaProgram& program, uint32_t speedRegister, uint32_t reg,
                    uint32_t tableValue, uint16_t speed);
HRESULT loadProgram(CUsb& device, const FpgaProgram& program, uint16_t speed);
// Second generation: mode 0 first, the table, then FPGA 0..7 of the block, the latch pulse and
// the readout mode. The block's writes never stop the sequence.
HRESULT loadSecondProgram(CUsb& device, const CcdMode& mode, uint16_t speed);
// Latches a frame length into FPGA 0 and 1.
void latchFrameLines(CUsb& device, uint32_t lines);

}  // namespace ccd
