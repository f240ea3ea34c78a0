// The USB HID guide adapter's seam: finding candidate device paths, opening one, and its two
// reports.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com_types.h"
#include "platform/types.h"

namespace platform {

// One opened adapter; closing the object closes the device and frees the HID library.
class HidGuideDevice {
 public:
  virtual ~HidGuideDevice() = default;
  // The results of the HID calls: true when the report went out or came back.
  virtual bool setOutputReport(const uint8_t* report, uint32_t bytes) = 0;
  virtual bool getInputReport(uint8_t* report, uint32_t bytes) = 0;
};

class HidGuideSystem {
 public:
  virtual ~HidGuideSystem() = default;
  // Device-interface paths of present devices: those of adapterClass first, then those of the
  // HID interface class.
  virtual std::vector<WString> candidatePaths(const GUID& adapterClass) = 0;
  // Null when the path cannot be opened for reading and writing or the HID library is missing.
  virtual std::unique_ptr<HidGuideDevice> open(const WString& path) = 0;
};

// Vendor and product id read from "\\?\usb#vid_xxxx&pid_xxxx..." or "\\?\hid#vid_...", in any
// case; false when the path has neither form.
bool ParseHidVidPid(WStringView path, uint16_t* vendorId, uint16_t* productId);

// An adapter kept in memory that tests script: its paths, whether opening works, the reports
// sent and the state it answers.
class MemoryHidGuide final : public HidGuideSystem {
 public:
  struct Script {
    std::vector<WString> paths;
    bool openFails = false;
    bool libraryMissing = false;
    bool reportFails = false;
    uint8_t activeByte = 0;  // byte 1 of the state report
    std::vector<std::vector<uint8_t>> sent;
    std::vector<WString> opened;
    int openDevices = 0;
  };
  std::vector<WString> candidatePaths(const GUID& adapterClass) override;
  std::unique_ptr<HidGuideDevice> open(const WString& path) override;
  // Runs f on the script under its lock.
  template <typename F>
  auto with(F f) {
    std::lock_guard<std::mutex> hold(state_->lock);
    return f(state_->script);
  }
  void reset() {
    with([](Script& s) { s = Script{}; });
  }

 private:
  struct Shared {
    std::mutex lock;
    Script script;
  };
  std::shared_ptr<Shared> state_ = std::make_shared<Shared>();
  friend class MemoryHidDevice;
};

// The process's adapter system: the one set for tests, else the OS one (an in-memory one where
// there is no HID stack).
HidGuideSystem& CurrentHidGuide();
// Null restores the OS one.
void SetHidGuide(HidGuideSystem* system);
// The OS one.
HidGuideSystem& OsHidGuide();

}  // namespace platform
