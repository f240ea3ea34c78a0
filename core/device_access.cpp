// Raw device access: vendor requests built from caller values, raw pipes, version texts, the ST4
// guide port and the focus description. Each checks its arguments, opens the device where it
// needs it and sends one request, holding the device lock while it touches the transport; a raw
// pipe transfer keeps the device open by the transport's own count instead.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/base_impl.h"
#include "core/device_access_limits.h"
#include "pipeline/pl_helper_base.h"
#include "platform/wait_hook.h"
#include "usb/cusb.h"

using usb::Direction;
using usb::VenReqHeader;

namespace {

constexpr uint8_t kVenCommandEx = 0xED;
constexpr uint8_t kVenReadBuffer = 0xEB;
constexpr uint8_t kVenWriteBuffer = 0xEC;
constexpr uint8_t kVenCommand = 0x36;
constexpr uint8_t kReset30 = 0x30, kWrite31 = 0x31, kRead32 = 0x32, kWrite33 = 0x33;
constexpr uint8_t kQuery34 = 0x34, kWrite35 = 0x35, kRequestFE = 0xFE;
constexpr uint32_t kPauseBeforeFEMs = 30;
constexpr uint32_t kVersionBytes = 16;
constexpr size_t kDeviceVersionChars = 8;  // "255.255" and the terminator
constexpr HRESULT kQueryRefused = static_cast<HRESULT>(0x8000000A);

// The setup packet carries a 16-bit length: anything longer would be cut short on the wire.
HRESULT checkLength(uint32_t length) {
  return length > kMaxControlBytes ? E_INVALIDARG : S_OK;
}

}  // namespace

bool GuideArgumentsValid(uint32_t direction, uint32_t ms) {
  return direction <= kMaxGuideDirection && ms <= kMaxGuidePulseMs;
}

// The model opens and closes the device under its sensor lock: held, no stop on another thread
// closes the handle under a request. None without a helper.
std::unique_lock<platform::RecursiveLock> BaseImpl::deviceLock() {
  if (!helper_) return {};
  return std::unique_lock<platform::RecursiveLock>(helper_->sensorLock());
}

// One request on the open device; E_UNEXPECTED without a transport.
HRESULT BaseImpl::sendRequest(bool in, uint8_t request, uint16_t value, uint16_t index, void* data,
                              uint32_t length, uint32_t* transferred) {
  const auto hold = deviceLock();
  if (!transport_) return E_UNEXPECTED;
  const VenReqHeader header{in ? Direction::In : Direction::Out, request, value, index};
  return transport_->VenReq(&header, data, length, transferred);
}

// Opens the device as every device-touching call does; E_UNEXPECTED without a transport.
HRESULT BaseImpl::openForRequest() {
  const HRESULT hr = InitUSB();
  if (FAILED(hr)) return hr;
  return transport_ ? S_OK : E_UNEXPECTED;
}

// --- Vendor requests ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::VenCommandEx(uint16_t hi, uint16_t lo, uint16_t value) {
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  const auto index = static_cast<uint16_t>(hi << 8 | lo);
  return sendRequest(false, kVenCommandEx, value, index, nullptr, 0, nullptr);
}

HRESULT STDMETHODCALLTYPE BaseImpl::VenRead(uint16_t address, void* buffer, uint32_t length) {
  if (buffer == nullptr) return E_POINTER;
  if (length == 0 || FAILED(checkLength(length))) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint32_t n = 0;
  const HRESULT hr = sendRequest(true, transport_->GetVenReadReq(), address, 0, buffer, length, &n);
  return FAILED(hr) ? hr : static_cast<HRESULT>(n);
}

HRESULT STDMETHODCALLTYPE BaseImpl::VenWrite(uint16_t address, const void* buffer,
                                             uint32_t length) {
  if (buffer == nullptr) return E_POINTER;
  if (length == 0 || FAILED(checkLength(length))) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint32_t n = 0;
  const HRESULT hr = sendRequest(false, transport_->GetVenWriteReq(), address, 0,
                                 const_cast<void*>(buffer), length, &n);
  return FAILED(hr) ? hr : static_cast<HRESULT>(n);
}

