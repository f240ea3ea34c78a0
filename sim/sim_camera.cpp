// SimCamera: every device operation takes the camera's lock, logs, and answers as the device would.
#include "sim/sim_camera.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

namespace sim {
namespace {
constexpr uint32_t kNotConnected = platform::kErrorNotConnected;
constexpr uint32_t kLoopbackOut = 0x02, kLoopbackIn = 0x82;

WString widen(const char* text) {
  WString out;
  for (; *text; ++text) out.push_back(static_cast<WCHAR16>(*text));
  return out;
}
}  // namespace

SimCamera::SimCamera(Clock& clock, SimConfig config, std::unique_ptr<SensorFamily> family)
    : state_(clock, config, std::move(family)), router_(state_), stream_(state_, lock_) {}

SimCamera::~SimCamera() {
  state_.clock.cancel(&stream_);
  state_.clock.cancel(&state_.loopback);
  std::lock_guard<std::mutex> hold(lock_);
  stream_.failAll(platform::kErrorOperationAborted);
  endHeldTransfers();
}

WString SimCamera::kernelId() const {
  char text[32];
  std::snprintf(text, sizeof text, "%u-%04x", state_.config.instance, state_.config.productId);
  return widen(text);
}

WString SimCamera::interfaceId() const {
  char text[96];
  std::snprintf(text, sizeof text, "\\\\?\\usb#vid_%04x&pid_%04x#sim%u", state_.config.vendorId,
                state_.config.productId, state_.config.instance);
  return widen(text);
}

WString SimCamera::kernelPath() const {
  return widen("\\\\.\\lumorix-") + kernelId();
}
WString SimCamera::winUsbPath() const {
  return interfaceId() + widen("#{05476310-0000-0000-0000-000000000000}");
}

void SimCamera::setUnplugged(bool unplugged) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.unplugged = unplugged;
  if (unplugged) stream_.failAll(kNotConnected);
}

void SimCamera::refuseOpen(uint32_t error) {
  std::lock_guard<std::mutex> hold(lock_);
  refuseOpen_ = error;
}

void SimCamera::setEeprom(std::vector<uint8_t> bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.eeprom = std::move(bytes);
}

void SimCamera::setContent(ContentKind kind, SceneOptions scene) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.content = kind;
  state_.scene = scene;
}

void SimCamera::setFramePeriodMs(uint32_t ms) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.framePeriodMs = ms;
}

void SimCamera::setGenFailure(bool failed) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.genFailure = failed;
}

void SimCamera::failNextPipe(uint32_t error) {
  std::lock_guard<std::mutex> hold(lock_);
  failNextPipe_ = error;
}

void SimCamera::setVersionTexts(std::string firmware, std::string hardware) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.config.firmwareText = std::move(firmware);
  state_.config.hardwareText = std::move(hardware);
}

void SimCamera::setFirmwareVersion(uint8_t version) {
  std::lock_guard<std::mutex> hold(lock_);
  state_.firmwareVersion = version;
}

void SimCamera::addRequestFault(RequestFault fault) {
  std::lock_guard<std::mutex> hold(lock_);
  router_.addFault(fault);
}

void SimCamera::addStreamFault(StreamFault fault) {
  std::lock_guard<std::mutex> hold(lock_);
  stream_.addFault(fault);
}

void SimCamera::joinAtBlock(uint32_t blocks) {
  std::lock_guard<std::mutex> hold(lock_);
  stream_.joinAtBlock(blocks);
}

void SimCamera::setAbortDelayMs(uint32_t ms) {
  std::lock_guard<std::mutex> hold(lock_);
  stream_.setAbortDelay(ms);
}

void SimCamera::failNextControl(uint32_t error) {
  std::lock_guard<std::mutex> hold(lock_);
  failNextControl_ = error;
}

uint32_t SimCamera::outstandingReads() {
  std::lock_guard<std::mutex> hold(lock_);
  return stream_.outstanding();
}

uint32_t SimCamera::framesSent() {
  std::lock_guard<std::mutex> hold(lock_);
  return stream_.framesSent();
}

uint32_t SimCamera::frameNumber() {
  std::lock_guard<std::mutex> hold(lock_);
  return stream_.frameNumber();
}

uint8_t SimCamera::systemInitValue() {
  std::lock_guard<std::mutex> hold(lock_);
  return state_.systemInit;
}

std::vector<PipePolicy> SimCamera::pipePolicies() {
  std::lock_guard<std::mutex> hold(lock_);
  return policies_;
}

