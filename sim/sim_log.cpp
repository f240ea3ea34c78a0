// SimLog: appended from any thread; read as copies.
#include "sim/sim_log.h"

#include <cstdio>

namespace sim {

void SimLog::add(LogEntry entry) {
  std::lock_guard<std::mutex> hold(lock_);
  entries_.push_back(std::move(entry));
}

std::vector<LogEntry> SimLog::entries() const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_;
}

void SimLog::clear() {
  std::lock_guard<std::mutex> hold(lock_);
  entries_.clear();
}

std::vector<LogEntry> SimLog::ofKind(LogKind kind) const {
  std::vector<LogEntry> out;
  for (auto& e : entries())
    if (e.kind == kind) out.push_back(e);
  return out;
}

std::vector<LogEntry> SimLog::requests(uint8_t bRequest) const {
  std::vector<LogEntry> out;
  for (auto& e : entries())
    if (e.kind == LogKind::Request && e.code == bRequest) out.push_back(e);
  return out;
}

std::vector<std::string> SimLog::pipeTimeline() const {
  std::vector<std::string> out;
  for (auto& e : entries()) {
    if (e.kind == LogKind::PipeOp) out.push_back(e.text);
    if (e.kind == LogKind::Pause) out.push_back("pause " + std::to_string(e.code));
  }
  return out;
}

std::string SimLog::format() const {
  static const char* const kNames[] = {"request", "register", "ioctl", "pipe",
                                       "pause",   "error",    "fpga"};
  std::string out;
  char line[160];
  for (auto& e : entries()) {
    std::snprintf(line, sizeof line, "%8llu ms %-8s code=0x%04x value=0x%04x index=0x%04x %s%s",
                  static_cast<unsigned long long>(e.timeMs), kNames[static_cast<int>(e.kind)],
                  e.code, e.value, e.index,
                  e.kind == LogKind::Request ? (e.in ? "IN " : "OUT ") : "", e.text.c_str());
    out += line;
    for (size_t i = 0; i < e.payload.size() && i < 16; ++i) {
      std::snprintf(line, sizeof line, " %02x", e.payload[i]);
      out += line;
    }
    out += '\n';
  }
  return out;
}

}  // namespace sim