HRESULT STDMETHODCALLTYPE BaseImpl::VenReadBuffer(void* buffer, uint32_t length) {
  if (buffer == nullptr) return E_POINTER;
  if (FAILED(checkLength(length))) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint32_t n = 0;
  const HRESULT hr = sendRequest(true, kVenReadBuffer, 0, 0, buffer, length, &n);
  return FAILED(hr) ? hr : static_cast<HRESULT>(n);
}

HRESULT STDMETHODCALLTYPE BaseImpl::VenWriteBuffer(const void* buffer, uint32_t length) {
  if (buffer == nullptr) return E_POINTER;
  if (FAILED(checkLength(length))) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint32_t n = 0;
  const HRESULT hr =
      sendRequest(false, kVenWriteBuffer, 0, 0, const_cast<void*>(buffer), length, &n);
  return FAILED(hr) ? hr : static_cast<HRESULT>(n);
}

// A pipe may keep a transfer for seconds: the transport keeps the device open for it without the
// device lock, so sensor programming and a stop go on beside it (the stop aborts it).
HRESULT STDMETHODCALLTYPE BaseImpl::ReadPipe(uint32_t pipe, void* buffer, uint32_t length) {
  if (buffer == nullptr) return E_POINTER;
  if (length == 0) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  return FAILED(open) ? open : transport_->ReadPipe(pipe, buffer, length);
}

HRESULT STDMETHODCALLTYPE BaseImpl::WritePipe(uint32_t pipe, const void* buffer, uint32_t length) {
  if (buffer == nullptr) return E_POINTER;
  if (length == 0) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  return FAILED(open) ? open : transport_->WritePipe(pipe, buffer, length);
}

