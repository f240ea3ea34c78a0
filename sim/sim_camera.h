// One simulated camera: identity, request router, bulk stream and log behind one lock.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/types.h"
#include "sim/bulk_stream.h"
#include "sim/device_state.h"
#include "sim/request_router.h"

namespace sim {

struct PipePolicy {
  uint8_t pipe;
  uint32_t policy;
  std::vector<uint8_t> value;
};

class SimCamera {
 public:
  SimCamera(Clock& clock, SimConfig config, std::unique_ptr<SensorFamily> family);
  ~SimCamera();
  SimCamera(const SimCamera&) = delete;
  SimCamera& operator=(const SimCamera&) = delete;

  // The two id forms: "<instance>-<pid>" and a device-interface path; and the paths they open.
  WString kernelId() const;
  uint16_t productId() const { return state_.config.productId; }
  WString interfaceId() const;
  WString kernelPath() const;
  WString winUsbPath() const;

  // Test controls.
  void setUnplugged(bool unplugged);
  void refuseOpen(uint32_t error);  // 0 accepts again
  void setEeprom(std::vector<uint8_t> bytes);
  void setContent(ContentKind kind, SceneOptions scene = {});
  void setFramePeriodMs(uint32_t ms);
  void setGenFailure(bool failed);
  void setFirmwareVersion(uint8_t version);
  void setVersionTexts(std::string firmware, std::string hardware);  // 0..16 bytes each
  void addRequestFault(RequestFault fault);
  void addStreamFault(StreamFault fault);
  // The next frame is joined at this block, as by a host that missed its start.
  void joinAtBlock(uint32_t blocks);
  void setAbortDelayMs(uint32_t ms);
  void failNextControl(uint32_t error);  // the next WinUSB control transfer only
  void failNextPipe(uint32_t error);     // the next raw pipe read or write
  // Reads and writes of this pipe number (the IN bit aside; 0: none) get no answer; an abort of
  // their pipe, a cancel or the close ends each with 995.
  void holdPipe(uint8_t pipe);
  // The next held transfer reaches the device only once it has seen an abort of that transfer's
  // pipe (or kDelayLimitMs passed): one the host sent just as a close's first abort went out.
  void delayNextHeldTransfer();
  static constexpr uint32_t kDelayLimitMs = 10000;

  // Observation.
  SimLog& log() { return state_.log; }
  uint32_t outstandingReads();
  uint32_t heldPipeTransfers();  // the delayed one among them
  uint32_t pipeAborts();         // of any pipe
  uint32_t framesSent();
  uint32_t frameNumber();  // the next frame's, which a frame fault names
  uint8_t systemInitValue();
  std::vector<PipePolicy> pipePolicies();
  std::vector<GuidePulse> guidePulses();
  std::vector<uint8_t> loopbackBytes();  // written to pipe 2, not read back yet
  template <typename F>
  auto withFamily(F f) {
    std::lock_guard<std::mutex> hold(lock_);
    return f(*state_.family);
  }

  // The device side the two flavours drive; each returns 0 or a Win32 error.
  uint32_t openError();
  void closed();
  uint32_t control(const Setup& setup, uint8_t* data, uint32_t length, uint32_t* transferred,
                   bool winUsb);
  uint32_t descriptor(uint8_t* out, uint32_t length, uint32_t* transferred);
  uint32_t submitRead(void* buffer, uint32_t length, platform::AsyncIo& io);
  // A raw read of one pipe: what pipe 2 received comes back on 0x82 before any frame data.
  uint32_t submitPipeRead(uint32_t pipe, void* buffer, uint32_t length, platform::AsyncIo& io);
  uint32_t readResult(platform::AsyncIo& io, uint32_t* transferred);
  void cancelRead(platform::AsyncIo& io);
  // WinUSB names the pipe it aborts, direction bit included, and ends only that pipe's held
  // transfers; the kernel driver's request names none (0) and ends them all. The stream's reads
  // end unless an OUT pipe is named.
  uint32_t abortPipe(uint8_t pipe = 0);
  uint32_t resetPipe();
  uint32_t resetPort();
  uint32_t selectAltSetting();
  uint32_t driverState(uint32_t* state);
  uint32_t setDriverState(uint32_t value);
  uint8_t genFailure();
  uint32_t writePipe(uint32_t pipe, const uint8_t* data, uint32_t length);
  // True when the device keeps this write unanswered: it then holds `io` and ends it as a held
  // read. False when the device answers it, through writePipe.
  bool holdPipeWrite(uint32_t pipe, platform::AsyncIo& io);
  void setPipePolicy(PipePolicy policy);
  void recordIoctl(uint32_t code, const void* in, uint32_t inBytes);

 private:
  uint32_t pipeOp(const char* name);
  bool holds(uint32_t pipe) const { return heldPipe_ != 0 && (pipe & 0x7F) == heldPipe_; }
  void holdTransfer(std::unique_lock<std::mutex>& lock, uint8_t address, platform::AsyncIo& io);
  void endHeldTransfers(uint8_t address = 0);  // under lock_; 0: every pipe

  std::mutex lock_;
  DeviceState state_;
  RequestRouter router_;
  BulkStream stream_;
  uint32_t refuseOpen_ = 0;
  uint32_t failNextControl_ = 0;
  uint32_t failNextPipe_ = 0;
  uint8_t heldPipe_ = 0;
  bool delayNext_ = false;
  struct Delayed {
    uint8_t address;
    bool aborted;
  };
  std::optional<Delayed> delayed_;  // the held transfer waiting to reach the device
  std::condition_variable delayEnds_;
  uint32_t pipeAborts_ = 0;
  std::vector<std::pair<uint8_t, platform::AsyncIo*>> heldTransfers_;  // endpoint address, request
  std::vector<PipePolicy> policies_;
};

}  // namespace sim
