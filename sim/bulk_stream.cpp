// BulkStream: a frame goes out in segments; a read of R bytes gets min(R, rest of the segment),
// and a segment whose length is a multiple of the max packet and that ended exactly with a read
// is closed by a zero-length completion.
#include "sim/bulk_stream.h"

#include <algorithm>
#include <cstring>

namespace sim {

BulkStream::BulkStream(DeviceState& state, std::mutex& lock) : state_(state), lock_(lock) {}

BulkStream::~BulkStream() = default;

void BulkStream::complete(platform::AsyncIo& io, uint32_t error, uint32_t bytes) {
  io.error = error;
  io.transferred = bytes;
  platform::SignalAsync(io);
}

bool BulkStream::takeFault(StreamFault::Kind kind, Match match, StreamFault* out) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->kind != kind) continue;
    if (match == Match::Frame && it->frame != frameNo_) continue;
    if (match == Match::Block && (it->frame != frameNo_ || it->block != block_)) continue;
    *out = *it;
    if (it->times <= 1)
      faults_.erase(it);
    else
      --it->times;
    return true;
  }
  return false;
}

uint32_t BulkStream::submit(void* buffer, uint32_t length, platform::AsyncIo& io) {
  if (state_.unplugged) return platform::kErrorNotConnected;
  StreamFault fault;
  if (takeFault(StreamFault::Kind::FailSubmit, Match::Any, &fault)) return fault.error;
  pending_.push_back({static_cast<uint8_t*>(buffer), length, &io});
  schedulePump(state_.clock.now());
  return platform::kErrorIoPending;
}

uint32_t BulkStream::result(platform::AsyncIo& io, uint32_t* transferred) const {
  *transferred = io.transferred;
  return io.error == platform::kErrorIoPending ? platform::kErrorIoIncomplete : io.error;
}

void BulkStream::cancel(platform::AsyncIo& io) {
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->io != &io) continue;
    complete(io, platform::kErrorOperationAborted, 0);
    pending_.erase(it);
    return;
  }
}

void BulkStream::abort(const char* logAs) {
  state_.record(Entry(LogKind::PipeOp, 0, 0, 0, logAs));
  // The rest of a frame in progress is lost to the host.
  if (inFrame_) inFrame_ = false, pos_ = 0, segment_ = 0, segmentPos_ = 0, ++frameNo_;
  zeroLengthDue_ = false;
  stalled_ = false;
  if (!abortDelayMs_) return failAll(platform::kErrorOperationAborted);
  std::vector<platform::AsyncIo*> held;
  for (auto& p : pending_) held.push_back(p.io);
  pending_.clear();
  aborting_ += static_cast<uint32_t>(held.size());
  state_.clock.at(state_.clock.now() + abortDelayMs_, this, [this, held] {
    std::lock_guard<std::mutex> hold(lock_);
    for (auto* io : held) complete(*io, platform::kErrorOperationAborted, 0);
    aborting_ -= static_cast<uint32_t>(held.size());
  });
}

void BulkStream::resetPipe() {
  state_.record(Entry(LogKind::PipeOp, 0, 0, 0, "reset"));
  stalled_ = false;
  kick();
}

void BulkStream::failAll(uint32_t error) {
  for (auto& p : pending_) complete(*p.io, error, 0);
  pending_.clear();
}

void BulkStream::kick() {
  if (!pending_.empty()) schedulePump(state_.clock.now());
}

void BulkStream::schedulePump(uint64_t atMs) {
  if (pumpAt_ <= atMs) return;  // one already due no later
  pumpAt_ = atMs;
  state_.clock.at(atMs, this, [this] {
    std::lock_guard<std::mutex> hold(lock_);
    pumpAt_ = UINT64_MAX;
    pump();
  });
}

bool BulkStream::streaming() const {
  return state_.systemInit != 0 && state_.family->streaming() && !stalled_ && !state_.unplugged;
}

