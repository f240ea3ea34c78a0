// The process's ST4 guide port for guiding programs: a camera with a guide port, opened as a bare
// device, or else the USB HID guide adapter. One lock keeps connect, pulse and state apart.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "core/model_catalogue.h"
#include "platform/com_types.h"
#include "platform/device_directory.h"
#include "platform/hid_guide.h"

class CUsb;

inline constexpr uint16_t kGuideAdapterVendorId = 0x10C4;
inline constexpr uint16_t kGuideAdapterProductId = 0x82CD;

class GuidePort {
 public:
  enum class Kind { None, Camera, Adapter };

  GuidePort(const ModelCatalogue& catalogue, platform::DeviceDirectory& directory,
            platform::HidGuideSystem& hid);
  ~GuidePort();
  GuidePort(const GuidePort&) = delete;
  GuidePort& operator=(const GuidePort&) = delete;

  // Non-zero: connects unless connected (1 when connected, 0 when nothing was found). Zero:
  // disconnects whatever is connected and answers 1.
  int32_t connect(int32_t on);
  // Camera port: the request's HRESULT (0 sent), E_INVALIDARG for a direction above 4 or a
  // duration past the wire's range. Adapter: 1 when the report went out, else 0 (also for such
  // arguments). Nothing connected: 0.
  int32_t pulse(uint32_t direction, uint32_t ms);
  // 1 while a pulse runs on the connected port, else 0.
  int32_t state();
  Kind kind();

 private:
  int32_t connectCamera();
  int32_t connectAdapter();
  int32_t adapterPulse(uint32_t direction, uint32_t ms);

  const ModelCatalogue& catalogue_;
  platform::DeviceDirectory& directory_;
  platform::HidGuideSystem& hid_;
  // Holders open or close the guide device only, no camera callback: no edge in the wait table.
  std::mutex lock_;
  std::unique_ptr<CUsb> camera_;
  std::unique_ptr<platform::HidGuideDevice> adapter_;
};
