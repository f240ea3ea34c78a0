// CUsb control traffic: VenReq, register writes, system start and stop, EEPROM and guide port.
#include <algorithm>

#include "base/trace.h"
#include "platform/wait_hook.h"
#include "usb/cusb.h"

using usb::Direction;
using usb::VenReqHeader;
namespace req = usb::req;

HRESULT CUsb::VenReq(const VenReqHeader* header, void* data, uint32_t length,
                     uint32_t* transferred) {
  if (transferred) *transferred = 0;
  if (!header || (!data && length)) return E_POINTER;
  if (length > 0xFFFF) return E_INVALIDARG;  // a control transfer's length field is 16-bit
  const bool in = header->direction == Direction::In;
  ZX_TRACE("%s(%s): 0x%02x, 0x%04hx, 0x%04hx", "VenReq", in ? "IN" : "OUT", header->bRequest,
           header->wValue, header->wIndex);
  if (!backend_) return E_UNEXPECTED;
  uint32_t n = 0;
  const uint32_t err = backend_->controlTransfer(*header, data, length, &n);
  if (err != platform::kErrorSuccess) {
    ZX_TRACE_ERROR("%s: 0x%02x, err = %u", "VenReq", header->bRequest, err);
    return HRESULT_FROM_WIN32(err);
  }
  ZX_TRACE("%s: 0x%02x, ok", "VenReq", header->bRequest);
  if (transferred) *transferred = std::min(n, length);
  return S_OK;
}

// A register write answered with one status byte; a reply without the byte counts as a bad status.
HRESULT CUsb::statusRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* status) {
  const VenReqHeader h{Direction::In, request, value, index};
  uint8_t reply = 0;
  uint32_t n = 0;
  const HRESULT hr = VenReq(&h, &reply, 1, &n);
  *status = (SUCCEEDED(hr) && n == 1) ? reply : 0;
  return hr;
}

void CUsb::bWriteFPGA(uint16_t reg, uint16_t value) {
  uint8_t status = 0;
  if (SUCCEEDED(statusRequest(req::kWriteFpga, value, reg, &status)) && status != usb::kStatusDone)
    ZX_TRACE_ERROR("%s: error", "bWriteFPGA");
}

void CUsb::bWriteFPGAValue(uint16_t value) {
  uint8_t status = 0;
  if (SUCCEEDED(statusRequest(req::kWriteFpga, value, 0, &status)) && status != usb::kStatusDone)
    ZX_TRACE_ERROR("%s: error", "bWriteFPGAValue");
}

HRESULT CUsb::bWriteFPGAV2(uint16_t reg, uint16_t value) {
  uint8_t status = 0;
  const HRESULT hr = statusRequest(req::kWriteRegister, value, reg, &status);
  if (SUCCEEDED(hr) && status != usb::kStatusDone) ZX_TRACE_ERROR("%s: error", "bWriteFPGAV2");
  return hr;
}

HRESULT CUsb::bWritePacked(uint16_t reg, uint32_t value) {
  uint8_t payload[5] = {static_cast<uint8_t>(reg),
                        static_cast<uint8_t>((reg >> 8 & 0x0F) | (value & 0x0F) << 4),
                        static_cast<uint8_t>(value >> 4), static_cast<uint8_t>(value >> 12),
                        static_cast<uint8_t>(value >> 20)};
  const VenReqHeader h{Direction::Out, req::kWritePacked, 0, 0};
  return VenReq(&h, payload, sizeof payload, nullptr);
}

HRESULT CUsb::bWritePackedEx(uint16_t reg, uint32_t value) {
  if (longFormWrites) return bWritePacked(reg, value);
  const VenReqHeader h{Direction::Out, req::kWritePacked, static_cast<uint16_t>(value >> 8),
                       static_cast<uint16_t>(reg << 8 | (value & 0xFF))};
  return VenReq(&h, nullptr, 0, nullptr);
}

void CUsb::bWriteResMode(uint16_t value) {
  uint8_t status = 0;
  if (SUCCEEDED(statusRequest(req::kWriteResMode, value, 0, &status)) && status != usb::kStatusDone)
    ZX_TRACE_ERROR("%s: error", "bWriteResMode");
}

HRESULT CUsb::bSystemInit(uint8_t mode) {
  ZX_TRACE("%s, %u", "bSystemInit", mode);
  const VenReqHeader h{Direction::Out, req::kSystemInit, mode, usb::kSystemInitIndex};
  return VenReq(&h, nullptr, 0, nullptr);
}