// Renders the next frame when its time has come; false to wait.
bool BulkStream::beginFrame() {
  const uint64_t now = state_.clock.now();
  if (now < nextFrameAt_) {
    schedulePump(nextFrameAt_);
    return false;
  }
  StreamFault fault;
  while (takeFault(StreamFault::Kind::DropFrame, Match::Frame, &fault)) ++frameNo_;
  if (takeFault(StreamFault::Kind::Stall, Match::Frame, &fault)) {
    stalled_ = true;
    return false;
  }
  nextFrameAt_ = now + state_.framePeriodMs;
  block_ = 0;
  const SensorFamily& f = *state_.family;
  const size_t pixels = size_t{f.width()} * f.height();
  frame_.assign(pixels + f.trailerBytes(state_.config.bcdDevice), kTrailerByte);
  if (state_.content == ContentKind::Pattern)
    RenderPattern(frame_.data(), f.width(), f.height(), frameNo_);
  else if (state_.content == ContentKind::Dark)
    RenderDark(frame_.data(), f.width(), f.height(), state_.scene, frameNo_);
  else
    scene_.render(frame_.data(), f.width(), f.height(), state_.scene, ColourOf(state_.content),
                  f.exposureUs(), f.gainPercent(), now);
  f.wireFrame(frame_, segments_);
  pos_ = 0, segment_ = 0, segmentPos_ = 0;
  inFrame_ = true;
  return true;
}

// One read per action, so a host waiting on the oldest read sees it before the next is served.
void BulkStream::pump() {
  if (pending_.empty()) return;
  StreamFault fault;
  if (takeFault(StreamFault::Kind::ReadError, Match::Any, &fault)) {
    complete(*pending_.front().io, fault.error, 0);
    pending_.pop_front();
  } else if (zeroLengthDue_) {
    zeroLengthDue_ = false;
    complete(*pending_.front().io, 0, 0);
    pending_.pop_front();
  } else {
    if (!streaming()) return;  // reads wait; a request or a pipe reset looks again
    if (!inFrame_ && !beginFrame()) return;
    Pending read = pending_.front();
    pending_.pop_front();
    deliver(read);
  }
  if (!pending_.empty()) schedulePump(state_.clock.now());
}

size_t BulkStream::advance(size_t length) {
  const size_t n = std::min<size_t>(length, segments_[segment_] - segmentPos_);
  pos_ += n, segmentPos_ += n;
  return n;
}

void BulkStream::deliver(Pending& read) {
  for (; joinBlocks_ && inFrame_; --joinBlocks_) {
    advance(read.length);
    if (segmentPos_ == segments_[segment_]) ++segment_, segmentPos_ = 0;
    if (segment_ == segments_.size()) inFrame_ = false, ++frameNo_;
  }
  if (!inFrame_) {
    joinBlocks_ = 0;
    pending_.push_front(read);
    return;
  }
  const size_t at = pos_;
  size_t n = std::min<size_t>(read.length, segments_[segment_] - segmentPos_);
  StreamFault fault;
  if (takeFault(StreamFault::Kind::ShortBlock, Match::Block, &fault)) n /= 2;
  const bool longBlock = takeFault(StreamFault::Kind::LongBlock, Match::Block, &fault);
  advance(n);
  std::memcpy(read.buffer, frame_.data() + at, n);
  size_t sent = n;
  if (longBlock) {
    sent = std::min<size_t>(read.length, n + 16);
    std::memset(read.buffer + n, 0xEE, sent - n);
  }
  ++block_;
  if (segmentPos_ == segments_[segment_]) {
    zeroLengthDue_ = n == read.length && segments_[segment_] % state_.config.maxPacket == 0;
    segmentPos_ = 0;
    if (++segment_ == segments_.size()) {
      inFrame_ = false;
      ++frameNo_;
      ++framesSent_;
    }
  }
  complete(*read.io, 0, static_cast<uint32_t>(sent));
}

}  // namespace sim
