// CUsb as a device object: opening by id over either back-end, descriptor, pipe and port
// operations.
#include "usb/cusb.h"

#include <atomic>

#include "base/trace.h"
#include "platform/clock.h"
#include "usb/device_id.h"
#include "usb/ioctl_codes.h"
#include "usb/kernel_driver_backend.h"
#include "usb/winusb_backend.h"

using platform::kErrorSuccess;

namespace {
std::atomic<const platform::WinUsbApi*> injectedWinUsb{nullptr};

const platform::WinUsbApi* winUsbApi() {
  const platform::WinUsbApi* api = injectedWinUsb.load(std::memory_order_acquire);
  return api ? api : platform::SystemWinUsb();
}

constexpr uint32_t kErrorModNotFound = 126;
}  // namespace

void SetWinUsbApi(const platform::WinUsbApi* api) {
  injectedWinUsb.store(api, std::memory_order_release);
}

CUsb::CUsb(uint32_t transferSize, uint8_t inEndpoint, const ModelInfo* model,
           const WCHAR16* deviceId)
    : model_(model),
      transferSize_(transferSize),
      inEndpoint_(inEndpoint),
      deviceId_(deviceId ? deviceId : ZX_W("")),
      resetBudget_(static_cast<int32_t>(readsInFlight_) + 1) {}

CUsb::~CUsb() {
  bFiniUSB();
}

HRESULT CUsb::OpenInternalHandle() {
  ZX_TRACE("%s", "OpenInternalHandle");
  reprobeTick_ = 0;
  generalFailure_ = false;
  CloseInternalHandle();
  // A bad id is refused before any open, so no stale system error can pass for its cause.
  if (!deviceId_.empty() && deviceId_[0] == '\\') {
    const auto id = usb::ParseInterfacePath(deviceId_);
    if (id && id->vendorId && id->productId) {
      productId_ = id->productId;
      return openWinUsb(usb::WinUsbDevicePath(deviceId_));
    }
  } else if (const auto id = usb::ParseKernelId(deviceId_)) {
    productId_ = id->productId;
    return openKernelDriver(usb::KernelDevicePath(deviceId_));
  }
  ZX_TRACE_ERROR("%s error, %u", "OpenInternalHandle", 0u);
  return E_FAIL;
}

HRESULT CUsb::openKernelDriver(const WString& path) {
  uint32_t err = 0;
  auto device = platform::OpenDevice(path, &err);
  if (!device) {
    ZX_TRACE_ERROR("%s error, %u", "OpenInternalHandle", err);
    return err ? HRESULT_FROM_WIN32(err) : E_FAIL;
  }
  backend_ = std::make_unique<usb::KernelDriverBackend>(std::move(device));
  pipeUsers_.opened();
  kernelDriver_ = true;
  PostOpenHandle();
  return S_OK;
}

HRESULT CUsb::openWinUsb(const WString& path) {
  uint32_t err = 0;
  auto device = platform::OpenDevice(path, &err);
  if (!device) {
    ZX_TRACE_ERROR("%s error, %u", "OpenInternalHandle", err);
    return err ? HRESULT_FROM_WIN32(err) : E_FAIL;
  }
  const platform::WinUsbApi* api = winUsbApi();
  if (!api) return HRESULT_FROM_WIN32(kErrorModNotFound);
  auto winusb = usb::WinUsbBackend::bind(device, *api, &err);
  if (!winusb) return err ? HRESULT_FROM_WIN32(err) : E_FAIL;  // `device` closes here
  winusb->setRawIo(inEndpoint_);
  backend_ = std::move(winusb);
  pipeUsers_.opened();
  kernelDriver_ = false;
  PostOpenHandle();
  return S_OK;
}

uint16_t CUsb::PostOpenHandle() {
  ZX_TRACE("%s", "PostOpenHandle");
  uint8_t descriptor[usb::kDeviceDescriptorBytes] = {};
  uint32_t n = 0;
  if (backend_ && backend_->deviceDescriptor(descriptor, sizeof descriptor, &n) == kErrorSuccess &&
      n >= 14)
    revision_ = static_cast<uint16_t>(descriptor[12] | descriptor[13] << 8);
  ZX_TRACE_ERROR("%s, %hu", "EzGetRevision", revision_);
  return revision_;
}

void CUsb::CloseInternalHandle() {
  if (!backend_) return;
  ZX_TRACE("%s", "CloseInternalHandle");
  // Each transfer's own pipe, which for a write is an OUT one.
  pipeUsers_.close([this](uint32_t endpoint) {
    ZX_TRACE("%s: %08x", "AbortPipe", static_cast<unsigned>(endpoint));
    abortEndpoint(static_cast<uint8_t>(endpoint));
  });
  backend_.reset();
}

HRESULT CUsb::AbortPipe(uint8_t endpoint) {
  ZX_TRACE("%s: %08x", "AbortPipe", static_cast<unsigned>(endpoint));
  return abortEndpoint(usb::ReadEndpoint(endpoint));
}

HRESULT CUsb::abortEndpoint(uint8_t address) {
  if (!backend_) return E_UNEXPECTED;
  const uint32_t err = backend_->abortPipe(address);
  return err == kErrorSuccess ? S_OK : HRESULT_FROM_WIN32(err);
}

HRESULT CUsb::ResetPipe() {
  ZX_TRACE_ERROR("%s", "ResetPipe");
  if (!backend_) return E_UNEXPECTED;
  const uint32_t err = backend_->resetPipe(usb::ReadEndpoint(inEndpoint_));
  return err == kErrorSuccess ? S_OK : HRESULT_FROM_WIN32(err);
}

HRESULT CUsb::ResetPort() {
  if (!backend_ || !kernelDriver_) return E_UNEXPECTED;
  ZX_TRACE("%s", "ResetPort");
  const uint32_t err = backend_->resetPort();
  return err == kErrorSuccess ? S_OK : HRESULT_FROM_WIN32(err);
}

void CUsb::SetInterface(uint8_t) {
  if (!backend_ || !kernelDriver_) return;
  ZX_TRACE("%s: %u", "SetInterface", static_cast<unsigned char>(1));
  backend_->selectAltSetting();
}

uint32_t CUsb::bGetDriverState() {
  if (backend_ && !kernelDriver_) return 1;
  uint32_t state = 0;
  if (!backend_ || backend_->driverState(&state) != kErrorSuccess) return 0xFFFFFFFFu;
  return state;
}

void CUsb::bSetDriverState() {
  if (backend_ && kernelDriver_) backend_->setDriverState();
}

bool CUsb::bProbeGenFailure(uint32_t win32Error) {
  if (generalFailure_) return true;
  if (win32Error != platform::kErrorGenFailure || !backend_) return false;
  uint8_t failed = 0;
  if (!kernelDriver_ || (backend_->genFailureByte(&failed) == kErrorSuccess && failed)) {
    generalFailure_ = true;
    reprobeTick_ = platform::TickCountMs();
  }
  return generalFailure_;
}

void CUsb::setEventSink(UsbEventSink sink, void* context) {
  eventSink_ = sink;
  eventContext_ = context;
}

void CUsb::raiseEvent(uint32_t code) {
  if (eventSink_) eventSink_(eventContext_, code);
}
