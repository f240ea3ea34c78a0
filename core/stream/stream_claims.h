// Holds a consumer places on a running stream; stop and restart wait until every hold ends.
#pragma once

#include <cstdint>

#include "platform/event.h"
#include "platform/lock.h"

class StreamClaims {
 public:
  // How many holds one thread may nest, over all streams; a deeper one is refused as if closed.
  static constexpr uint32_t kMaxNestedHolds = 32;

  // Closed until the stream runs: no consumer may hold a stream that is not there.
  void open();
  // Refuses new holds; the holders must observe the stop event that follows, so they end soon.
  void close();
  // True when no hold is left within timeoutMs.
  bool waitIdle(uint32_t timeoutMs);

  // False when closed, or when this thread nests kMaxNestedHolds holds already.
  bool acquire();
  void release();
  // True while this thread holds one: a stop or restart it asks for would wait for itself.
  bool heldHere() const;

 private:
  // Held for the count only, no callback under it; a wait for the holds is in the wait table.
  platform::Mutex lock_;
  bool open_ = false;
  uint32_t held_ = 0;
  platform::Event idle_{platform::Event::Kind::ManualReset, true};
};

// One hold for a scope; held() is false when the stream was closed.
class StreamClaim {
 public:
  explicit StreamClaim(StreamClaims& claims) : claims_(claims), held_(claims.acquire()) {}
  ~StreamClaim() {
    if (held_) claims_.release();
  }
  StreamClaim(const StreamClaim&) = delete;
  StreamClaim& operator=(const StreamClaim&) = delete;
  bool held() const { return held_; }

 private:
  StreamClaims& claims_;
  const bool held_;
};
