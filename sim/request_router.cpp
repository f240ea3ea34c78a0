// RequestRouter: one table of IN answers and one of OUT effects; anything else stalls (error 31).
#include "sim/request_router.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {
constexpr uint32_t kStall = 31;
constexpr uint8_t kDone = 8;
constexpr uint8_t kGuideState = 0x81;
constexpr uint8_t kGuidePulseFirst = 0x82, kGuidePulseLast = 0x86;
constexpr uint32_t kGuideUnitMs = 30;  // wValue counts 30 ms, wIndex the rest
constexpr uint8_t kReadSensor = 0x0A, kWriteSensor = 0x0B;
constexpr uint8_t kReadSensorAlt = 0x12, kWriteSensorAlt = 0x13;
constexpr uint8_t kBridgeClock = 0x0A;

uint32_t versionReply(const std::string& text, uint8_t* reply, uint32_t length) {
  const auto n = static_cast<uint32_t>(std::min<size_t>({text.size(), 16, length}));
  std::memcpy(reply, text.data(), n);
  return n;
}
}  // namespace

bool RequestRouter::takeFault(const Setup& setup, RequestFault* out) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->request != setup.request || (it->value != 0xFFFF && it->value != setup.value)) continue;
    *out = *it;
    if (it->times == 1)
      faults_.erase(it);
    else if (it->times > 1)
      --it->times;
    return true;
  }
  return false;
}

uint32_t RequestRouter::handle(const Setup& setup, uint8_t* data, uint32_t length,
                               uint32_t* transferred) {
  LogEntry entry = Entry(LogKind::Request, setup.request, setup.value, setup.index);
  entry.in = setup.in;
  if (!setup.in && data) entry.payload.assign(data, data + length);
  state_.record(std::move(entry));
  *transferred = 0;
  RequestFault fault{};
  const bool faulted = takeFault(setup, &fault);
  if (faulted && fault.kind == RequestFault::Kind::TransferError) return fault.error;
  if (!setup.in) {
    const uint32_t err = acceptOut(setup, data, length);
    if (!err) *transferred = length;
    return err;
  }
  uint8_t reply[4096] = {};
  uint32_t replyBytes = 0;
  const uint32_t err =
      answerIn(setup, reply, std::min<uint32_t>(length, sizeof reply), &replyBytes);
  if (err) return err;
  if (faulted && fault.kind == RequestFault::Kind::BadStatus) reply[0] = fault.status;
  if (faulted && fault.kind == RequestFault::Kind::ShortReply)
    replyBytes = std::min(replyBytes, fault.replyBytes);
  replyBytes = std::min(replyBytes, length);
  if (replyBytes) std::memcpy(data, reply, replyBytes);
  *transferred = replyBytes;
  return 0;
}

uint8_t RequestRouter::writeRegister(uint16_t reg, uint16_t value) {
  state_.record(Entry(LogKind::RegisterWrite, reg, value));
  const std::string error = state_.family->writeRegister(reg, value);
  if (!error.empty()) {
    state_.record(Entry(LogKind::Error, reg, value, 0, error));
  }
  return kDone;
}

uint32_t RequestRouter::answerIn(const Setup& s, uint8_t* reply, uint32_t length,
                                 uint32_t* replyBytes) {
  auto status = [&](uint8_t v) { reply[0] = v, *replyBytes = 1; };
  switch (s.request) {
    case kReadSensor:
    case kReadSensorAlt:
      if (s.request != state_.family->readRequest()) return kStall;
      *replyBytes = state_.family->readSensor(reply, std::min<uint32_t>(length, 3));
      return 0;
    case kWriteSensor:
    case kWriteSensorAlt:
      if (s.request != state_.family->writeRequest()) {
        state_.record(
            Entry(LogKind::Error, s.index, s.value, 0, "sensor write with another request"));
        status(kDone);
        return 0;
      }
      status(writeRegister(s.index, s.value));
      return 0;
    case 0x0D:
      state_.record(Entry(LogKind::FpgaValue, s.index, s.value));
      state_.family->writeFpga(s.index, s.value);
      status(kDone);
      return 0;
    case 0x10: {
      const int32_t mode = state_.family->regWriteMode();
      if (mode < 0) return kStall;
      status(static_cast<uint8_t>(mode));
      return 0;
    }
    case 0x17:
      *replyBytes = 2;
      return 0;
    case 0x1E:
      *replyBytes = versionReply(state_.config.firmwareText, reply, length);
      if (state_.firmwareVersion && length >= 16) reply[15] = state_.firmwareVersion;
      if (state_.firmwareVersion && length >= 16) *replyBytes = 16;
      return 0;
    case 0x1F:
      *replyBytes = versionReply(state_.config.hardwareText, reply, length);
      return 0;
    case 0x20: {
      const uint32_t n = std::min<uint32_t>(length, 0x10000u - s.value);
      for (uint32_t i = 0; i < n; ++i) {
        const size_t at = size_t{s.value} + i;
        reply[i] = at < state_.eeprom.size() ? state_.eeprom[at] : 0;
      }
      *replyBytes = n;
      return 0;
    }
    case 0x2A:
      status(kDone);
      return 0;
    case 0x2F:
      state_.family->writeResMode(s.value);
      status(kDone);
      return 0;
    case 0x2E: {
      uint8_t alternative = 0;
      if (!state_.family->altSensorReply(&alternative)) return kStall;
      status(alternative);
      return 0;
    }
    case kGuideState: {
      const uint64_t now = state_.clock.now();
      bool active = false;
      for (const GuidePulse& p : state_.guidePulses) active = active || p.activeAt(now);
      status(active ? 1 : 0);
      return 0;
    }
    default:
      if ((s.request >= 0x30 && s.request <= 0x36) || (s.request >= 0xEB && s.request <= 0xEF) ||
          s.request == 0xFE) {
        *replyBytes = length;
        return 0;
      }
      return kStall;
  }
}

uint32_t RequestRouter::acceptOut(const Setup& s, const uint8_t* data, uint32_t length) {
  switch (s.request) {
    case 0x01:
      state_.systemInit = static_cast<uint8_t>(s.value);
      return 0;
    case 0x08: {
      const bool longForm = length == 5 && data;
      uint32_t reg = s.index >> 8, value = uint32_t{s.value} << 8 | (s.index & 0xFF);
      if (longForm) {
        const uint64_t word = uint64_t{data[0]} | uint64_t{data[1]} << 8 | uint64_t{data[2]} << 16 |
                              uint64_t{data[3]} << 24 | uint64_t{data[4]} << 32;
        reg = uint32_t(word & 0xFFF), value = uint32_t(word >> 12);
      }
      state_.record(Entry(LogKind::RegisterWrite, reg, value));
      const std::string error = state_.family->writePacked(reg, value, longForm);
      if (!error.empty()) state_.record(Entry(LogKind::Error, reg, value, 0, error));
      return 0;
    }
    case kBridgeClock:
      state_.family->bridgeClock(s.index);
      return 0;
    case 0xD9:
      return length == 2048 ? 0 : kStall;
    default:
      if (s.request >= kGuidePulseFirst && s.request <= kGuidePulseLast) {
        state_.guidePulses.push_back({uint32_t{s.request} - kGuidePulseFirst,
                                      uint32_t{s.value} * kGuideUnitMs + s.index,
                                      state_.clock.now()});
        return 0;
      }
      if ((s.request >= 0x30 && s.request <= 0x36) || (s.request >= 0xEB && s.request <= 0xEF) ||
          s.request == 0xFE)
        return 0;
      return kStall;
  }
}

}  // namespace sim