uint32_t SimCamera::openError() {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return platform::kErrorFileNotFound;
  return refuseOpen_;
}

// Closing the handle ends its reads, as the driver does when its last handle goes.
void SimCamera::closed() {
  std::lock_guard<std::mutex> hold(lock_);
  stream_.abort("close");
  endHeldTransfers();
}

uint32_t SimCamera::control(const Setup& setup, uint8_t* data, uint32_t length,
                            uint32_t* transferred, bool winUsb) {
  std::lock_guard<std::mutex> hold(lock_);
  *transferred = 0;
  if (state_.unplugged) return kNotConnected;
  if (winUsb && failNextControl_) {
    const uint32_t err = failNextControl_;
    failNextControl_ = 0;
    return err;
  }
  const uint32_t err = router_.handle(setup, data, length, transferred);
  stream_.kick();
  return err;
}

uint32_t SimCamera::descriptor(uint8_t* out, uint32_t length, uint32_t* transferred) {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  const SimConfig& c = state_.config;
  const bool usb3 = c.maxPacket >= 1024;
  const uint8_t d[18] = {18,
                         1,
                         0x00,
                         static_cast<uint8_t>(usb3 ? 3 : 2),
                         0xFF,
                         0,
                         0,
                         static_cast<uint8_t>(usb3 ? 9 : 64),
                         static_cast<uint8_t>(c.vendorId),
                         static_cast<uint8_t>(c.vendorId >> 8),
                         static_cast<uint8_t>(c.productId),
                         static_cast<uint8_t>(c.productId >> 8),
                         static_cast<uint8_t>(c.bcdDevice),
                         static_cast<uint8_t>(c.bcdDevice >> 8),
                         1,
                         2,
                         0,
                         1};
  *transferred = length < 18 ? length : 18;
  std::memcpy(out, d, *transferred);
  return 0;
}

uint32_t SimCamera::submitRead(void* buffer, uint32_t length, platform::AsyncIo& io) {
  std::lock_guard<std::mutex> hold(lock_);
  return stream_.submit(buffer, length, io);
}

uint32_t SimCamera::submitPipeRead(uint32_t pipe, void* buffer, uint32_t length,
                                   platform::AsyncIo& io) {
  {
    std::unique_lock<std::mutex> hold(lock_);
    if (const uint32_t error = std::exchange(failNextPipe_, 0)) return error;
    if (holds(pipe)) {
      holdTransfer(hold, static_cast<uint8_t>(pipe | 0x80), io);
      return platform::kErrorIoPending;
    }
    if ((pipe & 0xFF) == kLoopbackIn && !state_.loopback.empty()) {
      const auto n = static_cast<uint32_t>(std::min<size_t>(length, state_.loopback.size()));
      std::memcpy(buffer, state_.loopback.data(), n);
      state_.loopback.erase(state_.loopback.begin(), state_.loopback.begin() + n);
      state_.record(Entry(LogKind::PipeOp, pipe, n, 0, "read"));
      // Completed from the clock like every read, never inside the submit, and under the lock
      // like them: a cancel working on the read waits for its completion to end.
      state_.clock.at(state_.clock.now(), &state_.loopback, [this, &io, n] {
        std::lock_guard<std::mutex> completing(lock_);
        io.error = 0;
        io.transferred = n;
        platform::SignalAsync(io);
      });
      return platform::kErrorIoPending;
    }
  }
  return submitRead(buffer, length, io);
}

uint32_t SimCamera::readResult(platform::AsyncIo& io, uint32_t* transferred) {
  std::lock_guard<std::mutex> hold(lock_);
  return stream_.result(io, transferred);
}

void SimCamera::cancelRead(platform::AsyncIo& io) {
  std::lock_guard<std::mutex> hold(lock_);
  stream_.cancel(io);
  const auto held = std::find_if(heldTransfers_.begin(), heldTransfers_.end(),
                                 [&io](const auto& transfer) { return transfer.second == &io; });
  if (held == heldTransfers_.end()) return;
  heldTransfers_.erase(held);
  io.error = platform::kErrorOperationAborted;
  io.transferred = 0;
  platform::SignalAsync(io);
}

uint32_t SimCamera::abortPipe(uint8_t pipe) {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  ++pipeAborts_;
  if (pipe == 0 || (pipe & 0x80)) stream_.abort();  // the stream's reads are on an IN pipe
  if (delayed_ && (pipe == 0 || pipe == delayed_->address)) {
    delayed_->aborted = true;
    delayEnds_.notify_all();
  }
  endHeldTransfers(pipe);
  return 0;
}

