// Answers the camera's vendor requests for either flavour, logs them and applies per-request
// faults.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/device_state.h"

namespace sim {

struct Setup {
  bool in;
  uint8_t request;
  uint16_t value;
  uint16_t index;
};

struct RequestFault {
  enum class Kind { TransferError, BadStatus, ShortReply };
  uint8_t request;
  Kind kind;
  uint32_t error = 31;      // TransferError: the Win32 error
  uint8_t status = 0;       // BadStatus: the status byte sent instead of 8
  uint32_t replyBytes = 0;  // ShortReply: bytes actually sent
  uint32_t times = 1;       // 0: every time
  uint16_t value = 0xFFFF;  // only for this wValue (0xFFFF: any)
};

class RequestRouter {
 public:
  explicit RequestRouter(DeviceState& state) : state_(state) {}

  void addFault(RequestFault fault) { faults_.push_back(fault); }
  // 0 or a Win32 error; `transferred` is the reply length for IN and the data length for OUT.
  uint32_t handle(const Setup& setup, uint8_t* data, uint32_t length, uint32_t* transferred);

 private:
  bool takeFault(const Setup& setup, RequestFault* out);
  uint32_t answerIn(const Setup& setup, uint8_t* reply, uint32_t length, uint32_t* replyBytes);
  uint32_t acceptOut(const Setup& setup, const uint8_t* data, uint32_t length);
  uint8_t writeRegister(uint16_t reg, uint16_t value);

  DeviceState& state_;
  std::vector<RequestFault> faults_;
};

}  // namespace sim
