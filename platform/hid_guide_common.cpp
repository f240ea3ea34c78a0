// The adapter path parser, the in-memory adapter and the process's current adapter system.
#include <atomic>

#include "platform/hid_guide.h"

namespace platform {

namespace {

std::atomic<HidGuideSystem*> gOverride{nullptr};

WCHAR16 lower(WCHAR16 c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<WCHAR16>(c - 'A' + 'a') : c;
}

// Matches text (lower case) at pos in any case and moves past it.
bool take(WStringView path, size_t& pos, const char* text) {
  for (; *text; ++text, ++pos)
    if (pos >= path.size() || lower(path[pos]) != static_cast<WCHAR16>(*text)) return false;
  return true;
}

// One to four hex digits, as the device path writes them.
bool hex16(WStringView path, size_t& pos, uint16_t* value) {
  uint32_t v = 0;
  size_t digits = 0;
  for (; digits < 4 && pos < path.size(); ++digits, ++pos) {
    const WCHAR16 c = lower(path[pos]);
    if (c >= '0' && c <= '9')
      v = v * 16 + (c - '0');
    else if (c >= 'a' && c <= 'f')
      v = v * 16 + (c - 'a' + 10);
    else
      break;
  }
  *value = static_cast<uint16_t>(v);
  return digits > 0;
}

}  // namespace

bool ParseHidVidPid(WStringView path, uint16_t* vendorId, uint16_t* productId) {
  for (const char* bus : {"\\\\?\\usb#vid_", "\\\\?\\hid#vid_"}) {
    size_t pos = 0;
    if (!take(path, pos, bus) || !hex16(path, pos, vendorId)) continue;
    if (take(path, pos, "&pid_") && hex16(path, pos, productId)) return true;
  }
  return false;
}

class MemoryHidDevice final : public HidGuideDevice {
 public:
  explicit MemoryHidDevice(std::shared_ptr<MemoryHidGuide::Shared> state)
      : state_(std::move(state)) {}
  ~MemoryHidDevice() override {
    std::lock_guard<std::mutex> hold(state_->lock);
    --state_->script.openDevices;
  }
  bool setOutputReport(const uint8_t* report, uint32_t bytes) override {
    std::lock_guard<std::mutex> hold(state_->lock);
    if (state_->script.reportFails) return false;
    state_->script.sent.emplace_back(report, report + bytes);
    return true;
  }
  bool getInputReport(uint8_t* report, uint32_t bytes) override {
    std::lock_guard<std::mutex> hold(state_->lock);
    if (state_->script.reportFails || bytes < 2 || report[0] != 0x05) return false;
    report[1] = state_->script.activeByte;
    return true;
  }

 private:
  std::shared_ptr<MemoryHidGuide::Shared> state_;
};

std::vector<WString> MemoryHidGuide::candidatePaths(const GUID&) {
  return with([](Script& s) { return s.paths; });
}

std::unique_ptr<HidGuideDevice> MemoryHidGuide::open(const WString& path) {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->script.opened.push_back(path);
  if (state_->script.openFails || state_->script.libraryMissing) return nullptr;
  ++state_->script.openDevices;
  return std::make_unique<MemoryHidDevice>(state_);
}

HidGuideSystem& CurrentHidGuide() {
  HidGuideSystem* set = gOverride.load();
  return set ? *set : OsHidGuide();
}

void SetHidGuide(HidGuideSystem* system) {
  gOverride = system;
}

#ifndef _WIN32
HidGuideSystem& OsHidGuide() {
  static MemoryHidGuide none;  // no HID stack here: no adapter is ever present
  return none;
}
#endif

}  // namespace platform
