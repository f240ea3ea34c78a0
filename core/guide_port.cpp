// GuidePort: the first camera with a guide port that opens wins; without one, the HID adapter.
#include "core/guide_port.h"

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/camera_enumeration.h"
#include "core/device_access_limits.h"
#include "usb/cusb.h"

namespace {

constexpr uint32_t kBareTransferBytes = 0x10000;  // a bare device never streams
constexpr uint8_t kBareInEndpoint = 0x82;
constexpr uint8_t kPulseReportId = 0x03;
constexpr uint8_t kStateReportId = 0x05;
constexpr uint8_t kPulseRequestFirst = 0x82;

}  // namespace

GuidePort::GuidePort(const ModelCatalogue& catalogue, platform::DeviceDirectory& directory,
                     platform::HidGuideSystem& hid)
    : catalogue_(catalogue), directory_(directory), hid_(hid) {}

GuidePort::~GuidePort() {
  connect(0);
}

int32_t GuidePort::connect(int32_t on) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!on) {
    if (camera_) camera_->CloseInternalHandle();
    camera_.reset();
    adapter_.reset();
    return 1;
  }
  if (camera_ || adapter_) return 1;
  if (connectCamera()) return 1;
  return connectAdapter();
}

int32_t GuidePort::connectCamera() {
  CameraDeviceRecord records[kMaxCameraRecords];
  const uint32_t count = EnumerateCameras(records, catalogue_, directory_);
  for (uint32_t i = 0; i < count; ++i) {
    const ModelInfo* model = records[i].model.info;
    if (!model || (model->flags & LUMORIX_FLAG_ST4) == 0) continue;
    auto device = std::make_unique<CUsb>(kBareTransferBytes, kBareInEndpoint, model, records[i].id);
    if (FAILED(device->OpenInternalHandle())) continue;  // the next one may open
    camera_ = std::move(device);
    return 1;
  }
  return 0;
}

int32_t GuidePort::connectAdapter() {
  for (const WString& path : hid_.candidatePaths(kCameraInterfaceClass)) {
    uint16_t vendor = 0, product = 0;
    if (!platform::ParseHidVidPid(path, &vendor, &product)) continue;
    if (vendor != kGuideAdapterVendorId || product != kGuideAdapterProductId) continue;
    adapter_ = hid_.open(path);
    if (!adapter_) ZX_TRACE_ERROR("%s: the adapter cannot be opened", "GuidePort");
    return adapter_ ? 1 : 0;
  }
  return 0;
}

int32_t GuidePort::pulse(uint32_t direction, uint32_t ms) {
  std::lock_guard<std::mutex> hold(lock_);
  if (camera_) {
    if (!GuideArgumentsValid(direction, ms)) return E_INVALIDARG;
    return camera_->bST4PulseGuide(static_cast<uint8_t>(direction), ms);
  }
  return adapter_ ? adapterPulse(direction, ms) : 0;
}

// The adapter takes the duration in milliseconds in 16 bits: a longer one is refused, not cut.
int32_t GuidePort::adapterPulse(uint32_t direction, uint32_t ms) {
  if (direction > kMaxGuideDirection || ms > kMaxAdapterPulseMs) return 0;
  const uint8_t report[4] = {kPulseReportId, static_cast<uint8_t>(kPulseRequestFirst + direction),
                             static_cast<uint8_t>(ms), static_cast<uint8_t>(ms >> 8)};
  return adapter_->setOutputReport(report, sizeof report) ? 1 : 0;
}

int32_t GuidePort::state() {
  std::lock_guard<std::mutex> hold(lock_);
  if (camera_) return camera_->bST4GuideState() ? 1 : 0;
  if (!adapter_) return 0;
  uint8_t report[2] = {kStateReportId, 0};
  return adapter_->getInputReport(report, sizeof report) && report[1] != 0 ? 1 : 0;
}

GuidePort::Kind GuidePort::kind() {
  std::lock_guard<std::mutex> hold(lock_);
  return camera_ ? Kind::Camera : adapter_ ? Kind::Adapter : Kind::None;
}
