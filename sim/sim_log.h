// The simulated camera's one time-stamped log: requests, register writes, I/O controls, pipe
// operations, pauses.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

enum class LogKind { Request, RegisterWrite, Ioctl, PipeOp, Pause, Error, FpgaValue };

struct LogEntry {
  uint64_t timeMs = 0;
  LogKind kind = LogKind::Request;
  uint32_t code = 0;             // bRequest, register, I/O control code, or pause length
  uint32_t value = 0;            // wValue or register value
  uint32_t index = 0;            // wIndex
  bool in = false;               // direction of a request
  std::vector<uint8_t> payload;  // OUT data or I/O control input
  std::string text;              // pipe operation or error
};

inline LogEntry Entry(LogKind kind, uint32_t code = 0, uint32_t value = 0, uint32_t index = 0,
                      std::string text = {}) {
  LogEntry e;
  e.kind = kind;
  e.code = code;
  e.value = value;
  e.index = index;
  e.text = std::move(text);
  return e;
}

class SimLog {
 public:
  void add(LogEntry entry);
  std::vector<LogEntry> entries() const;
  void clear();

  // Convenience views for tests.
  std::vector<LogEntry> ofKind(LogKind kind) const;
  std::vector<LogEntry> requests(uint8_t bRequest) const;
  // Pipe operations and pauses in order, e.g. "abort", "pause 20", "reset".
  std::vector<std::string> pipeTimeline() const;
  std::string format() const;

 private:
  mutable std::mutex lock_;
  std::vector<LogEntry> entries_;
};

}  // namespace sim
