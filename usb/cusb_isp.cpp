// CUsb's default ISP setters and FPGA housekeeping, as the models inherit them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/trace.h"
#include "platform/wait_hook.h"
#include "usb/cusb.h"

using usb::Direction;
using usb::VenReqHeader;
namespace fpga = usb::fpga;

void CUsb::IspEnWB(bool on) {
  ZX_TRACE("%s = %s", "IspEnWB", on ? "true" : "false");
  bWriteFPGAV2(fpga::kWbEnable, on);
}

void CUsb::IspEnBB(bool on) {
  ZX_TRACE("%s = %s", "IspEnBB", on ? "true" : "false");
}

void CUsb::IspEnMatrix(bool on) {
  ZX_TRACE("%s = %s", "IspEnMatrix", on ? "true" : "false");
  bWriteFPGAV2(fpga::kMatrixEnable, on);
}

void CUsb::IspSetWB(const int32_t gains[3]) {
  if (!gains) return;
  ZX_TRACE("%s = %d, %d, %d", "IspSetWB", gains[0], gains[1], gains[2]);
  const uint16_t regs[3] = {fpga::kWbRed, fpga::kWbGreen, fpga::kWbBlue};
  for (int i = 0; i < 3; ++i) bWriteFPGAV2(regs[i], static_cast<uint16_t>(gains[i]));
}

void CUsb::IspSetBB(const uint16_t levels[3]) {
  if (levels) ZX_TRACE("%s = %hu, %hu, %hu", "IspSetBB", levels[0], levels[1], levels[2]);
}

// Coefficients go out as 16-bit two's complement of round(m × 1023).
void CUsb::IspSetMatrix(const double m[9]) {
  if (!m) return;
  ZX_TRACE("%s = %f, %f, %f, %f, %f, %f, %f, %f, %f", "IspSetMatrix", m[0], m[1], m[2], m[3], m[4],
           m[5], m[6], m[7], m[8]);
  for (int i = 0; i < 9; ++i) {
    const double scaled = m[i] * 1023.0;
    const long v = std::isfinite(scaled) && std::fabs(scaled) < 1e9 ? std::lround(scaled) : 0;
    bWriteFPGAV2(static_cast<uint16_t>(fpga::kMatrixFirst + fpga::kMatrixStep * i),
                 static_cast<uint16_t>(v));
  }
}

void CUsb::IspSetAWBRect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
  ZX_TRACE_ERROR("%s = %hu, %hu, %hu, %hu", "IspSetAWBRect", x, y, w, h);
  bWriteFPGAV2(fpga::kAwbX, (x >> 2) & 0x3FFF);
  bWriteFPGAV2(fpga::kAwbWidth, w);
  bWriteFPGAV2(fpga::kAwbY, (y >> 2) & 0x3FFF);
  bWriteFPGAV2(fpga::kAwbHeight, h);
}

void CUsb::IspSetAERect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
  ZX_TRACE_ERROR("%s = %hu, %hu, %hu, %hu", "IspSetAERect", x, y, w, h);
  bWriteFPGAV2(fpga::kAeX, (x >> 2) & 0x3FFF);
  bWriteFPGAV2(fpga::kAeWidth, w);
  bWriteFPGAV2(fpga::kAeY, (y >> 2) & 0x3FFF);
  bWriteFPGAV2(fpga::kAeHeight, h);
}

void CUsb::IspSetABBRect(uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
  ZX_TRACE("%s = %hu, %hu, %hu, %hu", "IspSetABBRect", x, y, w, h);
}

// The table has 1 << bits entries: more than 16 bits is refused rather than read past its end,
// and a table smaller than one block is sent as one block padded with its last entry.
void CUsb::IspSetLut(const uint16_t* table, uint32_t bits) {
  if (!table || bits > usb::kLutMaxBits) {
    ZX_TRACE_ERROR("%s: %u bits refused", "IspSetLut", bits);
    return;
  }
  const uint32_t entries = 1u << bits;
  const uint32_t blocks = (entries + usb::kLutBlockEntries - 1) / usb::kLutBlockEntries;
  std::vector<uint8_t> wire(usb::kLutBlockEntries * 2);
  for (uint32_t b = 0; b < blocks; ++b) {
    const uint32_t first = b * usb::kLutBlockEntries;
    for (uint32_t i = 0; i < usb::kLutBlockEntries; ++i) {
      const uint16_t v = table[std::min(first + i, entries - 1)];
      wire[2 * i] = static_cast<uint8_t>(v);
      wire[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    const VenReqHeader h{Direction::Out, usb::req::kIspLut, 0,
                         static_cast<uint16_t>(usb::kLutIndexBase + first / 2)};
    VenReq(&h, wire.data(), static_cast<uint32_t>(wire.size()), nullptr);
  }
}

void CUsb::bDMAClear() {
  bWriteFPGAV2(fpga::kDmaClear, 1);
  platform::HookedSleepMs(1);
  uint8_t status = 0;
  if (!isOpen() || FAILED(statusRequest(usb::req::kDmaClear, 0, 0, &status)) ||
      status != usb::kStatusDone)
    ZX_TRACE_ERROR("%s: error", "bDMAClear");
  platform::HookedSleepMs(30);
  bWriteFPGAV2(fpga::kDmaClear, 0);
  platform::HookedSleepMs(1);
}

void CUsb::bWriteDdrRealtime(bool on) {
  bWriteFPGAV2(fpga::kDdrRealtime, on);
}

HRESULT CUsb::bReload(int32_t) {
  HRESULT hr = bWriteFPGAV2(fpga::kReload, 0);
  if (triggerMode) hr = bWriteFPGAV2(fpga::kReload, 1);
  return hr;
}
