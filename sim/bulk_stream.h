// The bulk IN pipe of a simulated camera: frames go out while the camera streams, into whatever
// reads are pending.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/device_io.h"
#include "sim/device_state.h"
#include "sim/scene_renderer.h"

namespace sim {

struct StreamFault {
  enum class Kind {
    ShortBlock,  // block `block` of frame `frame` comes back half as long
    LongBlock,   // ... 16 bytes longer (never past the read's size)
    DropFrame,   // frame `frame` is never sent
    Stall,       // from frame `frame` on nothing is sent until the pipe is reset or aborted
    FailSubmit,  // the next read cannot be started: `error`
    ReadError,   // the next read completes with `error`
  };
  Kind kind;
  uint32_t frame = 0;
  uint32_t block = 0;
  uint32_t error = 31;
  uint32_t times = 1;
};

// Called with the camera's lock held, except pump(), which the clock runs and which takes it.
class BulkStream {
 public:
  BulkStream(DeviceState& state, std::mutex& lock);
  ~BulkStream();

  uint32_t submit(void* buffer, uint32_t length, platform::AsyncIo& io);
  uint32_t result(platform::AsyncIo& io, uint32_t* transferred) const;
  void cancel(platform::AsyncIo& io);
  // Ends every pending read with 995, after the abort delay when one is set.
  void abort(const char* logAs = "abort");
  void resetPipe();
  // Ends every pending read at once with `error` (unplug, teardown).
  void failAll(uint32_t error);
  // Looks again at the streaming rule, e.g. after a request.
  void kick();

  void addFault(StreamFault fault) { faults_.push_back(fault); }
  // The next frame begins as if the host had missed its first `blocks` reads: it joins there.
  void joinAtBlock(uint32_t blocks) { joinBlocks_ = blocks; }
  void setAbortDelay(uint32_t ms) { abortDelayMs_ = ms; }
  uint32_t outstanding() const { return static_cast<uint32_t>(pending_.size() + aborting_); }
  uint32_t framesSent() const { return framesSent_; }
  uint32_t frameNumber() const { return frameNo_; }

 private:
  struct Pending {
    uint8_t* buffer;
    uint32_t length;
    platform::AsyncIo* io;
  };
  void pump();
  void schedulePump(uint64_t atMs);
  bool streaming() const;
  bool beginFrame();
  void deliver(Pending& read);
  // Moves past up to `length` bytes of the current segment; the bytes moved past.
  size_t advance(size_t length);
  void complete(platform::AsyncIo& io, uint32_t error, uint32_t bytes);
  enum class Match { Any, Frame, Block };
  bool takeFault(StreamFault::Kind kind, Match match, StreamFault* out);

  DeviceState& state_;
  std::mutex& lock_;
  std::deque<Pending> pending_;
  uint32_t aborting_ = 0;
  std::vector<StreamFault> faults_;
  std::vector<uint8_t> frame_;
  std::vector<uint32_t> segments_;  // the frame's transfers, each ended by a short packet
  SceneRenderer scene_;
  size_t pos_ = 0;
  size_t segment_ = 0;
  size_t segmentPos_ = 0;
  uint32_t joinBlocks_ = 0;
  bool inFrame_ = false;
  bool zeroLengthDue_ = false;
  bool stalled_ = false;
  uint32_t frameNo_ = 0;
  uint32_t block_ = 0;
  uint32_t framesSent_ = 0;
  uint64_t nextFrameAt_ = 0;
  uint64_t pumpAt_ = UINT64_MAX;
  uint32_t abortDelayMs_ = 0;
};

}  // namespace sim