HRESULT CUsb::bSysFini() {
  ZX_TRACE("%s", "bSysFini");
  const VenReqHeader h{Direction::In, req::kSysFini, 0, 0};
  uint8_t reply[2];
  return VenReq(&h, reply, sizeof reply, nullptr);
}

uint8_t CUsb::bGetRegWriteMode() {
  const VenReqHeader h{Direction::In, req::kGetRegWriteMode, 0, 0};
  uint8_t mode = 0;
  uint32_t n = 0;
  return SUCCEEDED(VenReq(&h, &mode, 1, &n)) && n == 1 ? mode : 0;
}

bool CUsb::bGetAltSensor() {
  const VenReqHeader h{Direction::In, req::kGetAltSensor, 0, 0};
  uint8_t flag = 0;
  uint32_t n = 0;
  return SUCCEEDED(VenReq(&h, &flag, 1, &n)) && n == 1 && flag;
}

bool CUsb::bST4GuideState() {
  const VenReqHeader h{Direction::In, req::kSt4GuideState, 0, 0};
  uint8_t active = 0;
  uint32_t n = 0;
  return SUCCEEDED(VenReq(&h, &active, 1, &n)) && n >= 1 && active;
}

HRESULT CUsb::bST4PulseGuide(uint8_t direction, uint32_t ms) {
  const VenReqHeader h{Direction::Out, static_cast<uint8_t>(req::kSt4PulseFirst + direction),
                       static_cast<uint16_t>(ms / 30), static_cast<uint16_t>(ms % 30)};
  return VenReq(&h, nullptr, 0, nullptr);
}

HRESULT CUsb::ReadPipe(uint32_t pipe, void* buffer, uint32_t length) {
  if (!buffer) return E_POINTER;
  const usb::PipeUsers::Use use(pipeUsers_, usb::ReadEndpoint(pipe));
  if (!use) return E_UNEXPECTED;
  uint32_t n = 0;
  const uint32_t err = backend_->readPipe(pipe, buffer, length, &n);
  ZX_TRACE("%s: pipe = %u, len = %u, err = %u, n = %u", "ReadPipe", pipe, length, err, n);
  return err != platform::kErrorSuccess ? HRESULT_FROM_WIN32(err) : static_cast<HRESULT>(n);
}

HRESULT CUsb::WritePipe(uint32_t pipe, const void* buffer, uint32_t length) {
  if (!buffer) return E_POINTER;
  const usb::PipeUsers::Use use(pipeUsers_, usb::WriteEndpoint(pipe));
  if (!use) return E_UNEXPECTED;
  uint32_t n = 0;
  const uint32_t err = backend_->writePipe(pipe, buffer, length, &n);
  ZX_TRACE("%s: pipe = %u, len = %u, err = %u, n = %u", "WritePipe", pipe, length, err, n);
  return err != platform::kErrorSuccess ? HRESULT_FROM_WIN32(err) : static_cast<HRESULT>(n);
}

// Every chunk must come back whole: a short one would leave a hole in the block.
uint32_t CUsb::bEEPROMRead(uint8_t* dst) {
  if (!dst) return 0;
  VenReqHeader h{Direction::In, req::kEepromRead, 0, 0};
  uint8_t head[4] = {};
  uint32_t n = 0;
  HRESULT hr = VenReq(&h, head, sizeof head, &n);
  const uint32_t size = static_cast<uint32_t>(head[0] | head[1] << 8 | head[2] << 16) |
                        static_cast<uint32_t>(head[3]) << 24;
  ZX_TRACE("bEEPROMRead: addr = %hu, size = %u, return = %u", h.wValue, 4u, n);
  if (FAILED(hr) || n != sizeof head || size == 0 || size > usb::kEepromBytes) return 0;
  const uint32_t total = std::min(size + usb::kEepromTrailer, usb::kEepromBytes);
  for (uint32_t offset = 0; offset < total; offset += usb::kEepromChunk) {
    const uint32_t chunk = std::min(total - offset, usb::kEepromChunk);
    h.wValue = static_cast<uint16_t>(offset);
    hr = VenReq(&h, dst + offset, chunk, &n);
    ZX_TRACE("bEEPROMRead: addr = %hu, size = %u, return = %u", h.wValue, chunk, n);
    if (FAILED(hr) || n != chunk) return 0;
  }
  return total;
}
