// The raw pipe transfers in flight on an open device, which its close aborts and waits out.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace usb {

// A host's raw transfer may wait seconds for a device that does not answer, so it holds no lock
// the sensor is programmed under: the device stays open for it by this count instead. The close
// refuses new transfers, aborts the pipes in use and waits until none is left; every back-end ends
// an aborted transfer within its own bound.
class PipeUsers {
 public:
  // Counts one transfer on the endpoint it uses, which the close aborts, for its lifetime; false
  // when the device was not open.
  class Use {
   public:
    Use(PipeUsers& users, uint32_t pipe) : users_(users), pipe_(pipe), held_(users.enter(pipe)) {}
    ~Use() {
      if (held_) users_.leave(pipe_);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    explicit operator bool() const { return held_; }

   private:
    PipeUsers& users_;
    uint32_t pipe_;
    bool held_;
  };

  void opened();
  // Returns once no transfer is left, calling `abort` for each pipe still in use meanwhile.
  void close(const std::function<void(uint32_t pipe)>& abort);

 private:
  bool enter(uint32_t pipe);
  void leave(uint32_t pipe);

  // Users do transfers the close aborts, no callback: never in a set, so no edge in the wait table.
  std::mutex lock_;
  std::condition_variable idle_;
  std::vector<uint32_t> pipes_;  // one entry for each transfer in flight
  bool open_ = false;
};

}  // namespace usb
