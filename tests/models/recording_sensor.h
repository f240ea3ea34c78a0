// A sensor that only records: every write and every pause, in order, for comparing with programs.
#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <map>
#include <utility>
#include <mutex>
#include <vector>

#include "models/common/register_program.h"
#include "platform/wait_hook.h"

namespace testing_models {

class RecordingSensor final : public SensorWriter, public platform::WaitHook {
 public:
  RecordingSensor() { platform::SetWaitHook(this); }
  ~RecordingSensor() { platform::SetWaitHook(nullptr); }

  HRESULT writeSensor(uint16_t reg, uint16_t value) override {
    std::lock_guard<std::mutex> hold(mutex_);
    log_.push_back(Write(reg, value));
    registers_[reg] = value;
    return 0;
  }
  HRESULT request(uint8_t code, uint16_t value) override {
    std::lock_guard<std::mutex> hold(mutex_);
    log_.push_back(Request(code, value));
    return requestResult;
  }
  // Answers the ready byte after `readsUntilReady` reads, in `replyBytes` bytes.
  HRESULT readSensor(uint8_t* reply, uint32_t length, uint32_t* got) override {
    std::lock_guard<std::mutex> hold(mutex_);
    ++reads_;
    const uint32_t n = std::min(length, replyBytes);
    for (uint32_t i = 0; i < n; ++i)
      reply[i] = fixedReply ? (*fixedReply)[i % 3] : reads_ > readsUntilReady ? 0x2E : 0;
    *got = n;
    return S_OK;
  }
  uint32_t reads() {
    std::lock_guard<std::mutex> hold(mutex_);
    return reads_;
  }
  uint32_t readsUntilReady = 0;
  uint32_t replyBytes = 3;
  HRESULT requestResult = S_OK;
  std::optional<std::array<uint8_t, 3>> fixedReply;  // every read answers these instead
  uint32_t* tick = nullptr;  // advanced by every pause, for a test's tick source

  void sleep(uint32_t ms) override {
    std::lock_guard<std::mutex> hold(mutex_);
    log_.push_back(Wait(static_cast<uint16_t>(ms)));
    if (tick) *tick += ms;
  }
  platform::WaitResult waitAny(std::span<platform::Event* const>, uint32_t) override {
    return {platform::WaitStatus::Timeout, 0};
  }

  std::vector<RegStep> take() {
    std::lock_guard<std::mutex> hold(mutex_);
    return std::exchange(log_, {});
  }
  uint16_t reg(uint16_t r) {
    std::lock_guard<std::mutex> hold(mutex_);
    return registers_.at(r);
  }

 private:
  std::mutex mutex_;
  std::vector<RegStep> log_;
  std::map<uint16_t, uint16_t> registers_;
  uint32_t reads_ = 0;
};

}  // namespace testing_models