// Waits first, when delayed, for the abort it must come just after; the lock is let go meanwhile.
void SimCamera::holdTransfer(std::unique_lock<std::mutex>& lock, uint8_t address,
                             platform::AsyncIo& io) {
  if (std::exchange(delayNext_, false)) {
    delayed_ = Delayed{address, false};
    delayEnds_.wait_for(lock, std::chrono::milliseconds(kDelayLimitMs),
                        [this] { return delayed_->aborted; });
    delayed_.reset();
  }
  heldTransfers_.emplace_back(address, &io);
}

void SimCamera::endHeldTransfers(uint8_t address) {
  auto held = heldTransfers_.begin();
  while (held != heldTransfers_.end()) {
    if (address != 0 && held->first != address) {
      ++held;
      continue;
    }
    held->second->error = platform::kErrorOperationAborted;
    held->second->transferred = 0;
    platform::SignalAsync(*held->second);
    held = heldTransfers_.erase(held);
  }
}

void SimCamera::holdPipe(uint8_t pipe) {
  std::lock_guard<std::mutex> hold(lock_);
  heldPipe_ = pipe & 0x7F;
}

void SimCamera::delayNextHeldTransfer() {
  std::lock_guard<std::mutex> hold(lock_);
  delayNext_ = true;
}

uint32_t SimCamera::heldPipeTransfers() {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<uint32_t>(heldTransfers_.size()) + (delayed_ ? 1u : 0u);
}

uint32_t SimCamera::pipeAborts() {
  std::lock_guard<std::mutex> hold(lock_);
  return pipeAborts_;
}

uint32_t SimCamera::resetPipe() {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  stream_.resetPipe();
  return 0;
}

uint32_t SimCamera::pipeOp(const char* name) {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  state_.record(Entry(LogKind::PipeOp, 0, 0, 0, name));
  return 0;
}

uint32_t SimCamera::resetPort() {
  return pipeOp("reset-port");
}
uint32_t SimCamera::selectAltSetting() {
  return pipeOp("select-alt");
}

uint32_t SimCamera::driverState(uint32_t* value) {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  *value = state_.driverState;
  return 0;
}

uint32_t SimCamera::setDriverState(uint32_t value) {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  state_.driverState = value;
  return 0;
}

uint8_t SimCamera::genFailure() {
  std::lock_guard<std::mutex> hold(lock_);
  return state_.genFailure;
}

uint32_t SimCamera::writePipe(uint32_t pipe, const uint8_t* data, uint32_t length) {
  std::lock_guard<std::mutex> hold(lock_);
  if (state_.unplugged) return kNotConnected;
  if (const uint32_t error = std::exchange(failNextPipe_, 0)) return error;
  LogEntry e = Entry(LogKind::PipeOp, pipe, length, 0, "write");
  if (data) e.payload.assign(data, data + length);
  state_.record(std::move(e));
  if ((pipe & 0xFF) == kLoopbackOut && data)
    state_.loopback.insert(state_.loopback.end(), data, data + length);
  return 0;
}

bool SimCamera::holdPipeWrite(uint32_t pipe, platform::AsyncIo& io) {
  std::unique_lock<std::mutex> hold(lock_);
  if (state_.unplugged || failNextPipe_ || !holds(pipe)) return false;
  holdTransfer(hold, static_cast<uint8_t>(pipe & 0x7F), io);
  return true;
}

std::vector<uint8_t> SimCamera::loopbackBytes() {
  std::lock_guard<std::mutex> hold(lock_);
  return state_.loopback;
}

std::vector<GuidePulse> SimCamera::guidePulses() {
  std::lock_guard<std::mutex> hold(lock_);
  return state_.guidePulses;
}

void SimCamera::setPipePolicy(PipePolicy policy) {
  std::lock_guard<std::mutex> hold(lock_);
  LogEntry e = Entry(LogKind::PipeOp, policy.pipe, policy.policy, 0, "policy");
  e.payload = policy.value;
  state_.record(std::move(e));
  policies_.push_back(std::move(policy));
}

void SimCamera::recordIoctl(uint32_t code, const void* in, uint32_t inBytes) {
  LogEntry e = Entry(LogKind::Ioctl, code);
  if (in && inBytes)
    e.payload.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inBytes);
  std::lock_guard<std::mutex> hold(lock_);
  state_.record(std::move(e));
}

}  // namespace sim
