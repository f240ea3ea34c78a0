// Win32-style events: auto- or manual-reset, sticky, waited on singly or as a set.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

namespace platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
// WaitForMultipleObjects takes at most this many handles; the POSIX side keeps the same limit.
inline constexpr uint32_t kMaxWaitObjects = 64;

enum class WaitStatus { Signalled, Timeout, Failed };

struct WaitResult {
  WaitStatus status;
  uint32_t index;  // lowest signalled index when status is Signalled
  bool signalled() const { return status == WaitStatus::Signalled; }
};

class Event {
 public:
  enum class Kind { AutoReset, ManualReset };

  explicit Event(Kind kind = Kind::AutoReset, bool initiallySet = false);
  ~Event();
  Event(Event&& other) noexcept;
  Event& operator=(Event&& other) noexcept;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // False when the OS could not create the event; such an event never signals.
  bool valid() const;
  void set();
  void reset();
  bool wait(uint32_t timeoutMs = kInfinite);

#ifdef _WIN32
  // A non-owning view of a handle made elsewhere (a pin's command event, an OVERLAPPED event).
  static Event wrap(void* handle);
  void* nativeHandle() const {
    return handle_;
  }
#endif

 private:
#ifdef _WIN32
  Event(void* handle, bool owned) : handle_(handle), owned_(owned) {}
  void* handle_ = nullptr;
  bool owned_ = true;
#else
  friend WaitResult WaitAny(std::span<Event* const>, uint32_t);
  Kind kind_;
  bool signalled_;
  bool valid_ = true;
#endif
};

// Returns the lowest signalled index and consumes only that event when it is auto-reset.
WaitResult WaitAny(std::span<Event* const> events, uint32_t timeoutMs);
inline WaitResult WaitAny(std::initializer_list<Event*> events, uint32_t timeoutMs) {
  return WaitAny(std::span<Event* const>(events.begin(), events.size()), timeoutMs);
}

// Waits for each event in turn under one deadline.
WaitStatus WaitAll(std::span<Event* const> events, uint32_t timeoutMs);

}  // namespace platform