// Sent on whatever the device's state is: the host uses it to wake a device that is not open.
HRESULT STDMETHODCALLTYPE BaseImpl::VenCommand(uint16_t value) {
  return sendRequest(false, kVenCommand, value, 0, nullptr, 0, nullptr);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_FocusMotor(LumorixFocusInfo* info) {
  if ((modelFlags() & LUMORIX_FLAG_FOCUS) == 0) return E_NOTIMPL;
  if (info == nullptr) return E_POINTER;
  if (!helper_) return E_NOTIMPL;
  helper_->PLHlperGetFocusInfo(info);
  return S_OK;
}

// --- Versions ----------------------------------------------------------------------------------

// Up to 16 bytes of text; a shorter answer is terminated, a full one is not.
HRESULT BaseImpl::readVersionText(uint8_t request, char* text) {
  if (text == nullptr) return E_POINTER;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint32_t n = 0;
  const HRESULT hr = sendRequest(true, request, 0, 0, text, kVersionBytes, &n);
  if (FAILED(hr)) return hr;
  if (n == 0) return E_FAIL;
  if (n < kVersionBytes) text[n] = '\0';
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_FwVersion(char text[16]) {
  return readVersionText(usb::req::kFirmwareVersion, text);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_HwVersion(char text[16]) {
  return readVersionText(usb::req::kHardwareVersion, text);
}

// "20" and the serial's year, month and day (its bytes 2..7).
HRESULT STDMETHODCALLTYPE BaseImpl::get_ProductionDate(char text[9]) {
  if (text == nullptr) return E_POINTER;
  if (!helper_) return E_NOTIMPL;
  const int32_t opened = helper_->PLHlperInit();
  if (opened < 0) return static_cast<HRESULT>(opened);
  if (!helper_->serialValid) return E_FAIL;
  text[0] = '2';
  text[1] = '0';
  std::memcpy(text + 2, helper_->serial + 2, 6);
  text[8] = '\0';
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_DeviceVersion(char* text) {
  if (text == nullptr) return E_POINTER;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint16_t version = 0;
  const auto hold = deviceLock();
  const HRESULT hr = transport_->GetDeviceVersion(&version);
  if (SUCCEEDED(hr))
    std::snprintf(text, kDeviceVersionChars, "%hu.%hu", static_cast<unsigned short>(version >> 8),
                  static_cast<unsigned short>(version & 0xFF));
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Revision(uint16_t* revision) {
  if (revision == nullptr) return E_POINTER;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  const auto hold = deviceLock();
  *revision = transport_->revision();
  return S_OK;
}

// --- ST4 guide port ----------------------------------------------------------------------------

// A direction outside 0..4 would name another request (0x7F gives 0x01, the stream switch), and
// a duration past the wire's range would wrap: both are refused before anything is sent.
HRESULT STDMETHODCALLTYPE BaseImpl::ST4PlusGuide(uint32_t direction, uint32_t ms) {
  if (!GuideArgumentsValid(direction, ms)) return E_INVALIDARG;
  if (!transport_) return E_UNEXPECTED;
  const auto hold = deviceLock();
  return transport_->bST4PulseGuide(static_cast<uint8_t>(direction), ms);
}

HRESULT STDMETHODCALLTYPE BaseImpl::ST4PlusGuideState() {
  const auto hold = deviceLock();
  return transport_ && transport_->bST4GuideState() ? S_OK : S_FALSE;
}

// Direction 4 is the stop pulse and may have no length; the others need one.
HRESULT BaseImpl::put_ST4PulseGuide(uint32_t direction, uint32_t ms) {
  if (!GuideArgumentsValid(direction, ms)) return E_INVALIDARG;
  if (direction < kMaxGuideDirection && ms == 0) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  const auto hold = deviceLock();
  return transport_->bST4PulseGuide(static_cast<uint8_t>(direction), ms);
}

HRESULT BaseImpl::QueryGuideState() {
  if (FAILED(openForRequest())) return 0;
  const auto hold = deviceLock();
  return transport_->bST4GuideState() ? 1 : 0;
}

// --- The camera's own device requests ----------------------------------------------------------

HRESULT BaseImpl::get_Zero150(uint32_t* value) {
  if (value == nullptr) return E_POINTER;
  *value = 0;
  return S_OK;
}

HRESULT BaseImpl::get_PLHlperParams38(uint32_t* a, uint32_t* b, uint32_t* c) {
  if (helper_) helper_->PLHlperGetValues38(a, b, c);
  return S_OK;
}

HRESULT BaseImpl::VenReqWrite31(const void* buffer, uint32_t length, uint16_t index) {
  if (FAILED(checkLength(length))) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  return sendRequest(false, kWrite31, 0, index, const_cast<void*>(buffer), length, nullptr);
}

// Answered by one byte, 0 when the device agrees; no byte counts as a refusal.
HRESULT BaseImpl::VenReqQuery34() {
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint8_t reply = 0xFF;
  sendRequest(true, kQuery34, 0, 0, &reply, 1, nullptr);
  return reply == 0 ? S_OK : kQueryRefused;
}

HRESULT BaseImpl::VenReqWrite35(uint8_t value) {
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  sendRequest(false, kWrite35, 0, value, nullptr, 0, nullptr);
  return S_OK;
}

HRESULT BaseImpl::VenReqReset30() {
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  return sendRequest(false, kReset30, 0, 0, nullptr, 0, nullptr);
}

HRESULT BaseImpl::VenReqRead32(void* buffer, uint32_t length, uint16_t index) {
  if (FAILED(checkLength(length))) return E_INVALIDARG;
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint32_t n = 0;
  const HRESULT hr = sendRequest(true, kRead32, 0, index, buffer, length, &n);
  return SUCCEEDED(hr) && n <= length ? static_cast<HRESULT>(n) : S_OK;
}

HRESULT BaseImpl::VenReqWrite33(uint8_t value) {
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  uint8_t dropped = 0;
  sendRequest(true, kWrite33, 0, value, &dropped, 1, nullptr);
  return S_OK;
}

HRESULT BaseImpl::VenReqRaw(uint8_t request, uint8_t direction, uint16_t index, uint16_t value,
                            void* buffer, uint32_t length, uint32_t* transferred) {
  if (FAILED(checkLength(length))) return E_INVALIDARG;
  return sendRequest(direction != 0, request, value, index, buffer, length, transferred);
}

HRESULT BaseImpl::VenReqFE() {
  const HRESULT open = openForRequest();
  if (FAILED(open)) return open;
  platform::HookedSleepMs(kPauseBeforeFEMs);
  return sendRequest(false, kRequestFE, 0, 0, nullptr, 0, nullptr);
}
