// A guide port over a test catalogue, simulated cameras on a virtual clock, a device directory
// listing them and the in-memory adapter.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "core/guide_port.h"
#include "platform/device_io.h"
#include "platform/utf16.h"
#include "sim/fixed_family.h"
#include "sim/sim_bus.h"
#include "sim/virtual_clock.h"
#include "tests/support/counting_factory.h"
#include "tests/support/test_catalogue.h"

namespace testing_guide {

inline constexpr uint16_t kGuideCamera = 0xc310, kSecondGuideCamera = 0xc311, kPlainCamera = 0xc312;
inline const char* const kAdapterPath = "\\\\?\\usb#vid_10c4&pid_82cd#5&1a2b3c&0&1";

struct SimCameraSpec {
  uint16_t productId;
  bool refusesOpen;
};

class GuideRig {
 public:
  explicit GuideRig(const std::vector<SimCameraSpec>& cameras,
                    const std::vector<std::string>& adapterPaths = {}) {
    catalogue_.add(ZX_W("Guide A"), {kGuideCamera}, CountingFactory::Create, LUMORIX_FLAG_ST4);
    catalogue_.add(ZX_W("Guide B"), {kSecondGuideCamera}, CountingFactory::Create,
                   LUMORIX_FLAG_ST4);
    catalogue_.add(ZX_W("Plain"), {kPlainCamera}, CountingFactory::Create, 0);
    for (const SimCameraSpec& spec : cameras) {
      sim::SimConfig config;
      config.productId = spec.productId;
      auto camera = bus_.add(clock_, config, std::make_unique<sim::FixedFamily>(64, 16));
      if (spec.refusesOpen) camera->refuseOpen(31);
      directory_.addDosName(platform::Utf8ToWide("lumorix-") + camera->kernelId());
      cameras_.push_back(camera);
    }
    hid_.with([&](platform::MemoryHidGuide::Script& s) {
      for (const std::string& path : adapterPaths) s.paths.push_back(platform::Utf8ToWide(path));
    });
    platform::SetDeviceOpener([this](const WString& path, uint32_t* error) {
      ++opens;
      return bus_.open(path, error);
    });
  }
  ~GuideRig() {
    port.reset();
    platform::SetDeviceOpener(nullptr);
  }

  sim::SimCamera& camera(size_t i) { return *cameras_.at(i); }
  platform::MemoryHidGuide& hid() { return hid_; }
  sim::VirtualClock& clock() { return clock_; }

  sim::VirtualClock clock_;
  sim::SimBus bus_;
  TestCatalogue catalogue_;
  platform::MemoryDeviceDirectory directory_;
  platform::MemoryHidGuide hid_;
  std::vector<std::shared_ptr<sim::SimCamera>> cameras_;
  std::atomic<int> opens{0};
  std::unique_ptr<GuidePort> port = std::make_unique<GuidePort>(catalogue_.get(), directory_, hid_);
};

}  // namespace testing_guide
